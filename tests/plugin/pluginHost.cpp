#include "tests/plugin/pluginHost.h"

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
  FFMixed m{};
  m.PointerValue = const_cast<void*>(input);
  return p.fPlugMain(code, m, instance);
}

FFMixed callIndex(const LoadedPlugin& p, FFUInt32 code, FFUInt32 index, FFInstanceID instance) {
  FFMixed m{};
  m.PointerValue = nullptr;
  m.UIntValue = index;
  return p.fPlugMain(code, m, instance);
}

FFInstanceID instantiate(const LoadedPlugin& p, FFUInt32 width, FFUInt32 height, FFUInt32 bitDepth,
                         FFUInt32 orientation) {
  const VideoInfoStruct info{width, height, bitDepth, orientation};
  const FFMixed r = call(p, FF_INSTANTIATE, &info);
  return r.UIntValue == FF_FAIL ? nullptr : r.PointerValue;
}

FFUInt32 deinstantiate(const LoadedPlugin& p, FFInstanceID instance) {
  return call(p, FF_DEINSTANTIATE, FFMixed{}, instance).UIntValue;
}

FFUInt32 setParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index, float value) {
  SetParameterStruct set{};
  set.index = index;
  set.value.FloatValue = value;
  return call(p, FF_SETPARAMETER, &set, instance).UIntValue;
}

float getParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index) {
  const FFUInt32 bits = callIndex(p, FF_GETPARAMETER, index, instance).UIntValue;
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

FFUInt32 processFrame(const LoadedPlugin& p, FFInstanceID instance, void* frame) {
  return call(p, FF_PROCESSFRAME, frame, instance).UIntValue;
}

FFUInt32 processFrameCopy(const LoadedPlugin& p, FFInstanceID instance, void* input, void* output) {
  void* inputs[1] = {input};
  const ProcessFrameCopyStruct copy{1, inputs, output};
  return call(p, FF_PROCESSFRAMECOPY, &copy, instance).UIntValue;
}

std::uint32_t floatBits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
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

}  // namespace fluxgrain::test
