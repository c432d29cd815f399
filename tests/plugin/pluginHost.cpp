#include "tests/plugin/pluginHost.h"
#include "tests/support/patternBytes.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fluxgrain::test {

std::string pluginPath(const std::string& name) {
  return std::string(FLUXGRAIN_PLUGIN_DIR) + "/" + name + ".so";
}

LoadedPlugin loadPlugin(const std::string& name) {
  LoadedPlugin p;
  p.fHandle = dlopen(pluginPath(name).c_str(), RTLD_NOW);
  EXPECT_NE(p.fHandle, nullptr) << dlerror();
  if (p.fHandle != nullptr) {
    p.fPlugMain = reinterpret_cast<PlugMainFn>(dlsym(p.fHandle, "plugMain"));
    EXPECT_NE(p.fPlugMain, nullptr) << name << " does not export plugMain";
  }
  return p;
}

void unloadPlugin(LoadedPlugin& plugin) {
  if (plugin.fHandle != nullptr) {
    EXPECT_EQ(dlclose(plugin.fHandle), 0);
  }
  plugin = {};
}

FFMixed call(const LoadedPlugin& p, FFUInt32 code, FFMixed input, FFInstanceID instance) {
  return p.fPlugMain(code, input, instance);
}

FFMixed call(const LoadedPlugin& p, FFUInt32 code, const void* input, FFInstanceID instance) {
  return p.fPlugMain(code, mixedPointer(input), instance);
}

FFMixed callIndex(const LoadedPlugin& p, FFUInt32 code, FFUInt32 index, FFInstanceID instance) {
  return p.fPlugMain(code, mixedWord(index), instance);
}

std::uintptr_t wholeWord(FFMixed m) {
  std::uintptr_t w;
  std::memcpy(&w, &m, sizeof w);
  return w;
}

FFUInt32 answer32(FFMixed m) {
  EXPECT_EQ(wholeWord(m) >> 16 >> 16, 0u) << "upper half of a 32-bit answer is not zero";
  return m.UIntValue;
}

FFInstanceID instantiate(const LoadedPlugin& p, FFUInt32 width, FFUInt32 height, FFUInt32 bitDepth,
                         FFUInt32 orientation) {
  const VideoInfoStruct info{width, height, bitDepth, orientation};
  const FFMixed r = call(p, FF_INSTANTIATE, &info);
  return r.UIntValue == FF_FAIL ? nullptr : r.PointerValue;
}

FFUInt32 deinstantiate(const LoadedPlugin& p, FFInstanceID instance) {
  return answer32(call(p, FF_DEINSTANTIATE, FFMixed{}, instance));
}

FFUInt32 setParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index, float value) {
  SetParameterStruct set{};
  set.index = index;
  set.value.FloatValue = value;
  return answer32(call(p, FF_SETPARAMETER, &set, instance));
}

float getParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index) {
  return bitsFloat(getParameterBits(p, instance, index));
}

FFUInt32 getParameterBits(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index) {
  return answer32(callIndex(p, FF_GETPARAMETER, index, instance));
}

std::string getParameterDisplay(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index) {
  const FFMixed r = callIndex(p, FF_GETPARAMETERDISPLAY, index, instance);
  if (r.UIntValue == FF_FAIL || r.PointerValue == nullptr) return {};
  return std::string(static_cast<const char*>(r.PointerValue), 16);
}

FFUInt32 processFrame(const LoadedPlugin& p, FFInstanceID instance, void* frame) {
  return answer32(call(p, FF_PROCESSFRAME, frame, instance));
}

FFUInt32 processFrameCopy(const LoadedPlugin& p, FFInstanceID instance, void* input, void* output) {
  void* inputs[1] = {input};
  const ProcessFrameCopyStruct copy{1, inputs, output};
  return answer32(call(p, FF_PROCESSFRAMECOPY, &copy, instance));
}

FFUInt32 processMulti(const LoadedPlugin& p, FFInstanceID instance, void* frames) {
  return answer32(call(p, FF_PROCESSMULTI, frames, instance));
}

std::uint32_t floatBits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float bitsFloat(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void startCapture(int& savedFd, int& tempFd) {
  std::fflush(stderr);
  char name[] = "/tmp/fluxgrain-stderr-XXXXXX";
  tempFd = mkstemp(name);
  unlink(name);
  savedFd = dup(STDERR_FILENO);
  dup2(tempFd, STDERR_FILENO);
}

std::string stopCapture(int savedFd, int tempFd) {
  std::fflush(stderr);
  dup2(savedFd, STDERR_FILENO);
  close(savedFd);
  std::string text;
  char buffer[4096];
  lseek(tempFd, 0, SEEK_SET);
  for (ssize_t n; (n = read(tempFd, buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
  close(tempFd);
  return text;
}

const PluginCase& pluginCase(const std::string& name) {
  for (const PluginCase& c : kPlugins) {
    if (name == c.fName) return c;
  }
  ADD_FAILURE() << "no plug-in named " << name;
  return kPlugins[0];
}

std::string caseName(const ::testing::TestParamInfo<PluginCase>& info) { return info.param.fName; }

void PrintTo(const PluginCase& c, std::ostream* os) { *os << c.fName; }

Instance::Instance(const LoadedPlugin& p, FFUInt32 width, FFUInt32 height, FFUInt32 bitDepth,
                   FFUInt32 orientation)
    : fPlugin(&p), fId(instantiate(p, width, height, bitDepth, orientation)) {
  EXPECT_NE(fId, nullptr) << "FF_INSTANTIATE " << width << " x " << height << " depth " << bitDepth;
}

Instance::~Instance() {
  if (fId != nullptr) {
    EXPECT_EQ(deinstantiate(*fPlugin, fId), FF_SUCCESS);
  }
}

Frame uniformFrame(FFUInt32 width, FFUInt32 height, std::initializer_list<std::uint8_t> pixel) {
  Frame f;
  f.reserve(std::size_t(width) * height * pixel.size());
  for (std::size_t i = 0; i < std::size_t(width) * height; ++i) f.insert(f.end(), pixel);
  return f;
}

Frame patternFrame(FFUInt32 width, FFUInt32 height, FFUInt32 bytesPerPixel, std::uint32_t seed) {
  return patternBytes(std::size_t(width) * height * bytesPerPixel, seed);
}

}  // namespace fluxgrain::test
