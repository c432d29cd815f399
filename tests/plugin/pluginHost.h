// Loads a built plug-in with dlopen and drives it through plugMain exactly as a Linux host does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "shell/freeframe.h"

namespace fluxgrain::test {

using PlugMainFn = FFMixed (*)(FFUInt32, FFMixed, FFInstanceID);

// The path of a built plug-in, e.g. pluginPath("OxaFGPellum1").
std::string pluginPath(const std::string& name);

struct LoadedPlugin {
  void* fHandle = nullptr;
  PlugMainFn fPlugMain = nullptr;
};

// dlopen(RTLD_NOW) and dlsym("plugMain"); fails the current test on error.
LoadedPlugin loadPlugin(const std::string& name);
void unloadPlugin(LoadedPlugin& plugin);

// One call; returns the whole word.
FFMixed call(const LoadedPlugin& p, FFUInt32 code, FFMixed input = {}, FFInstanceID instance = nullptr);
FFMixed call(const LoadedPlugin& p, FFUInt32 code, const void* input, FFInstanceID instance = nullptr);
FFMixed callIndex(const LoadedPlugin& p, FFUInt32 code, FFUInt32 index, FFInstanceID instance = nullptr);

// The whole pointer-sized word of an answer, and the word a 32-bit answer must be: the value in
// the low half, zero above it.
std::uintptr_t wholeWord(FFMixed m);
constexpr std::uintptr_t word32(FFUInt32 value) { return std::uintptr_t(value); }

// The 32-bit member of an answer; fails the current test if the rest of the word is not zero.
FFUInt32 answer32(FFMixed m);

// FF_INSTANTIATE for a frame format; nullptr when the plug-in answers FF_FAIL.
FFInstanceID instantiate(const LoadedPlugin& p, FFUInt32 width, FFUInt32 height, FFUInt32 bitDepth,
                         FFUInt32 orientation = 1);
FFUInt32 deinstantiate(const LoadedPlugin& p, FFInstanceID instance);
FFUInt32 setParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index, float value);
float getParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index);
FFUInt32 getParameterBits(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index);
// The 16 bytes of the display text of a parameter, or an empty string when the call fails.
std::string getParameterDisplay(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index);
FFUInt32 processFrame(const LoadedPlugin& p, FFInstanceID instance, void* frame);
FFUInt32 processFrameCopy(const LoadedPlugin& p, FFInstanceID instance, void* input, void* output);
// Code 16 with a caller-built MultiFrame (or null).
FFUInt32 processMulti(const LoadedPlugin& p, FFInstanceID instance, void* frames);

std::uint32_t floatBits(float value);
float bitsFloat(std::uint32_t bits);

// Runs fn with standard error captured; returns what was written to it (the plug-ins show
// frame-path messages there, one line each).
template <class Fn>
std::string captureStderr(Fn fn);
std::string stopCapture(int savedFd, int tempFd);
void startCapture(int& savedFd, int& tempFd);

template <class Fn>
std::string captureStderr(Fn fn) {
  int savedFd = -1, tempFd = -1;
  startCapture(savedFd, tempFd);
  fn();
  return stopCapture(savedFd, tempFd);
}

// What a host can know about each plug-in before loading it.
struct PluginCase {
  const char* fName;
  const char* fUniqueId;  // four characters
  FFUInt32 fMinorVersion;
  const char* fEffectWord;  // the word quoted at the end of the description
  bool fFamilyB;            // the eight-parameter plug-ins
  std::uint32_t fDefaults[8];  // bit patterns; index 7 only in family B
  FFUInt32 numParams() const { return fFamilyB ? 8 : 7; }
};

// Default bit patterns of the decimal defaults.
namespace bits {
constexpr std::uint32_t k0_10 = 0x3DCCCCCD, k0_12 = 0x3DF5C28F, k0_20 = 0x3E4CCCCD,
                        k0_28 = 0x3E8F5C29, k0_30 = 0x3E99999A, k0_40 = 0x3ECCCCCD,
                        k0_65 = 0x3F266666, k0_70 = 0x3F333333;
}  // namespace bits

inline constexpr PluginCase kPlugins[] = {
    {"OxaFGPellum1", "qv11", 944, "Pellum", false,
     {bits::k0_12, bits::k0_40, bits::k0_40, bits::k0_40, bits::k0_40, bits::k0_70, bits::k0_65}},
    {"OxaFGCaldor1", "qv13", 939, "Caldor", false,
     {bits::k0_12, bits::k0_10, bits::k0_10, bits::k0_10, bits::k0_10, bits::k0_10, bits::k0_10}},
    {"OxaFGFennix1", "qv14", 941, "Fennix", false,
     {bits::k0_12, bits::k0_10, bits::k0_10, bits::k0_10, bits::k0_10, bits::k0_70, bits::k0_65}},
    {"OxaFGGralden1", "qv0y", 954, "Gralden", true,
     {bits::k0_28, bits::k0_20, bits::k0_20, bits::k0_20, bits::k0_20, bits::k0_70, bits::k0_65,
      bits::k0_20}},
    {"OxaFGOrvial1", "qv_2", 940, "Orvial", false,
     {bits::k0_12, bits::k0_30, bits::k0_30, bits::k0_30, bits::k0_30, bits::k0_70, bits::k0_65}},
    {"OxaFGZentrik1", "qv15", 938, "Zentrik", false,
     {bits::k0_12, bits::k0_30, bits::k0_30, bits::k0_30, bits::k0_30, bits::k0_70, bits::k0_65}},
    {"OxaFGLumbra1", "qv0z", 945, "Lumbra", true,
     {bits::k0_28, bits::k0_20, bits::k0_20, bits::k0_20, bits::k0_20, bits::k0_70, bits::k0_65,
      bits::k0_20}},
    {"OxaFGSolvane1", "qv10", 938, "Solvane", true,
     {bits::k0_28, bits::k0_20, bits::k0_20, bits::k0_20, bits::k0_20, bits::k0_70, bits::k0_65,
      bits::k0_20}},
};

const PluginCase& pluginCase(const std::string& name);

// Test names for suites parameterised by plug-in.
std::string caseName(const ::testing::TestParamInfo<PluginCase>& info);
void PrintTo(const PluginCase& c, std::ostream* os);

// Parameter indices.
enum : FFUInt32 { kBlend = 0, kScaleXY1 = 1, kDistMul = 5, kStepVal = 6, kAngMul = 7 };

// A plug-in loaded for the lifetime of the object.
class PluginHandle {
 public:
  explicit PluginHandle(const std::string& name) : fPlugin(loadPlugin(name)) {}
  ~PluginHandle() { unloadPlugin(fPlugin); }
  PluginHandle(const PluginHandle&) = delete;
  PluginHandle& operator=(const PluginHandle&) = delete;
  bool loaded() const { return fPlugin.fPlugMain != nullptr; }
  operator const LoadedPlugin&() const { return fPlugin; }

 private:
  LoadedPlugin fPlugin;
};

// An instance created on construction and released (expecting FF_SUCCESS) on destruction.
class Instance {
 public:
  Instance(const LoadedPlugin& p, FFUInt32 width, FFUInt32 height, FFUInt32 bitDepth,
           FFUInt32 orientation = 1);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;
  bool ok() const { return fId != nullptr; }
  FFInstanceID id() const { return fId; }
  FFUInt32 set(FFUInt32 index, float value) const { return setParameter(*fPlugin, fId, index, value); }
  FFUInt32 bitsOf(FFUInt32 index) const { return getParameterBits(*fPlugin, fId, index); }
  FFUInt32 process(void* frame) const { return processFrame(*fPlugin, fId, frame); }
  FFUInt32 copy(void* input, void* output) const {
    return processFrameCopy(*fPlugin, fId, input, output);
  }

 private:
  const LoadedPlugin* fPlugin;
  FFInstanceID fId;
};

using Frame = std::vector<std::uint8_t>;

constexpr FFUInt32 bytesPerPixel(FFUInt32 bitDepth) { return bitDepth == FF_DEPTH_32 ? 4 : 3; }

// Every pixel the given bytes (3 or 4 of them).
Frame uniformFrame(FFUInt32 width, FFUInt32 height, std::initializer_list<std::uint8_t> pixel);
// Deterministic non-uniform contents; different seeds give different frames.
Frame patternFrame(FFUInt32 width, FFUInt32 height, FFUInt32 bytesPerPixel, std::uint32_t seed);

}  // namespace fluxgrain::test
