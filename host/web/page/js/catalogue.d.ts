// Declarations of kv_client's commands, messages and JSON objects for page scripts, as bridge.js
// delivers them (docs/page-scripts.md). Printed by kv_reference --declarations from the catalogue
// in client/catalogue.def and the configuration keys in host/reference.cpp; do not edit: the test
// reference.declarations fails when this file differs. After changing them:
// build/native/bin/kv_reference --declarations > host/web/page/js/catalogue.d.ts

/**
 * What an `engine.` command answers: nothing without a device interface, one group with the
 * device of the entered room or of the opened recording, two groups with both (the recording's
 * first).
 */
export type EngineResult<Group extends unknown[]> = [] | Group | [...Group, ...Group];

// JSON objects the bridge writes.

/** user object: a user; the engine's extra text is not forwarded. */
export interface User {
  /** the user's id */
  id: number;
  /** 1 teacher, 2 student, 4 assistant; other values are the engine's */
  type: number;
  /** the user's rights, as the engine gives them */
  right: number;
  /** the user's name */
  name: string;
}

/** room object: the room as the engine reports it. */
export interface Room {
  /** every user of type 1, in the engine's order */
  teacherList: User[];
  /** users of type 2, in the engine's order; at most 200, later ones are left out */
  studentList: User[];
  /** users of type 4; users of other types are in none of the three lists */
  assistantList: User[];
  /** the microphone queue in its order, without the users who are speaking */
  microphoneList: User[];
  /** one per speaking user */
  speakingUserList: Speaker[];
  /** users in the room */
  userCount: number;
  /** start time */
  startTime: number;
  /** latest chat message id */
  latestMessageId: number;
  /** latest stroke id */
  latestStrokeId: number;
  /** latest top message id */
  latestTopMessageId: number;
  /** whether the microphone queue is open */
  isMicrophoneQueueOpen: boolean;
  /** whether the video microphone is open */
  isVideoMicOpen: boolean;
  /** whether every user's chat is banned */
  banAllMessage: boolean;
  /** the assistant's user id */
  assistantUserId: number;
  /** large uid */
  largeUid: number;
  /** video style */
  videoStyle: number;
  /** start duration */
  startDuration: number;
  /** banned users, the first 200 at most */
  bannedUserList: User[];
  /** every microphone state */
  micStatusList: MicStatus[];
  /** the first question only; null when there is none */
  question: Question | null;
}

/** speaking user: one entry of speakingUserList. */
export interface Speaker {
  /** the user's id */
  id: number;
  /** the user's type */
  type: number;
  /** the user's name */
  name: string;
  /** channel */
  channel: number;
  /** audio open, as the engine gives it */
  isAudioOpen: number;
  /** video open, as the engine gives it */
  isVideoOpen: number;
}

/** microphone state: one entry of micStatusList. */
export interface MicStatus {
  /** the user's id */
  id: number;
  /** timer */
  timer: number;
  /** valid */
  valid: number;
}

/** room question: the question of the room object. */
export interface Question {
  /** question type */
  type: number;
  /** status */
  status: number;
  /** question id */
  questionId: number;
  /** number of options */
  optionNum: number;
  /** the correct options */
  correctOptions: number[];
  /** the answers so far (only when the question carries a summary) */
  answerSummary?: AnswerSummary;
}

/** answer summary: the answers to the room's question. */
export interface AnswerSummary {
  /** students who answered */
  attendStudents: number;
  /** scorekeepers */
  scorekeepers: number;
  /** one entry per counted option */
  optionStats: OptionStat[];
}

/** option count: how many chose one option. */
export interface OptionStat {
  /** the option */
  option: number;
  /** how many chose it */
  num: number;
}

/** chat object: one chat message. */
export interface Chat {
  /** the room id */
  room_id: number;
  /** message id */
  message_id: number;
  /** request message id */
  request_message_id: string;
  /** the message text */
  chat_message: string;
  /** timestamp */
  timestamp: number;
  /** message type */
  message_type: number;
  /** the sender */
  user: User;
}

/** system message: one system message. */
export interface SystemMessage {
  /** level */
  level: number;
  /** the room id */
  room_id: number;
  /** the text */
  message: string;
}

/** network quality: the client log line OnNetQuality sends. */
export interface NetQuality {
  /** jitter */
  jitter: number;
  /** package count */
  packageCount: number;
}

/** stroke point: a point of live.syncStroke (a missing member keeps its start value: x 0, y 0, pressure 0.5); bridge.js delivers each [x, y, pressure] triple of onSyncStroke in this form. */
export interface Point {
  /** x (single precision) */
  x: number;
  /** y (single precision) */
  y: number;
  /** pressure (single precision) */
  pressure: number;
}

// The engine's texts, passed on unchanged: as a rule JSON with these keys.

/** question text: the question of OnAddQuestion. */
export interface QuestionText {
  /** question id */
  questionId?: number;
  /** question type */
  type?: number;
  /** number of options */
  optionNum?: number;
  /** the question */
  text?: string;
  /** the options' labels */
  options?: string[];
  /** the correct options */
  correctOptions?: number[];
}

/** answer summary text: the summary of OnAnswerSummary. */
export interface AnswerSummaryText {
  /** question id */
  questionId?: number;
  /** students who answered */
  attendStudents?: number;
  /** students whose answer was right */
  scorekeepers?: number;
  /** one entry per option */
  optionStats?: OptionStat[];
}

/** answer text: the verdict of OnMyAnswer. */
export interface AnswerText {
  /** question id */
  questionId?: number;
  /** the options chosen */
  selectedOptions?: number[];
  /** whether the answer is right; missing when the question has no correct options */
  correct?: boolean;
}

// Engine records as the simulated engine takes them (simulate); every key optional.

/** user record: UserInfo. */
export interface UserRecord {
  /** id */
  id?: number;
  /** type */
  type?: number;
  /** right */
  right?: number;
  /** name */
  name?: string;
  /** the text that is not forwarded */
  extra?: string;
}

/** speaker record: SpeakerInfo. */
export interface SpeakerRecord {
  /** id */
  id?: number;
  /** type */
  type?: number;
  /** name */
  name?: string;
  /** channel */
  channel?: number;
  /** audio open */
  audioOpen?: number;
  /** video open */
  videoOpen?: number;
}

/** answer summary record: AnswerSummary. */
export interface SummaryRecord {
  /** students who answered */
  attendStudents?: number;
  /** scorekeepers */
  scorekeepers?: number;
  /** option counts */
  optionStats?: OptionStat[];
}

/** question record: QuestionInfo. */
export interface QuestionRecord {
  /** type */
  type?: number;
  /** status */
  status?: number;
  /** question id */
  questionId?: number;
  /** number of options */
  optionNum?: number;
  /** the correct options */
  correctOptions?: number[];
  /** the answer summary */
  summary?: SummaryRecord;
}

/** room record: RoomInfo. */
export interface RoomRecord {
  /** start time */
  startTime?: number;
  /** microphone queue open */
  microphoneQueueOpen?: boolean;
  /** video microphone open */
  videoMicOpen?: boolean;
  /** latest message id */
  latestMessageId?: number;
  /** latest stroke id */
  latestStrokeId?: number;
  /** every user's chat banned */
  banAllMessage?: boolean;
  /** start duration */
  startDuration?: number;
  /** the users in the room */
  users?: UserRecord[];
  /** the microphone queue */
  microphoneQueue?: UserRecord[];
  /** the speaking users; null for an empty entry */
  speakers?: Array<SpeakerRecord | null>;
  /** the assistant's user id */
  assistantUserId?: number;
  /** large uid */
  largeUid?: number;
  /** video style */
  videoStyle?: number;
  /** latest top message id */
  latestTopMessageId?: number;
  /** user count */
  userCount?: number;
  /** banned users */
  bannedUsers?: UserRecord[];
  /** microphone states */
  microphoneStates?: MicStatus[];
  /** the questions; null for an empty entry */
  questions?: Array<QuestionRecord | null>;
}

/** chat record: ChatMessage. */
export interface ChatRecord {
  /** message id */
  messageId?: number;
  /** request message id */
  requestMessageId?: string;
  /** the message text */
  text?: string;
  /** timestamp */
  timestamp?: number;
  /** message type */
  messageType?: number;
  /** the sender */
  sender?: UserRecord;
}

/** media sample: one sample of MediaInfo. */
export interface MediaSampleRecord {
  /** the 64-bit value */
  value?: number;
  /** the 32-bit value */
  extra?: number;
}

/** media information record: MediaInfo. */
export interface MediaInfoRecord {
  /** V */
  value?: number;
  /** the samples */
  samples?: MediaSampleRecord[];
  /** P */
  p?: number;
  /** Q */
  q?: number;
  /** R */
  r?: number;
}

/** keynote record: KeynoteInfo. */
export interface KeynoteRecord {
  /** the four values */
  value?: number[];
}

/** stroke record: StrokeInfo. */
export interface StrokeRecord {
  /** the points */
  points?: Array<[x: number, y: number, pressure: number] | Point>;
  /** a */
  a?: number;
  /** b */
  b?: number;
  /** instead of points: this many generated points [i, 2i, 0.5] */
  generate?: number;
}

// Configuration texts: objects to hand over as JSON.stringify(config).

/** The enterRoom text; one that does not parse: not an error: the engine is asked to enter with every field zero or empty (room 0, user type 0, no servers, no application version). */
export interface EnterRoomConfig {
  /** integer, default 0 */
  id?: number;
  /** integer, default 0 */
  type?: number;
  /** integer, default 0 */
  userId?: number;
  /** integer, default 2 */
  userType?: number;
  /** text, default ""; 1023 bytes; longer texts are cut */
  sess?: string;
  /** text, default ""; 255 bytes; longer texts are cut */
  signature?: string;
  /** text, default "3.0.0.0001" */
  appVersion?: string;
  /** integer, default 0 */
  switchThreshold?: number;
  /** object */
  server?: {
    /** object, default none; an object adds the first server, kind 0 */
    roomServer?: {
      /** text, default "" */
      host?: string;
      /** unsigned integer, default 5003; 16 bits (higher bits dropped) */
      tcpPort?: number;
    };
    /** array, default []; one server each, after the room server */
    mediaServerList?: Array<{
      /** text, default "" */
      host?: string;
      /** unsigned integer, default 5004; 16 bits (higher bits dropped) */
      rtpPort?: number;
      /** unsigned integer, default 5005; 16 bits (higher bits dropped) */
      rtcpPort?: number;
      /** text, default "UDP"; exactly "UDP" gives kind 1, anything else kind 2 */
      protoType?: string;
    }>;
    /** array, default []; one server each */
    backupMediaServerList?: Array<{
      /** text, default "" */
      host?: string;
      /** unsigned integer, default 5004; 16 bits (higher bits dropped) */
      rtpPort?: number;
      /** unsigned integer, default 5005; 16 bits (higher bits dropped) */
      rtcpPort?: number;
      /** text, default "UDP"; exactly "UDP" gives kind 1, anything else kind 2 */
      protoType?: string;
    }>;
    /** object */
    multiAudioThreshold?: {
      /** number, default 5; single precision */
      lossrate?: number;
      /** integer, default 500 */
      jitter?: number;
    };
    /** integer, default 1; not stored; 2 turns a room type of 1 into 4 */
    version?: number;
    /** unsigned integer, default 4096 */
    logLevel?: number;
  };
}

/** The openMedia text; one that does not parse: answers [-1] and calls nothing (also for JSON that is neither an object nor `null`; `null` opens with every key at its default). */
export interface OpenMediaConfig {
  /** integer, default 0 */
  id?: number;
  /** integer, default 0 */
  type?: number;
  /** integer, default 0 */
  userId?: number;
  /** integer, default 2 */
  userType?: number;
  /** text, default ""; 1023 bytes; longer texts are cut */
  sess?: string;
  /** text, default ""; 255 bytes; longer texts are cut */
  signature?: string;
  /** text, default "3.0.0.0001" */
  appVersion?: string;
  /** unsigned integer, default 4096; at the top level here, not under server */
  logLevel?: number;
}

/** The addQuestion text; one that does not parse: not an error: every key takes its default. */
export interface AddQuestionConfig {
  /** integer, default 0 */
  type?: number;
  /** integer, default 0 */
  optionNum?: number;
  /** array, default []; the first 32 entries */
  correctOptions?: number[];
}

/** The myAnswer text; one that does not parse: not an error: every key takes its default. */
export interface MyAnswerConfig {
  /** integer, default 0 */
  questionId?: number;
  /** array, default []; the first 32 entries */
  selectedOptions?: number[];
}

/** Every command: its arguments and what `result` holds, by name. */
export interface Commands {
  /**
   * Engine operation: Device.GetMicrophoneTestLevel when true, Device.GetMicrophoneLevel when false.
   *
   * Argument `test`: true: the level of the microphone test, false: the live level
   * Result: [code, level] (unsigned)
   */
  'engine.getMicrophoneLevel': {args: [test: boolean]; result: EngineResult<[code: number] | [code: number, level: number]>};
  /**
   * Engine operation: Device.SetMicrophoneVolume.
   *
   * Argument `volume`: volume on the device's 0 to 255 scale
   * Result: [code]
   */
  'engine.setMicrophoneVolume': {args: [volume: number]; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.GetMicrophoneVolume.
   *
   * Result: [code, volume / 255] (single precision)
   */
  'engine.getMicrophoneVolume': {args: []; result: EngineResult<[code: number] | [code: number, volume: number]>};
  /**
   * Engine operation: Device.MuteMicrophone(true).
   *
   * Result: [code]
   */
  'engine.muteMicrophone': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.MuteMicrophone(false).
   *
   * Result: [code]
   */
  'engine.unMuteMicrophone': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: AudioLoopback.Start: system sound is mixed into the microphone.
   *
   * Result: [0]
   */
  'engine.mixMicrophone': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: AudioLoopback.Stop.
   *
   * Result: [0]
   */
  'engine.unMixMicrophone': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.IsMicrophoneMute.
   *
   * Result: [code, muted] (bool)
   */
  'engine.isMicrophoneMute': {args: []; result: EngineResult<[code: number] | [code: number, muted: boolean]>};
  /**
   * Engine operation: Device.StartMicrophoneTest.
   *
   * Result: [code]
   */
  'engine.startMicrophoneTest': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.EndMicrophoneTest.
   *
   * Result: [code]
   */
  'engine.endMicrophoneTest': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.SetSpeakerVolume.
   *
   * Argument `volume`: volume on the device's 0 to 255 scale
   * Result: [code]
   */
  'engine.setSpeakerVolume': {args: [volume: number]; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.GetSpeakerVolume.
   *
   * Result: [code, volume / 255] (single precision)
   */
  'engine.getSpeakerVolume': {args: []; result: EngineResult<[code: number] | [code: number, volume: number]>};
  /**
   * Engine operation: Device.MuteSpeaker(true).
   *
   * Result: [code]
   */
  'engine.muteSpeaker': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.MuteSpeaker(false).
   *
   * Result: [code]
   */
  'engine.unMuteSpeaker': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.IsSpeakerMute.
   *
   * Result: [code, muted] (bool)
   */
  'engine.isSpeakerMute': {args: []; result: EngineResult<[code: number] | [code: number, muted: boolean]>};
  /**
   * Engine operation: Device.GetRecordingDeviceCount, then Device.GetRecordingDeviceName per index.
   *
   * Result: [code, [names]]; the code is that of the last name call (of the count call when there is no device); at most 256 names
   */
  'engine.getRecordingDevices': {args: []; result: EngineResult<[code: number] | [code: number, names: string[]]>};
  /**
   * Engine operation: Device.SetRecordingDevice.
   *
   * Argument `index`: device index; also the mixer device of the two system-mute commands
   * Result: [code]
   */
  'engine.setRecordingDevice': {args: [index: number]; result: EngineResult<[code: number]>};
  /**
   * Engine operation: the Windows mixer's mute control of the recording device (no engine call).
   *
   * Result: [0, muted] (bool; false when the mixer has no mute control)
   */
  'engine.isSysMicrophoneMute': {args: []; result: EngineResult<[code: number, muted: boolean]>};
  /**
   * Engine operation: the Windows mixer's mute control of the recording device (no engine call).
   *
   * Argument `mute`: true mutes
   * Result: [1] when the mixer has a mute control, else [0]
   */
  'engine.setSysMicrophoneMute': {args: [mute: boolean]; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.GetVideoCaptureDeviceCount, then Device.GetVideoCaptureDeviceName per index.
   *
   * Result: [code, [names]]; the code is that of the count call; at most 256 names
   */
  'engine.getVideoCaptureDevices': {args: []; result: EngineResult<[code: number] | [code: number, names: string[]]>};
  /**
   * Engine operation: Device.SetVideoCaptureDevice.
   *
   * Argument `index`: camera index
   * Result: [code]
   */
  'engine.setVideoCaptureDevice': {args: [index: number]; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.OpenVideoPreview.
   *
   * Result: [code]
   */
  'engine.openVideoPreview': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.CloseVideoPreview.
   *
   * Result: [code]
   */
  'engine.closeVideoPreview': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.OpenAudioCompressor.
   *
   * Argument `value`: value passed to the engine
   * Result: [code]
   */
  'engine.openAudioCompressor': {args: [value: number]; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Device.CloseAudioCompressor.
   *
   * Result: [code]
   */
  'engine.closeAudioCompressor': {args: []; result: EngineResult<[code: number]>};
  /**
   * Engine operation: Engine.SetClientVersion(3, 3, appVersion), then Live.EnterRoom (a room entered before is left first with Live.QuitRoom).
   *
   * Argument `config`: the room configuration: JSON.stringify of a {@link EnterRoomConfig}
   * Result: [code]; 0 when entered
   * Brings: onRoomInfo, userEnterRoom, corvel.onError
   */
  'live.enterRoom': {args: [config: string]; result: [code: number]};
  /**
   * Engine operation: Live.QuitRoom.
   *
   * Result: [code]; [-1] when no room is entered
   */
  'live.quitRoom': {args: []; result: [code: number]};
  /**
   * Engine operation: none (sets the sending flag).
   *
   * Result: [0]; [-1] without a room or when already sending
   */
  'live.startSend': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.ApplyMicrophone.
   *
   * Result: [code]
   * Brings: onMicrophoneApplied
   */
  'live.applyMicrophone': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.ApproveMicrophone.
   *
   * Argument `userId`: user id
   * Result: [code]
   * Brings: onMicrophoneApproved
   */
  'live.approveMicrophone': {args: [userId: number]; result: [code: number]};
  /**
   * Engine operation: Live.RevokeMicrophone.
   *
   * Argument `userId`: user id
   * Result: [code]
   * Brings: onMicrophoneCanceled
   */
  'live.revokeMicrophone': {args: [userId: number]; result: [code: number]};
  /**
   * Engine operation: Live.SettingMicrophone.
   *
   * Argument `first`: first value
   * Argument `second`: second value
   * Result: [code]
   * Brings: onMicrophoneSettingTimer
   */
  'live.settingMicrophone': {args: [first: number, second: number]; result: [code: number]};
  /**
   * Engine operation: Live.OpenMicrophoneQueue.
   *
   * Result: [code]
   * Brings: onMicrophoneQueueOpened
   */
  'live.openMicrophoneQueue': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.CloseMicrophoneQueue.
   *
   * Result: [code]
   * Brings: onMicrophoneQueueClosed
   */
  'live.closeMicrophoneQueue': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.OpenVideoMic.
   *
   * Result: [code]
   * Brings: OnVideoMicEvent
   */
  'live.openVideoMic': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.CloseVideoMic.
   *
   * Result: [code]
   * Brings: OnVideoMicEvent
   */
  'live.closeVideoMic': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.CancelAllMicrophone.
   *
   * Result: [code]
   * Brings: onMicrophoneCancelAll
   */
  'live.cancelAllMicrophone': {args: []; result: [code: number]};
  /**
   * Engine operation: none.
   *
   * Result: nothing: `resultCount` stays 0 (the name is in the live table but has no live handling; the level is engine.getMicrophoneLevel)
   */
  'live.getMicrophoneLevel': {args: []; result: []};
  /**
   * Engine operation: Live.SendChatMessage.
   *
   * Argument `userId`: sender's user id (sent as decimal text)
   * Argument `text`: message text
   * Argument `type`: message type
   * Result: [code]
   * Brings: onChatMessage, onChatMessageFailed
   */
  'live.sendChatMessage': {args: [userId: number, text: string, type: number]; result: [code: number]};
  /**
   * Engine operation: Live.PageUp.
   *
   * Result: [code]
   * Brings: onPageTo
   */
  'live.pageUp': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.PageTo.
   *
   * Argument `page`: page
   * Result: [code]
   * Brings: onPageTo
   */
  'live.pageTo': {args: [page: number]; result: [code: number]};
  /**
   * Engine operation: Live.PageDown.
   *
   * Result: [code]
   * Brings: onPageTo
   */
  'live.pageDown': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.PublishKeynote with the three values and 0.
   *
   * Argument `value1`: keynote value 1
   * Argument `value2`: keynote value 2
   * Argument `value3`: keynote value 3
   * Result: [code]
   * Brings: onKeynoteInfo
   */
  'live.publishKeynote': {args: [value1: number, value2: number, value3: number]; result: [code: number]};
  /**
   * Engine operation: Live.SyncStroke, later, on the host's core thread (its code is not reported).
   *
   * Argument `points`: the stroke's points
   * Argument `a`: stroke value a
   * Argument `b`: stroke value b
   * Result: [0] at once; [-1] only when the live part could not be set up at start (then nothing is queued)
   * Brings: onSyncStroke
   */
  'live.syncStroke': {args: [points: Array<Partial<Point>>, a: number, b: number]; result: [code: number]};
  /**
   * Engine operation: Live.EraseStroke.
   *
   * Result: [code]
   * Brings: onEraseStroke
   */
  'live.eraseStroke': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.StartClass.
   *
   * Result: [code]
   * Brings: onStartClass
   */
  'live.startClass': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.EndClass.
   *
   * Result: [code]
   * Brings: onEndClass
   */
  'live.endClass': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.GetOutputLevel.
   *
   * Argument `output`: which output
   * Result: [code, level] (unsigned); [code] when negative
   */
  'live.getOutputLevel': {args: [output: number]; result: [code: number] | [code: number, level: number]};
  /**
   * Engine operation: Live.AssistantOnBoard.
   *
   * Result: [code]
   * Brings: onAssistantOnBoard
   */
  'live.assistantOnBoard': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.AssistantOffBoard.
   *
   * Result: [code]
   * Brings: onAssistantOffBoard
   */
  'live.assistantOffBoard': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.BanUser.
   *
   * Argument `userId`: user id
   * Result: [code]
   * Brings: OnUserBanned
   */
  'live.banUser': {args: [userId: number]; result: [code: number]};
  /**
   * Engine operation: Live.UnBanUser.
   *
   * Argument `userId`: user id
   * Result: [code]
   * Brings: OnUserUnBanned
   */
  'live.unBanUser': {args: [userId: number]; result: [code: number]};
  /**
   * Engine operation: Live.BanAllUser.
   *
   * Result: [code]
   * Brings: OnAllUserBanned
   */
  'live.banAllUser': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.UnBanAllUser.
   *
   * Result: [code]
   * Brings: OnAllUserUnBanned
   */
  'live.unBanAllUser': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.CancelTopMessage.
   *
   * Result: [code]
   * Brings: OnTopMessageCanceled
   */
  'live.cancelTopMessage': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.SetNickname.
   *
   * Argument `name`: the new name
   * Result: [code]
   */
  'live.setNickname': {args: [name: string]; result: [code: number]};
  /**
   * Engine operation: Live.BeginSendVideo(0): the camera.
   *
   * Result: [code]
   * Brings: onGetVideoData, OnVideoSizeChange
   */
  'live.beginSendVideo': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.StopSendVideo.
   *
   * Result: [code]
   */
  'live.stopSendVideo': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.BeginSendVideo(1): the screen.
   *
   * Result: [code]
   * Brings: onGetVideoData, OnVideoSizeChange
   */
  'live.beginSendScreen': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.StopSendVideo (the same as stopSendVideo).
   *
   * Result: [code]
   */
  'live.stopSendScreen': {args: []; result: [code: number]};
  /**
   * Engine operation: Live.SwitchVideoStyle.
   *
   * Argument `first`: first value
   * Argument `second`: second value
   * Result: [code]
   * Brings: OnVideoStyleEvent
   */
  'live.switchVideoStyle': {args: [first: number, second: number]; result: [code: number]};
  /**
   * Engine operation: Live.AddQuestion(type, optionNum, options, count).
   *
   * Argument `question`: the question: JSON.stringify of a {@link AddQuestionConfig}
   * Result: [code]
   * Brings: OnAddQuestion
   */
  'live.addQuestion': {args: [question: string]; result: [code: number]};
  /**
   * Engine operation: Live.EndQuestion.
   *
   * Argument `questionId`: question id
   * Result: [code]
   * Brings: OnEndQuestion, OnAnswerSummary
   */
  'live.endQuestion': {args: [questionId: number]; result: [code: number]};
  /**
   * Engine operation: Live.RemoveQuestion.
   *
   * Argument `questionId`: question id
   * Result: [code]
   * Brings: OnRemoveQuestion
   */
  'live.removeQuestion': {args: [questionId: number]; result: [code: number]};
  /**
   * Engine operation: Live.MyAnswer(questionId, options, count).
   *
   * Argument `answer`: the answer: JSON.stringify of a {@link MyAnswerConfig}
   * Result: [code]
   * Brings: OnMyAnswer
   */
  'live.myAnswer': {args: [answer: string]; result: [code: number]};
  /**
   * Engine operation: OfflinePlay.OpenMedia (an open recording is closed first); a new device interface in every case.
   *
   * Argument `recording`: the recording to open: JSON.stringify of a {@link OpenMediaConfig}
   * Result: [code]; [-1] when the text does not parse or is neither an object nor null
   * Brings: onMediaInfo, getStorageData
   */
  'offlinePlay.openMedia': {args: [recording: string]; result: [code: number]};
  /**
   * Engine operation: OfflinePlay.Stop, then OfflinePlay.CloseMedia.
   *
   * Result: [code]; [-1] when nothing is open
   */
  'offlinePlay.closeMedia': {args: []; result: [code: number]};
  /**
   * Engine operation: OfflinePlay.Play(0).
   *
   * Result: [code]
   * Brings: getStorageData, OnMediaDataReady, onGetVideoData, OnVideoSizeChange
   */
  'offlinePlay.playMedia': {args: []; result: [code: number]};
  /**
   * Engine operation: OfflinePlay.Stop.
   *
   * Result: [code]
   */
  'offlinePlay.stopMedia': {args: []; result: [code: number]};
  /**
   * Engine operation: OfflinePlay.Pause(0).
   *
   * Result: [code]; [0] without a call when nothing is open
   */
  'offlinePlay.pauseMedia': {args: []; result: [code: number]};
  /**
   * Engine operation: OfflinePlay.Seek.
   *
   * Argument `position`: position in ms
   * Result: [code]
   * Brings: getStorageData
   */
  'offlinePlay.seekMedia': {args: [position: number]; result: [code: number]};
  /**
   * Engine operation: OfflinePlay.GetPosition; progress = position + 500, truncated.
   *
   * Result: [0, progress]; [-1] when the progress is negative
   */
  'offlinePlay.getPlayProgress': {args: []; result: [code: number] | [code: number, progress: number]};
  /**
   * Engine operation: OfflinePlay.SetPlaySpeed.
   *
   * Argument `speed`: speed (single precision)
   * Result: nothing (`resultCount` 0)
   */
  'offlinePlay.setPlaySpeed': {args: [speed: number]; result: []};
  /**
   * Engine operation: none.
   *
   * Argument `value`: read and ignored
   * Argument `first`: read and ignored
   * Argument `second`: read and ignored
   * Result: nothing (`resultCount` 0)
   */
  'offlinePlay.uploadRecFile': {args: [value: number, first: string, second: string]; result: []};
  /**
   * Engine operation: creates %APPDATA%\Corvel_Client\user_data\(name) and opens it in the shell.
   *
   * Argument `kind`: kind: only 0 does anything
   * Argument `name`: folder name (no \ / or :)
   * Result: nothing (`resultCount` 0)
   */
  'offlinePlay.openFolder': {args: [kind: number, name: string]; result: []};
  /**
   * Engine operation: the shell starts calc.exe, notepad.exe or mspaint.exe; any other name starts nothing.
   *
   * Argument `program`: program: "calc", "notepad" or "mspaint", exactly
   * Argument `parameters`: parameters
   * Argument `folder`: working folder
   * Result: [0], always
   */
  'offlinePlay.kRunProgram': {args: [program: string, parameters: string, folder: string]; result: [code: number]};
  /**
   * Engine operation: the answer waits in the storage callback until the engine fetches it.
   *
   * Argument `key`: key of the request
   * Argument `data`: the stored data
   * Argument `status`: status: 0 data, negative not yet, positive failed
   * Result: nothing (`resultCount` 0)
   * Brings: OnMediaDataReady
   */
  'offlinePlay.setStorageData': {args: [key: string, data: Uint8Array | ArrayBuffer, status: number]; result: []};
  /**
   * Engine operation: the same as offlinePlay.kRunProgram.
   *
   * Argument `program`: program
   * Argument `parameters`: parameters
   * Argument `folder`: working folder
   * Result: [0], always
   */
  'offlinePlay.kvrequest': {args: [program: string, parameters: string, folder: string]; result: [code: number]};
}

/** Every message the bridge posts: the values bridge.js hands to on()'s handler. */
export interface Messages {
  /**
   * `code`: the error code in decimal (format "%d")
   * Remark: the debug output names the known codes (engine error codes, below); only the number reaches the scripts
   * Raised by: OnError
   */
  'corvel.onError': [code: number];
  /**
   * `server`: server
   * Remark: spelt with a double n
   * Raised by: OnServerChanged
   */
  OnServerChannged: [server: number];
  /**
   * `n`: n
   * `user`: user object JSON
   * Raised by: OnUserEnterRoom
   */
  userEnterRoom: [n: number, user: User];
  /**
   * `userId`: user id
   * Raised by: OnUserQuitRoom
   */
  userQuitRoom: [userId: number];
  /**
   * `room`: room JSON
   * Remark: afterwards every video stream announces its size again
   * Raised by: OnRoomInfo
   */
  onRoomInfo: [room: Room];
  /**
   * `place`: the user's place in the microphone queue, 1 first, as JSON text ("2\n"), not a number
   * `user`: the user whose hand went up (user object JSON)
   * Remark: a hand went up: the user joins the end of the queue; sent for our own live.applyMicrophone too
   * Raised by: OnMicrophoneApplied
   */
  onMicrophoneApplied: [place: number, user: User];
  /**
   * `userId`: the user whose hand came down or who lost the floor
   * `by`: who did it: the user's own id when they withdrew, else the teacher's or assistant's
   * `wasSpeaking`: 1: the user was speaking, 0: waiting in the queue
   * `left`: users still waiting in the queue
   * Remark: a hand came down or a speaker was taken off the microphone (live.revokeMicrophone)
   * Raised by: OnMicrophoneCanceled
   */
  onMicrophoneCanceled: [userId: number, by: number, wasSpeaking: number, left: number];
  /**
   * `channel`: the channel the user speaks on, 1 first
   * `speakers`: how many users speak now
   * `user`: the user given the floor (user object JSON); they leave the queue
   * `by`: who gave it: the teacher's or assistant's id
   * Remark: the user comes third
   * Raised by: OnMicrophoneApproved
   */
  onMicrophoneApproved: [channel: number, speakers: number, user: User, by: number];
  /**
   * `by`: who opened the queue
   * Remark: hands can go up (live.applyMicrophone) from now on
   * Raised by: OnMicrophoneQueueOpened
   */
  onMicrophoneQueueOpened: [by: number];
  /**
   * `by`: who closed the queue
   * Remark: no new hand goes up (live.applyMicrophone is refused); hands already up stay
   * Raised by: OnMicrophoneQueueClosed
   */
  onMicrophoneQueueClosed: [by: number];
  /**
   * `by`: who cleared the queue
   * Remark: every hand came down: the queue is empty; speakers keep the floor
   * Raised by: OnMicrophoneCancelAll
   */
  onMicrophoneCancelAll: [by: number];
  /**
   * `v`: V
   * `values`: each sample's 64-bit value
   * `extras`: each sample's 32-bit value
   * `q`: Q
   * `p`: P
   * `r`: R
   * Remark: Q comes before P
   * Raised by: OnMediaInfo
   */
  onMediaInfo: [v: number, values: number[], extras: number[], q: number, p: number, r: number];
  /**
   * `chat`: chat JSON
   * Raised by: OnChatMessage
   */
  onChatMessage: [chat: Chat];
  /**
   * `b`: b
   * `a`: a
   * `text`: text
   * Remark: the engine's first two values swapped
   * Raised by: OnChatMessageFailed
   */
  onChatMessageFailed: [b: number, a: number, text: string];
  /**
   * `value1`: value 1
   * `value2`: value 2
   * `value3`: value 3
   * `value4`: value 4
   * Raised by: OnKeynoteInfo
   */
  onKeynoteInfo: [value1: number, value2: number, value3: number, value4: number];
  /**
   * `a`: a
   * `b`: b
   * Raised by: OnPageTo
   */
  onPageTo: [a: number, b: number];
  /**
   * `count`: point count
   * `points`: points [x, y, pressure]
   * `a`: a
   * `b`: b
   * Remark: points arrive as [x, y, pressure] triples, unlike the objects syncStroke sends. A stroke of more than 32,767 points never arrives (the item's count is a 16-bit field; the bridge writes only a debug line): send long strokes in parts
   * Raised by: OnSyncStroke
   */
  onSyncStroke: [count: number, points: Point[], a: number, b: number];
  /**
   * `value`: value
   * Raised by: OnEraseStroke
   */
  onEraseStroke: [value: number];
  /**
   * `time`: start time
   * Raised by: OnStartClass
   */
  onStartClass: [time: number];
  /** Raised by: OnEndClass */
  onEndClass: [];
  /** Raised by: OnSyncMedia */
  onSyncMedia: [];
  /**
   * `value`: value
   * Raised by: OnAssistantOnBoard
   */
  onAssistantOnBoard: [value: number];
  /**
   * `value`: value
   * Raised by: OnAssistantOffBoard
   */
  onAssistantOffBoard: [value: number];
  /**
   * `a`: a
   * `b`: b
   * Raised by: OnUserBanned
   */
  OnUserBanned: [a: number, b: number];
  /**
   * `a`: a
   * `b`: b
   * Raised by: OnUserUnBanned
   */
  OnUserUnBanned: [a: number, b: number];
  /**
   * `value`: value
   * Raised by: OnAllUserBanned
   */
  OnAllUserBanned: [value: number];
  /**
   * `value`: value
   * Raised by: OnAllUserUnBanned
   */
  OnAllUserUnBanned: [value: number];
  /** Raised by: OnTopMessageCanceled */
  OnTopMessageCanceled: [];
  /**
   * `a`: a
   * `b`: b
   * `c`: c
   * `e`: e
   * `d`: d
   * Remark: the engine's last two values swapped
   * Raised by: OnNetStatistics
   */
  OnNetStatistics: [a: number, b: number, c: number, e: number, d: number];
  /**
   * `first`: the first value of live.settingMicrophone
   * `second`: the second value of live.settingMicrophone
   * Remark: the microphone setting took effect
   * Raised by: OnMicrophoneSettingTimer
   */
  onMicrophoneSettingTimer: [first: number, second: number];
  /**
   * `size`: byte count of the fetched stored data; -1 failed
   * Raised by: OnMediaDataReady
   */
  OnMediaDataReady: [size: number];
  /**
   * `a`: a
   * Raised by: OnSyncRoomInfo
   */
  onSyncRoomInfo: [a: number];
  /**
   * `a`: a
   * `b`: b
   * Raised by: OnVideoMicEvent
   */
  OnVideoMicEvent: [a: number, b: boolean];
  /**
   * `a`: a
   * `b`: b
   * `c`: c
   * Raised by: OnVideoStyleEvent
   */
  OnVideoStyleEvent: [a: number, b: number, c: number];
  /**
   * `a`: a
   * `b`: b
   * `c`: c
   * Raised by: OnDeviceEvent
   */
  OnDeviceEvent: [a: number, b: number, c: number];
  /**
   * `a`: a
   * `log`: text
   * Remark: from OnNetQuality: -1 and the NetQuality object {"jitter":..,"packageCount":..}
   * Raised by: OnUploadClientLog, OnNetQuality
   */
  OnUploadClientLog: [a: number, log: NetQuality | string];
  /**
   * `question`: the question now asked: the engine's text, unchanged
   * Remark: a new question replaces the one before; answer it with live.myAnswer and its questionId
   * Raised by: OnAddQuestion
   */
  OnAddQuestion: [question: QuestionText | string];
  /**
   * `questionId`: the question withdrawn
   * Remark: the question is gone: take it off the page
   * Raised by: OnRemoveQuestion
   */
  OnRemoveQuestion: [questionId: number];
  /**
   * `questionId`: the question closed for answers
   * Remark: its final OnAnswerSummary comes just before; live.myAnswer is refused from now on
   * Raised by: OnEndQuestion
   */
  OnEndQuestion: [questionId: number];
  /**
   * `summary`: the answers so far: the engine's text, unchanged
   * Remark: after each answer of ours, and once more when the question closes
   * Raised by: OnAnswerSummary
   */
  OnAnswerSummary: [summary: AnswerSummaryText | string];
  /**
   * `answer`: the verdict on our answer: the engine's text, unchanged
   * Remark: answers our live.myAnswer; one answer per question
   * Raised by: OnMyAnswer
   */
  OnMyAnswer: [answer: AnswerText | string];
  /**
   * `message`: system message JSON
   * Raised by: OnSystemMessage
   */
  OnSystemMessage: [message: SystemMessage];
  /**
   * `stream`: stream
   * `total`: byte size (3 x width x height / 2)
   * `width`: width
   * `height`: height
   * `extra`: extra
   * `ten`: 10, always
   * `tick`: milliseconds since the system started
   * `bytes`: the I420 frame, lent: read or copy it before the stream's next frame
   * Remark: planar frames; streams 0, 1, 2, 3 and 1000 take frames up to 1920 x 1080, stream 20 up to 4096 x 2160. A width or height of 0 is a size like any other: announced, then posted with byte size 0 and an empty block. Frames with a negative side or a byte size beyond 32 bits are dropped
   * Raised by: OnGetVideoData
   */
  onGetVideoData: [stream: number, total: number, width: number, height: number, extra: number, ten: number, tick: number, bytes: Uint8Array];
  /**
   * `stream`: stream
   * `total`: byte size (3 x width x height / 2)
   * `width`: width
   * `height`: height
   * `extra`: extra
   * `ten`: 10, always
   * `tick`: milliseconds since the system started
   * `bytes`: the packed frame, lent
   * Remark: packed frames; only on a stream that has had a planar frame (one of 0 x 0 counts)
   * Raised by: OnVideoData
   */
  onVideoData: [stream: number, total: number, width: number, height: number, extra: number, ten: number, tick: number, bytes: Uint8Array];
  /**
   * `stream`: stream
   * `width`: width
   * `height`: height
   * Remark: sent when a stream's frame size changes, before its frame
   * Raised by: OnGetVideoData
   */
  OnVideoSizeChange: [stream: number, width: number, height: number];
  /**
   * `key`: key of the stored data the engine needs
   * Remark: answer with offlinePlay.setStorageData within 10 s
   * Raised by: GetStorageData
   */
  getStorageData: [key: string];
}

/** The simulated engine's events for simulate(), with the arguments of {"sim":"emit"}. */
export interface SimulatedEvents {
  /**
   * CorvelCallback::OnConnected.
   * Remark: debug output "Connected\n" only
   */
  OnConnected: [];
  /**
   * CorvelCallback::OnError.
   * Remark: answers what the host's AsyncRunFormatted returns
   * Brings: corvel.onError
   */
  OnError: [code: number];
  /**
   * CorvelCallback::OnServerChanged.
   * Brings: OnServerChannged
   */
  OnServerChanged: [server: number];
  /**
   * CorvelCallback::OnUserEnterRoom.
   * Brings: userEnterRoom
   */
  OnUserEnterRoom: [user: UserRecord, n: number];
  /**
   * CorvelCallback::OnUserQuitRoom.
   * Brings: userQuitRoom
   */
  OnUserQuitRoom: [userId: number, unused: number];
  /**
   * CorvelCallback::OnRoomInfo.
   * Brings: onRoomInfo
   */
  OnRoomInfo: [room: RoomRecord];
  /**
   * CorvelCallback::OnMicrophoneApplied.
   * Brings: onMicrophoneApplied
   */
  OnMicrophoneApplied: [user: UserRecord, n: number];
  /**
   * CorvelCallback::OnMicrophoneCanceled.
   * Remark: c is the pair [c0, c1]
   * Brings: onMicrophoneCanceled
   */
  OnMicrophoneCanceled: [a: number, b: number, c: number[]];
  /**
   * CorvelCallback::OnMicrophoneApproved.
   * Brings: onMicrophoneApproved
   */
  OnMicrophoneApproved: [user: UserRecord, p: number, q: number, r: number];
  /**
   * CorvelCallback::OnMicrophoneQueueOpened.
   * Brings: onMicrophoneQueueOpened
   */
  OnMicrophoneQueueOpened: [value: number];
  /**
   * CorvelCallback::OnMicrophoneQueueClosed.
   * Brings: onMicrophoneQueueClosed
   */
  OnMicrophoneQueueClosed: [value: number];
  /**
   * CorvelCallback::OnMicrophoneCancelAll.
   * Brings: onMicrophoneCancelAll
   */
  OnMicrophoneCancelAll: [value: number];
  /**
   * CorvelCallback::OnMediaInfo.
   * Brings: onMediaInfo
   */
  OnMediaInfo: [info: MediaInfoRecord];
  /**
   * CorvelCallback::OnChatMessage.
   * Brings: onChatMessage
   */
  OnChatMessage: [roomId: number, chat: ChatRecord];
  /**
   * CorvelCallback::OnChatMessageFailed.
   * Brings: onChatMessageFailed
   */
  OnChatMessageFailed: [a: number, b: number, text: string];
  /**
   * CorvelCallback::OnKeynoteInfo.
   * Brings: onKeynoteInfo
   */
  OnKeynoteInfo: [keynote: KeynoteRecord];
  /**
   * CorvelCallback::OnPageTo.
   * Brings: onPageTo
   */
  OnPageTo: [a: number, b: number];
  /**
   * CorvelCallback::OnSyncStroke.
   * Brings: onSyncStroke
   */
  OnSyncStroke: [stroke: StrokeRecord];
  /**
   * CorvelCallback::OnEraseStroke.
   * Brings: onEraseStroke
   */
  OnEraseStroke: [value: number];
  /**
   * CorvelCallback::OnStartClass.
   * Brings: onStartClass
   */
  OnStartClass: [time: number];
  /**
   * CorvelCallback::OnEndClass.
   * Brings: onEndClass
   */
  OnEndClass: [];
  /**
   * CorvelCallback::OnSyncMedia.
   * Brings: onSyncMedia
   */
  OnSyncMedia: [];
  /**
   * CorvelCallback::OnAssistantOnBoard.
   * Brings: onAssistantOnBoard
   */
  OnAssistantOnBoard: [value: number];
  /**
   * CorvelCallback::OnAssistantOffBoard.
   * Brings: onAssistantOffBoard
   */
  OnAssistantOffBoard: [value: number];
  /**
   * CorvelCallback::OnUserBanned.
   * Brings: OnUserBanned
   */
  OnUserBanned: [a: number, b: number];
  /**
   * CorvelCallback::OnUserUnBanned.
   * Brings: OnUserUnBanned
   */
  OnUserUnBanned: [a: number, b: number];
  /**
   * CorvelCallback::OnAllUserBanned.
   * Brings: OnAllUserBanned
   */
  OnAllUserBanned: [value: number];
  /**
   * CorvelCallback::OnAllUserUnBanned.
   * Brings: OnAllUserUnBanned
   */
  OnAllUserUnBanned: [value: number];
  /**
   * CorvelCallback::OnTopMessageCanceled.
   * Brings: OnTopMessageCanceled
   */
  OnTopMessageCanceled: [];
  /**
   * CorvelCallback::OnReserved.
   * Remark: does nothing
   */
  OnReserved: [];
  /**
   * CorvelCallback::OnNetStatistics.
   * Brings: OnNetStatistics
   */
  OnNetStatistics: [a: number, b: number, c: number, d: number, e: number];
  /**
   * CorvelCallback::OnMicrophoneSettingTimer.
   * Brings: onMicrophoneSettingTimer
   */
  OnMicrophoneSettingTimer: [a: number, b: number];
  /**
   * CorvelCallback::OnMediaDataReady.
   * Brings: OnMediaDataReady
   */
  OnMediaDataReady: [value: number];
  /**
   * CorvelCallback::OnSyncRoomInfo.
   * Brings: onSyncRoomInfo
   */
  OnSyncRoomInfo: [a: number, unused1: number, unused2: number];
  /**
   * CorvelCallback::OnVideoMicEvent.
   * Brings: OnVideoMicEvent
   */
  OnVideoMicEvent: [a: number, b: boolean];
  /**
   * CorvelCallback::OnVideoStyleEvent.
   * Brings: OnVideoStyleEvent
   */
  OnVideoStyleEvent: [a: number, b: number, c: number];
  /**
   * CorvelCallback::OnDeviceEvent.
   * Brings: OnDeviceEvent
   */
  OnDeviceEvent: [a: number, b: number, c: number];
  /**
   * CorvelCallback::OnUploadClientLog.
   * Brings: OnUploadClientLog
   */
  OnUploadClientLog: [a: number, text: string];
  /**
   * CorvelCallback::OnAddQuestion.
   * Brings: OnAddQuestion
   */
  OnAddQuestion: [text: string];
  /**
   * CorvelCallback::OnRemoveQuestion.
   * Brings: OnRemoveQuestion
   */
  OnRemoveQuestion: [questionId: number];
  /**
   * CorvelCallback::OnEndQuestion.
   * Brings: OnEndQuestion
   */
  OnEndQuestion: [questionId: number];
  /**
   * CorvelCallback::OnAnswerSummary.
   * Brings: OnAnswerSummary
   */
  OnAnswerSummary: [text: string];
  /**
   * CorvelCallback::OnMyAnswer.
   * Brings: OnMyAnswer
   */
  OnMyAnswer: [text: string];
  /**
   * CorvelCallback::OnSystemMessage.
   * Brings: OnSystemMessage
   */
  OnSystemMessage: [level: number, roomId: number, text: string];
  /**
   * CorvelMediaCallBack::OnMediaReserved0.
   * Remark: does nothing; answers 0
   */
  OnMediaReserved0: [];
  /**
   * CorvelMediaCallBack::OnVideoData.
   * Remark: byteCount generated packed bytes of picture number `frame`
   * Brings: onVideoData
   */
  OnVideoData: [stream: number, byteCount: number, width: number, height: number, unused: number, extra: number, frame: number];
  /**
   * CorvelMediaCallBack::OnGetVideoData.
   * Remark: generated I420 planes of picture number `frame`, each row followed by `pad` bytes
   * Brings: onGetVideoData, OnVideoSizeChange
   */
  OnGetVideoData: [stream: number, width: number, height: number, extra: number, frame: number, pad: number];
  /**
   * CorvelMediaCallBack::OnMediaReserved3.
   * Remark: does nothing
   */
  OnMediaReserved3: [v0: number, v1: number, v2: number, v3: number, v4: number, v5: number, v6: number, v7: number, v8: number, v9: number];
  /**
   * CorvelMediaCallBack::OnRecordAudio.
   * Remark: mixes a queued loopback block into the samples
   */
  OnRecordAudio: [samples: number[], framesPerChannel: number, sampleRate: number, stereo: boolean];
  /**
   * CorvelMediaCallBack::OnNetQuality.
   * Brings: OnUploadClientLog
   */
  OnNetQuality: [packageCount: number, jitter: number];
  /**
   * CorvelStorageCallback::GetStorageData.
   * Remark: the engine polls until it has the data or a failure
   * Brings: getStorageData
   */
  GetStorageData: [key: string];
  /**
   * CorvelStorageCallback::SetStorageData.
   * Remark: what offlinePlay.setStorageData hands over
   */
  SetStorageData: [key: string, data: {$bytes: string} | string, length: number, status: number];
}
