#include "tools/fluxgrain/describe.h"

#include <cstdio>
#include <filesystem>

#include "tools/fluxgrain/locate.h"
#include "tools/fluxgrain/plugin.h"
#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

namespace {

std::string versionText(const PluginInfo& info) {
  if (!info.fHasExtendedInfo) return "-";
  // FreeFrame minor versions count in thousandths: 1.944 is major 1, minor 944.
  char text[32];
  std::snprintf(text, sizeof text, "%u.%03u", unsigned(info.fVersionMajor), unsigned(info.fVersionMinor));
  return text;
}

}  // namespace

void runList(const std::string& dir) {
  const std::vector<std::string> files = pluginFiles(dir);
  std::printf("%-20s %-4s  %-16s %-7s %6s  %s\n", "FILE", "ID", "NAME", "VERSION", "PARAMS", "DESCRIPTION");
  int plugins = 0;
  for (const std::string& file : files) {
    const std::string shown = std::filesystem::path(file).filename().string();
    try {
      PluginPtr plugin = openPlugin(file);
      const PluginInfo info = describePlugin(*plugin);
      std::printf("%-20s %-4s  %-16s %-7s %6zu  %s\n", shown.c_str(), info.fUniqueId.c_str(), info.fName.c_str(),
                  versionText(info).c_str(), info.fParams.size(), info.fDescription.c_str());
      ++plugins;
    } catch (const Problem& problem) {
      std::printf("%-20s (not usable: %s)\n", shown.c_str(), problem.fMessage.c_str());
    }
  }
  if (plugins == 0) fail("no FreeFrame plug-ins in " + dir + ": expected .so files exporting plugMain");
}

void runInfo(const std::string& pluginPath) {
  PluginPtr plugin = openPlugin(pluginPath);
  const PluginInfo info = describePlugin(*plugin);
  std::printf("file:         %s\n", pluginPath.c_str());
  std::printf("name:         %s\n", info.fName.c_str());
  std::printf("unique ID:    %s\n", info.fUniqueId.c_str());
  std::printf("type:         %s\n", info.fType == FF_EFFECT ? "effect" : info.fType == 1 ? "source" : "other");
  std::printf("API version:  %u.%u\n", unsigned(info.fApiMajor), unsigned(info.fApiMinor));
  std::printf("version:      %s\n", versionText(info).c_str());
  std::printf("description:  %s\n", info.fDescription.c_str());
  std::printf("about:        %s\n", info.fAbout.c_str());
  std::string depths;
  if (info.fVideo16) depths += " 16-bit";
  if (info.fVideo24) depths += " 24-bit";
  if (info.fVideo32) depths += " 32-bit";
  std::printf("frames:      %s\n", depths.empty() ? " none" : depths.c_str());
  std::printf("frame copy:   %s\n", info.fFrameCopy ? "yes (FF_PROCESSFRAMECOPY)" : "no");

  // Display texts come from an instance; one at a small size serves.
  InstancePtr instance;
  if (info.fVideo32 || info.fVideo24) {
    try {
      instance = createInstance(*plugin, 64, 48, info.fVideo32 ? 32 : 24);
    } catch (const Problem&) {
      // Without an instance the display column stays empty; the rest is still worth showing.
    }
  }
  std::printf("parameters:   %zu\n", info.fParams.size());
  std::printf("  %5s  %-16s %-10s %8s  %s\n", "INDEX", "NAME", "TYPE", "DEFAULT", "DISPLAY");
  for (std::size_t i = 0; i < info.fParams.size(); ++i) {
    const ParamInfo& param = info.fParams[i];
    const std::string display = instance ? parameterDisplay(*instance, FFUInt32(i)) : "";
    std::printf("  %5zu  %-16s %-10s %8.4f  %s\n", i, ("\"" + param.fName + "\"").c_str(),
                paramTypeName(param.fType).c_str(), double(param.fDefault), display.c_str());
  }
}

}  // namespace fluxgrain::tool
