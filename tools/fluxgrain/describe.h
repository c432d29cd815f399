// `fluxgrain list` and `fluxgrain info`: what a host learns from plug-ins before it runs them.
#pragma once

#include <string>

namespace fluxgrain::tool {

// Prints one line per plug-in in `dir`; files that do not load as plug-ins are listed with the
// reason. Fails when the folder holds no plug-in at all.
void runList(const std::string& dir);

// Prints the identity, capabilities and parameters of one plug-in.
void runInfo(const std::string& pluginPath);

}  // namespace fluxgrain::tool
