// Finding plug-in files: the default folder and plug-ins given by name.
#pragma once

#include <string>
#include <vector>

namespace fluxgrain::tool {

// The installed folder (BIN/../lib/freeframe next to the running program) when it exists,
// otherwise the build's plug-in folder.
std::string defaultPluginDir();

// The .so files in a folder, sorted; fails when the folder cannot be read.
std::vector<std::string> pluginFiles(const std::string& dir);

// A path to a file as given (it holds a '/' or names an existing file), otherwise a name looked up
// in `dir`: NAME.so, or the one file whose name contains NAME in any case ("pellum"). Fails
// naming the plug-ins that are there.
std::string resolvePlugin(const std::string& target, const std::string& dir);

}  // namespace fluxgrain::tool
