// The structured arguments of the "live." commands, read from their JSON texts. Only running out
// of memory throws (std::bad_alloc, for the command to answer as failed): text the reader cannot
// parse (or that makes it throw) is treated as not parsed, and a value of a type JsonCpp cannot
// convert to the one a key needs takes the key's default.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kv/engine.h"

namespace corvel_client {

// The slots of a question's option table.
constexpr int kOptionSlots = 32;

// The record "enterRoom" passes to the engine. Unparseable text (or null) gives the zeroed record
// with both flags set; parsed text fills every field from its key or the key's default.
corvel::EnterRoomConfig ParseEnterRoomConfig(const char* text);

// "addQuestion" and "myAnswer": the leading numbers and up to 32 options; `count` is at most 32.
struct QuestionArgs {
  int32_t type = 0;       // "type" / "questionId"
  int32_t optionNum = 0;  // "optionNum" ("addQuestion" only)
  int32_t options[kOptionSlots] = {};
  int32_t count = 0;
};
QuestionArgs ParseAddQuestion(const char* text);
QuestionArgs ParseMyAnswer(const char* text);

// `value` as a float; values beyond float's range become its largest finite value of that sign
// (a plain conversion would be undefined there). Infinities and NaN pass through.
float ClampToFloat(double value);

// Copies `text` into the zero-filled `field` of `size` bytes, always leaving a terminator. A text
// that does not fit is cut before the first UTF-8 character that would not fit whole.
void CopyTextField(const std::string& text, char* field, size_t size);

}  // namespace corvel_client
