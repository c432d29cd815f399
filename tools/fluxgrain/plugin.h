// Loading a FreeFrame 1.0 plug-in and talking to it, as a Linux host does: dlopen, dlsym
// "plugMain", and nothing but plugMain calls from then on. Works with any FreeFrame 1.0 plug-in,
// not only ours.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shell/freeframe.h"

namespace fluxgrain::tool {

using PlugMainFn = FFMixed (*)(FFUInt32, FFMixed, FFInstanceID);

// An opened and initialised plug-in; closing deinitialises it and unloads the library.
struct Plugin {
  std::string fPath;
  void* fLibrary = nullptr;
  PlugMainFn fPlugMain = nullptr;
  bool fInitialised = false;
};
struct PluginCloser {
  void operator()(Plugin* plugin) const;
};
using PluginPtr = std::unique_ptr<Plugin, PluginCloser>;

// Opens the library and sends FF_INITIALISE; fails with a one-line reason (not loadable, no
// plugMain, initialisation refused).
PluginPtr openPlugin(const std::string& path);

FFMixed callPlugin(const Plugin& plugin, FFUInt32 code, FFMixed input, FFInstanceID instance = nullptr);

struct ParamInfo {
  std::string fName;
  FFUInt32 fType = 0;
  float fDefault = 0;
};

// What a host reads before creating an instance.
struct PluginInfo {
  FFUInt32 fApiMajor = 0, fApiMinor = 0;
  std::string fUniqueId;
  std::string fName;
  FFUInt32 fType = 0;
  bool fHasExtendedInfo = false;
  FFUInt32 fVersionMajor = 0, fVersionMinor = 0;
  std::string fDescription, fAbout;
  bool fVideo16 = false, fVideo24 = false, fVideo32 = false, fFrameCopy = false;
  std::vector<ParamInfo> fParams;
};
PluginInfo describePlugin(const Plugin& plugin);

// "standard", "boolean", ... for a FreeFrame parameter type code.
std::string paramTypeName(FFUInt32 type);
// "24-bit" for FF_DEPTH_24, ...; the FreeFrame depth code for 24 or 32 bits per pixel.
FFUInt32 depthCode(std::uint32_t bitsPerPixel);

// One instance for one frame format; released when the holder goes.
struct Instance {
  const Plugin* fPlugin = nullptr;
  FFInstanceID fId = nullptr;
};
struct InstanceReleaser {
  void operator()(Instance* instance) const;
};
using InstancePtr = std::unique_ptr<Instance, InstanceReleaser>;

InstancePtr createInstance(const Plugin& plugin, std::uint32_t width, std::uint32_t height,
                           std::uint32_t bitsPerPixel);
void setParameter(const Instance& instance, FFUInt32 index, float value);
// The plug-in's display text of a parameter ("" if it gives none).
std::string parameterDisplay(const Instance& instance, FFUInt32 index);
// In place (FF_PROCESSFRAME) or into `output` (FF_PROCESSFRAMECOPY, one input frame).
void processFrame(const Instance& instance, void* frame);
void processFrameCopy(const Instance& instance, void* input, void* output);

}  // namespace fluxgrain::tool
