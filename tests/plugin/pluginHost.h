// Loads a built plug-in with dlopen and drives it through plugMain exactly as a Linux host does.
#pragma once

#include <cstdint>
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

// FF_INSTANTIATE for a frame format; nullptr when the plug-in answers FF_FAIL.
FFInstanceID instantiate(const LoadedPlugin& p, FFUInt32 width, FFUInt32 height, FFUInt32 bitDepth,
                         FFUInt32 orientation = 1);
FFUInt32 deinstantiate(const LoadedPlugin& p, FFInstanceID instance);
FFUInt32 setParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index, float value);
float getParameter(const LoadedPlugin& p, FFInstanceID instance, FFUInt32 index);
FFUInt32 processFrame(const LoadedPlugin& p, FFInstanceID instance, void* frame);
FFUInt32 processFrameCopy(const LoadedPlugin& p, FFInstanceID instance, void* input, void* output);

std::uint32_t floatBits(float value);

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

}  // namespace fluxgrain::test
