// kv_host: the console script host. Loads kv_client, calls Init with its own JavaScriptAsyncRunBase
// and ICoreDispatcher, then reads JSON lines (commands for kv_client, control lines for the
// simulated engine) and prints what comes back as JSON lines. See docs/console.md.
#include <cstdio>
#include <cstring>
#include <string>

#include "console.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr char kUsage[] =
    "usage: kv_host [--pretty] [--defer-init] [--quiet] [--frame-bytes] [--plain-args]"
    " [script.jsonl]\n"
    "Reads JSON lines from the script or standard input; see docs/console.md.\n";

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // Lines end in "\n" on every platform, so expected output compares byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  kv_host::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--frame-bytes") {
      options.frameBytes = true;
    } else if (arg == "--framed") {
      options.framed = true;
    } else if (arg == "--plain-args") {
      options.plainArgs = true;
    } else if (arg == "--pretty") {
      options.pretty = true;
    } else if (arg == "--defer-init") {
      options.deferInit = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!arg.empty() && arg[0] != '-' && options.script.empty()) {
      options.script = arg;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  std::FILE* input = stdin;
  if (!options.script.empty()) {
    input = std::fopen(options.script.c_str(), "rb");
    if (input == nullptr) {
      std::fprintf(stderr, "kv_host: cannot open %s\n", options.script.c_str());
      return 2;
    }
  }
  // The console lives until the process ends: kv_client keeps its pointers for that long.
  static kv_host::Console* console = new kv_host::Console(options);
  const int code = console->Run(input);
  if (input != stdin) std::fclose(input);
  std::fflush(stdout);
  return code;
}
