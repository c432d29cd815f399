// Decodes a plugMain call for one plug-in and runs it.
#pragma once

#include "shell/freeframe.h"
#include "shell/plugin.h"

namespace fluxgrain {

FFMixed dispatch(const PluginDef& def, FFUInt32 code, FFMixed input, FFInstanceID instance);

}  // namespace fluxgrain
