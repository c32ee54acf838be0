// kv_reference: prints what the catalogue generates (docs/commands.md by default, the page scripts'
// declarations, or the catalogue as JSON), or checks that a file holds exactly that text.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "reference.h"

namespace {

int Usage() {
  std::fputs("usage: kv_reference [--declarations | --json] [--check FILE]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string (*generate)() = kv_host::CommandReference;
  const char* option = "";
  const char* check = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--declarations") == 0) {
      generate = kv_host::PageDeclarations;
      option = " --declarations";
    } else if (std::strcmp(argv[i], "--json") == 0) {
      generate = kv_host::CatalogueJson;
      option = " --json";
    } else if (std::strcmp(argv[i], "--check") == 0 && i + 1 < argc) {
      check = argv[++i];
    } else {
      return Usage();
    }
  }
  const std::string text = generate();
  if (check == nullptr) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  std::ifstream file(check, std::ios::binary);
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
               "%s differs from what the catalogue generates from line %zu on; regenerate it with "
               "kv_reference%s > %s\n",
               check, line, option, check);
  return 1;
}
