#include "tools/fluxgrain/locate.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string defaultPluginDir() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path installed = self.parent_path().parent_path() / "lib" / "freeframe";
    if (fs::is_directory(installed, error)) return installed.string();
  }
  return FLUXGRAIN_BUILD_PLUGIN_DIR;
}

std::vector<std::string> pluginFiles(const std::string& dir) {
  std::error_code error;
  fs::directory_iterator it(dir, error);
  if (error) fail("cannot read the plug-in folder " + dir + ": " + error.message());
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : it)
    if (entry.path().extension() == ".so" && entry.is_regular_file(error)) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string resolvePlugin(const std::string& target, const std::string& dir) {
  std::error_code error;
  if (target.find('/') != std::string::npos || fs::is_regular_file(target, error)) {
    if (!fs::exists(target, error)) fail("no plug-in file " + target);
    return target;
  }
  const fs::path exact = fs::path(dir) / (target + ".so");
  if (fs::is_regular_file(exact, error)) return exact.string();

  std::vector<std::string> matches;
  std::string names;
  for (const std::string& file : pluginFiles(dir)) {
    const std::string stem = fs::path(file).stem().string();
    names += (names.empty() ? "" : ", ") + stem;
    if (lower(stem).find(lower(target)) != std::string::npos) matches.push_back(file);
  }
  if (matches.size() == 1) return matches[0];
  if (matches.empty())
    usageError("unknown plug-in '" + target + "': expected a file or one of " +
         (names.empty() ? "the plug-ins in " + dir + " (there are none)" : names));
  usageError("plug-in name '" + target + "' is ambiguous: it matches " + std::to_string(matches.size()) +
       " plug-ins in " + dir);
}

}  // namespace fluxgrain::tool
