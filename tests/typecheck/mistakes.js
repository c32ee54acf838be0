// @ts-check
// A page script with known mistakes, checked the way docs/page-scripts.md tells a page developer
// to (// @ts-check and a JSDoc import of the declarations). The check must fail with exactly the
// errors marked on the lines below (check_page.py); a clean run would mean the types check nothing.
import {call, on, simulate} from '../../host/web/page/js/bridge.js';

/** @typedef {import('../../host/web/page/js/bridge.js').EnterRoomConfig} EnterRoomConfig */

/** @type {EnterRoomConfig} */
const config = {id: 7, userID: 42};  // error TS2561: the key is "userId"

call('live.enterroom', JSON.stringify(config));  // error TS2345: names are exact
call('live.pageTo', '3');  // error TS2345: the page is a number
call('live.sendChatMessage', 42, 'hello');  // error TS2554: the message type is missing

on('onRoomInf', () => {});  // error TS2345: the message is "onRoomInfo"
on('onRoomInfo', (room) => room.teacherlist.length);  // error TS2551: the key is "teacherList"
on('onChatMessage', (chat) => chat.user.nickname);  // error TS2339: a user has no "nickname"

simulate('OnUserEnterRoom', {id: 9104, nam: 'D'}, 1);  // error TS2561: the key is "name"

// And what is right passes: typed results, handlers and objects.
call('engine.getSpeakerVolume').then((result) => result.length);
on('userEnterRoom', (count, user) => `${count}: ${user.name}`);
