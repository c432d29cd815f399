// How a run of the tool ends early: one line for standard error and the exit status.
#pragma once

#include <string>

namespace fluxgrain::tool {

constexpr int kExitFailure = 1;  // the input, the output or the plug-in let us down
constexpr int kExitUsage = 2;    // the command line asks for something that cannot be done

struct Problem {
  int fStatus;
  std::string fMessage;
};

[[noreturn]] inline void fail(std::string message) { throw Problem{kExitFailure, std::move(message)}; }
[[noreturn]] inline void usageError(std::string message) {
  throw Problem{kExitUsage, std::move(message)};
}

}  // namespace fluxgrain::tool
