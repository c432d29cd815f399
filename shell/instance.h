// Creating and destroying instances.
#pragma once

#include "shell/freeframe.h"
#include "shell/plugin.h"

namespace fluxgrain {

// True when the frame's buffers and the plug-in's WaveTable fit the size type and the int32
// index arithmetic of the pass.
bool frameSizeFits(std::uint64_t width, std::uint64_t height, std::int32_t bytesPerPixel,
                   std::int32_t tableFactor);

// A new instance for the frame format, or nullptr (nothing stays allocated).
PlugObj* instantiate(const PluginDef& def, const VideoInfoStruct* info);

// Releases the instance and everything it owns, slot images included.
void deInstantiate(PlugObj* obj);

}  // namespace fluxgrain
