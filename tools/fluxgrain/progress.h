// The progress bar on standard error: frames done of the total, frames per second, time left.
// Drawn only when standard error is a terminal and the run is not --quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace fluxgrain::tool {

// One line of progress; `total` 0 when the number of frames is not known in advance.
std::string progressLine(std::uint64_t done, std::uint64_t total, double seconds);

struct Progress {
  bool fShown = false;
  std::string fLabel;
  std::uint64_t fTotal = 0;
  std::chrono::steady_clock::time_point fStart;
  std::chrono::steady_clock::time_point fLastDrawn;
};

Progress startProgress(std::string label, std::uint64_t total, bool quiet);
void showProgress(Progress& progress, std::uint64_t done);
// Clears the line, leaving the terminal as it was.
void endProgress(Progress& progress);

}  // namespace fluxgrain::tool
