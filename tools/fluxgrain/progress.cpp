#include "tools/fluxgrain/progress.h"

#include <unistd.h>

#include <cstdio>

namespace fluxgrain::tool {

namespace {

constexpr int kBarWidth = 24;

std::string clockText(double seconds) {
  const auto s = std::uint64_t(seconds + 0.5);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%u:%02u:%02u", unsigned(s / 3600), unsigned(s / 60 % 60), unsigned(s % 60));
  else
    std::snprintf(text, sizeof text, "%u:%02u", unsigned(s / 60), unsigned(s % 60));
  return text;
}

}  // namespace

std::string progressLine(std::uint64_t done, std::uint64_t total, double seconds) {
  const double fps = seconds > 0 ? double(done) / seconds : 0;
  char text[160];
  if (total == 0) {
    std::snprintf(text, sizeof text, "%llu frames  %.1f fps", static_cast<unsigned long long>(done), fps);
    return text;
  }
  const int filled = int(kBarWidth * done / total);
  const std::string bar = std::string(std::size_t(filled), '#') + std::string(std::size_t(kBarWidth - filled), '.');
  const std::string left = fps > 0 ? "  " + clockText(double(total - done) / fps) + " left" : "";
  std::snprintf(text, sizeof text, "[%s] %llu/%llu frames  %.1f fps%s", bar.c_str(),
                static_cast<unsigned long long>(done), static_cast<unsigned long long>(total), fps,
                left.c_str());
  return text;
}

Progress startProgress(std::string label, std::uint64_t total, bool quiet) {
  Progress progress;
  progress.fShown = !quiet && isatty(STDERR_FILENO) == 1;
  progress.fLabel = std::move(label);
  progress.fTotal = total;
  progress.fStart = std::chrono::steady_clock::now();
  return progress;
}

void showProgress(Progress& progress, std::uint64_t done) {
  if (!progress.fShown) return;
  const auto now = std::chrono::steady_clock::now();
  // A few redraws a second are enough and keep a fast run from waiting on the terminal.
  if (done != progress.fTotal && now - progress.fLastDrawn < std::chrono::milliseconds(100)) return;
  progress.fLastDrawn = now;
  const double seconds = std::chrono::duration<double>(now - progress.fStart).count();
  std::fprintf(stderr, "\r\033[K%s %s", progress.fLabel.c_str(), progressLine(done, progress.fTotal, seconds).c_str());
  std::fflush(stderr);
}

void endProgress(Progress& progress) {
  if (!progress.fShown) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  progress.fShown = false;
}

}  // namespace fluxgrain::tool
