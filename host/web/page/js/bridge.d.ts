// The interface of bridge.js for page scripts that are type-checked (docs/page-scripts.md): call,
// on and simulate typed by the catalogue's declarations (catalogue.d.ts, generated), plus the
// messages that bridge.js and the development host add of their own.
import type {Commands, Messages, SimulatedEvents} from './catalogue.js';

export type * from './catalogue.js';

export type CommandName = keyof Commands;
export type CommandArgs<N extends CommandName> = Commands[N]['args'];
export type CommandResult<N extends CommandName> = Commands[N]['result'];

/** The values of what the development host reports about itself (`host.*`). */
export interface HostStats {
  host: 'stats';
  seconds: number;
  /** frames per stream read from kv_host */
  received: Record<string, number>;
  /** frames per stream sent to this page */
  sent: Record<string, number>;
  /** frames per stream skipped for this page because a newer one came first */
  skipped: Record<string, number>;
}

/** Messages that come from bridge.js, kv_host and the development host, not from the bridge. */
export interface HostMessages {
  /** The WebSocket's state, with a detail text; after a drop bridge.js reconnects by itself. */
  connection: [state: 'connecting' | 'open' | 'closed', detail: string];
  /** kv_host's debug output (the bridge's debug texts). */
  debug: [text: string];
  /** The console's note on a command (docs/console.md). */
  note: [note: string];
  /** An error line of kv_host. */
  hostError: [text: string];
  /** A script text that is not a call bridge.js knows. */
  script: [text: string];
  'host.hello': [hello: {host: 'hello'; label: string}];
  'host.stats': [stats: HostStats];
  'host.error': [error: {host: 'error'; text: string}];
  'host.bridgeEnded': [ended: {host: 'bridgeEnded'; status: number}];
  'host.bridgeStarted': [started: {host: 'bridgeStarted'}];
  /** Every message: its name and its values. */
  '*': [name: string, values: unknown[]];
}

export type MessageName = keyof Messages | keyof HostMessages;
export type MessageValues<M extends MessageName> = M extends keyof Messages
  ? Messages[M]
  : M extends keyof HostMessages
    ? HostMessages[M]
    : never;

/** Sends one command; the promise holds the record's `result` array. */
export function call<N extends CommandName>(
  name: N,
  ...args: CommandArgs<N>
): Promise<CommandResult<N>>;

/** Calls `handler` with the values of every message of that name; returns what removes it. */
export function on<M extends MessageName>(
  message: M,
  handler: (...values: MessageValues<M>) => void,
): () => void;

/** The simulated engine raises an engine event (development host only). */
export function simulate<E extends keyof SimulatedEvents>(
  event: E,
  ...args: SimulatedEvents[E]
): Promise<unknown>;

/** Connects to the development host and reconnects after a drop. */
export function connect(): void;
/**
 * Whether the console's notes and the host's errors are also written to the browser's console
 * with `console.warn` (on at start). The `note`, `hostError` and `host.error` messages come
 * either way.
 */
export function warnings(on: boolean): void;
