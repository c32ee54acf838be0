// The one table of command prefixes and method names shared by the three command tables, and the
// lookup every table uses: exact, case-sensitive, first match wins.
#pragma once

#include <cstddef>

#include "catalogue.h"

namespace corvel_client {

// "engine.", "live." or "offlinePlay.".
const char* TablePrefix(CommandTable table);
// Length of the prefix (7, 5, 12), computed once at load.
size_t TablePrefixLength(CommandTable table);
// Number of methods of the table (25, 40, 13).
int MethodCount(CommandTable table);
// The table's method name at `index` (0-based, table order), or null when out of range.
const char* MethodName(CommandTable table, int index);

// When `command` starts with the table's prefix at position 0 and the rest equals one of its
// method names, that method's index; otherwise -1. A null command is never found.
int FindMethod(const char* command, CommandTable table);

}  // namespace corvel_client
