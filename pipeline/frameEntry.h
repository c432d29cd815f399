// The three ways a frame reaches an instance: FF_PROCESSFRAME (in place), FF_PROCESSFRAMECOPY
// and code 16 (a caller's own MultiFrame). All end in processMulti.
#pragma once

#include "shell/freeframe.h"
#include "shell/plugin.h"

namespace fluxgrain {

FFUInt32 processFrame(const PluginDef& def, PlugObj& obj, void* frame);
FFUInt32 processFrameCopy(const PluginDef& def, PlugObj& obj, const ProcessFrameCopyStruct* copy);
FFUInt32 processMulti(const PluginDef& def, PlugObj& obj, MultiFrame* frames);

}  // namespace fluxgrain
