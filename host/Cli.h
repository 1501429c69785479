#pragma once

#include <iosfwd>

namespace vsthost {

// Exit codes of the command-line program.
enum CliExit : int {
  kExitOk = 0,
  kExitFailure = 1,  // a file, the plug-in or the render failed
  kExitUsage = 2,    // the command line itself is wrong
};

// The `rhythmoria` command: `info` and `render`. Results go to out, messages and the progress
// line to err (the progress line only when showProgress).
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool showProgress);

}  // namespace vsthost
