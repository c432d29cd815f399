// `fluxgrain render`: frames through one plug-in, from an input to an output.
#pragma once

#include <string>
#include <vector>

#include "tools/fluxgrain/args.h"
#include "tools/fluxgrain/plugin.h"

namespace fluxgrain::tool {

// The index of the parameter a --set or --sweep names: its index, or its name as the plug-in
// reports it, in any case, ignoring surrounding blanks. A usage error names the choices.
FFUInt32 resolveParameter(const std::string& key, const std::vector<ParamInfo>& params,
                          const std::string& pluginName);

// The value of a parameter change at frame `index` of `total`: FROM on the first frame, TO on
// the last, linear between.
float changeValue(const ParamChange& change, std::uint64_t index, std::uint64_t total);

void runRender(const Options& options, const std::string& pluginPath);

}  // namespace fluxgrain::tool
