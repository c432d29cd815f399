// The frame run of the reference host: one plug-in, a fixed input picture, parameters changed
// between frames, every output frame written. Used by fluxgrain-drive (a plug-in loaded as a host
// loads it) and by fluxgrain-tables (a plug-in linked in, its tables replaced).
#pragma once

#include <string>

#include "platform/platform.h"
#include "shell/freeframe.h"

namespace fluxgrain::drive {

using PlugMainFn = FFMixed(FF_CALL*)(FFUInt32, FFMixed, FFInstanceID);

// Prints the closing "done rc=N" line (under Wine a crash can end with exit code 0, so callers
// look for it) and returns rc.
int finish(int rc);
// Reports why on standard error, then finish(1).
int fail(const std::string& why);

// Runs the frames described by args[0..count-1] through plugMain and returns finish(rc):
//   WxH[:BITS] FRAMES INPUT OUTPUT [K:INDEX=VALUE ...]   (see driveMain.cpp)
int runFrames(PlugMainFn plugMain, int count, char** args);

}  // namespace fluxgrain::drive
