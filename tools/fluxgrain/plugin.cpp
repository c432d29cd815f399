#include "tools/fluxgrain/plugin.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "tools/fluxgrain/problem.h"

namespace fluxgrain::tool {

namespace {

std::string fixedText(const char* text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

// Texts the plug-in owns; a null pointer reads as empty.
std::string textAt(const char* text) { return text == nullptr ? std::string() : std::string(text); }

bool failed(FFMixed answer) { return answer.UIntValue == FF_FAIL; }

void expectSuccess(const Plugin& plugin, FFUInt32 code, FFMixed input, FFInstanceID instance,
                   const char* what) {
  const FFUInt32 answer = callPlugin(plugin, code, input, instance).UIntValue;
  if (answer != FF_SUCCESS) {
    char text[160];
    std::snprintf(text, sizeof text, "%s refused %s (answer 0x%08X, expected FF_SUCCESS)",
                  plugin.fPath.c_str(), what, unsigned(answer));
    fail(text);
  }
}

}  // namespace

FFMixed callPlugin(const Plugin& plugin, FFUInt32 code, FFMixed input, FFInstanceID instance) {
  return plugin.fPlugMain(code, input, instance);
}

void PluginCloser::operator()(Plugin* plugin) const {
  if (plugin->fInitialised) callPlugin(*plugin, FF_DEINITIALISE, mixedWord(0));
  if (plugin->fLibrary != nullptr) dlclose(plugin->fLibrary);
  delete plugin;
}

PluginPtr openPlugin(const std::string& path) {
  PluginPtr plugin(new Plugin{path});
  // A name without a slash would make dlopen search the library path instead of the file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  plugin->fLibrary = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin->fLibrary == nullptr) fail(std::string("cannot load plug-in: ") + dlerror());
  plugin->fPlugMain = reinterpret_cast<PlugMainFn>(dlsym(plugin->fLibrary, "plugMain"));
  if (plugin->fPlugMain == nullptr)
    fail(path + " is not a FreeFrame plug-in: it exports no plugMain");
  expectSuccess(*plugin, FF_INITIALISE, mixedWord(0), nullptr, "FF_INITIALISE");
  plugin->fInitialised = true;
  return plugin;
}

PluginInfo describePlugin(const Plugin& plugin) {
  PluginInfo info;
  const FFMixed basic = callPlugin(plugin, FF_GETINFO, mixedWord(0));
  if (failed(basic) || basic.PointerValue == nullptr)
    fail(plugin.fPath + " gives no plug-in information (FF_GETINFO failed)");
  const auto* record = static_cast<const PlugInfoStruct*>(basic.PointerValue);
  info.fApiMajor = record->APIMajorVersion;
  info.fApiMinor = record->APIMinorVersion;
  info.fUniqueId = fixedText(record->PluginUniqueID, sizeof record->PluginUniqueID);
  info.fName = fixedText(record->PluginName, sizeof record->PluginName);
  info.fType = record->PluginType;

  const FFMixed extended = callPlugin(plugin, FF_GETEXTENDEDINFO, mixedWord(0));
  if (!failed(extended) && extended.PointerValue != nullptr) {
    const auto* more = static_cast<const PlugExtendedInfoStruct*>(extended.PointerValue);
    info.fHasExtendedInfo = true;
    info.fVersionMajor = more->PluginMajorVersion;
    info.fVersionMinor = more->PluginMinorVersion;
    info.fDescription = textAt(more->Description);
    info.fAbout = textAt(more->About);
  }

  const auto capability = [&](FFUInt32 cap) {
    return callPlugin(plugin, FF_GETPLUGINCAPS, mixedWord(cap)).UIntValue == 1;
  };
  info.fVideo16 = capability(FF_CAP_16BITVIDEO);
  info.fVideo24 = capability(FF_CAP_24BITVIDEO);
  info.fVideo32 = capability(FF_CAP_32BITVIDEO);
  info.fFrameCopy = capability(FF_CAP_PROCESSFRAMECOPY);

  const FFMixed count = callPlugin(plugin, FF_GETNUMPARAMETERS, mixedWord(0));
  const FFUInt32 n = failed(count) ? 0 : count.UIntValue;
  if (n > 1024) fail(plugin.fPath + " reports " + std::to_string(n) + " parameters; expected at most 1024");
  for (FFUInt32 i = 0; i < n; ++i) {
    ParamInfo param;
    const FFMixed name = callPlugin(plugin, FF_GETPARAMETERNAME, mixedWord(i));
    if (!failed(name) && name.PointerValue != nullptr)
      param.fName = fixedText(static_cast<const char*>(name.PointerValue), 16);
    param.fType = callPlugin(plugin, FF_GETPARAMETERTYPE, mixedWord(i)).UIntValue;
    param.fDefault = callPlugin(plugin, FF_GETPARAMETERDEFAULT, mixedWord(i)).FloatValue;
    info.fParams.push_back(param);
  }
  return info;
}

std::string paramTypeName(FFUInt32 type) {
  switch (type) {
    case 0: return "boolean";
    case 1: return "event";
    case 2: return "red";
    case 3: return "green";
    case 4: return "blue";
    case 5: return "x position";
    case 6: return "y position";
    case FF_TYPE_STANDARD: return "standard";
    case 100: return "text";
    default: return "type " + std::to_string(type);
  }
}

FFUInt32 depthCode(std::uint32_t bitsPerPixel) { return bitsPerPixel == 24 ? FF_DEPTH_24 : FF_DEPTH_32; }

void InstanceReleaser::operator()(Instance* instance) const {
  if (instance->fId != nullptr) callPlugin(*instance->fPlugin, FF_DEINSTANTIATE, mixedWord(0), instance->fId);
  delete instance;
}

InstancePtr createInstance(const Plugin& plugin, std::uint32_t width, std::uint32_t height,
                           std::uint32_t bitsPerPixel) {
  const VideoInfoStruct format{width, height, depthCode(bitsPerPixel), 1};
  const FFMixed answer = callPlugin(plugin, FF_INSTANTIATE, mixedPointer(&format));
  if (failed(answer) || answer.PointerValue == nullptr)
    fail(plugin.fPath + " refused an instance for " + std::to_string(width) + "x" +
         std::to_string(height) + " " + std::to_string(bitsPerPixel) +
         "-bit frames (FF_INSTANTIATE failed)");
  return InstancePtr(new Instance{&plugin, answer.PointerValue});
}

void setParameter(const Instance& instance, FFUInt32 index, float value) {
  SetParameterStruct set{};
  set.index = index;
  set.value.FloatValue = value;
  expectSuccess(*instance.fPlugin, FF_SETPARAMETER, mixedPointer(&set), instance.fId,
                ("FF_SETPARAMETER of parameter " + std::to_string(index)).c_str());
}

std::string parameterDisplay(const Instance& instance, FFUInt32 index) {
  const FFMixed answer = callPlugin(*instance.fPlugin, FF_GETPARAMETERDISPLAY, mixedWord(index), instance.fId);
  if (failed(answer) || answer.PointerValue == nullptr) return {};
  std::string text = fixedText(static_cast<const char*>(answer.PointerValue), 16);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void processFrame(const Instance& instance, void* frame) {
  expectSuccess(*instance.fPlugin, FF_PROCESSFRAME, mixedPointer(frame), instance.fId, "a frame (FF_PROCESSFRAME)");
}

void processFrameCopy(const Instance& instance, void* input, void* output) {
  void* inputs[1] = {input};
  ProcessFrameCopyStruct copy{};
  copy.numInputFrames = 1;
  copy.InputFrames = inputs;
  copy.OutputFrame = output;
  expectSuccess(*instance.fPlugin, FF_PROCESSFRAMECOPY, mixedPointer(&copy), instance.fId,
                "a frame (FF_PROCESSFRAMECOPY)");
}

}  // namespace fluxgrain::tool
