// fluxgrain: a FreeFrame 1.0 host for the command line. Lists and describes plug-ins, renders
// video through them, and makes the gallery of the Fluxgrain effects.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/fluxgrain/args.h"
#include "tools/fluxgrain/describe.h"
#include "tools/fluxgrain/gallery.h"
#include "tools/fluxgrain/locate.h"
#include "tools/fluxgrain/problem.h"
#include "tools/fluxgrain/render.h"

using namespace fluxgrain::tool;

int main(int argc, char** argv) {
  // A closed pipe on standard output then shows as a write error with a message, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  const ParsedArgs parsed = parseArgs(std::vector<std::string>(argv + 1, argv + argc));
  const Options& o = parsed.fOptions;
  if (!parsed.fError.empty()) {
    std::fprintf(stderr, "fluxgrain: %s\n", parsed.fError.c_str());
    return kExitUsage;
  }
  if (o.fHelp) {
    std::fputs(usageText(o.fCommand), stdout);
    return 0;
  }
  try {
    const std::string dir = o.fPluginDir.empty() ? defaultPluginDir() : o.fPluginDir;
    switch (o.fCommand) {
      case Command::kList: runList(o.fTarget.empty() ? dir : o.fTarget); break;
      case Command::kInfo: runInfo(resolvePlugin(o.fTarget, dir)); break;
      case Command::kRender: runRender(o, resolvePlugin(o.fTarget, dir)); break;
      case Command::kGallery: runGallery(o, dir); break;
      case Command::kNone: break;
    }
  } catch (const Problem& problem) {
    std::fflush(stdout);
    std::fprintf(stderr, "fluxgrain: %s\n", problem.fMessage.c_str());
    return problem.fStatus;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fluxgrain: %s\n", e.what());
    return kExitFailure;
  }
  return 0;
}
