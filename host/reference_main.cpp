// kv_reference: prints docs/commands.md from the reference table, or checks that the file holds
// exactly that text.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "reference.h"

int main(int argc, char** argv) {
  const std::string text = kv_host::CommandReference();
  if (argc == 1) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  if (argc != 3 || std::strcmp(argv[1], "--check") != 0) {
    std::fputs("usage: kv_reference [--check docs/commands.md]\n", stderr);
    return 2;
  }
  std::ifstream file(argv[2], std::ios::binary);
  std::stringstream stored;
  stored << file.rdbuf();
  const std::string have = stored.str();
  if (have == text) return 0;
  size_t line = 1, at = 0;
  while (at < have.size() && at < text.size() && have[at] == text[at]) {
    if (have[at] == '\n') ++line;
    ++at;
  }
  std::fprintf(stderr,
               "%s differs from the reference table from line %zu on; regenerate it with "
               "kv_reference > %s\n",
               argv[2], line, argv[2]);
  return 1;
}
