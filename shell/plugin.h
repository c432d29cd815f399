// Everything that sets one plug-in apart from its siblings, as one constant record. Each
// effects/ source defines one; the shared body of code reads nothing else that differs.
#pragma once

#include <cstdint>

#include "engine/profile.h"
#include "shell/params.h"
#include "shell/plugObj.h"

namespace fluxgrain {

// Allocates and fills the instance's tables; false if an allocation failed.
using TableBuilder = bool (*)(PlugObj& obj);

struct PluginDef {
  const char* fUniqueId;  // four characters, sent without terminator
  const char* fName;      // at most 16 characters
  std::uint32_t fMinorVersion;
  const char* fDescription;
  const char* fAbout;
  int fNumParams;  // 7 or 8
  const ParamDef* fParamTable;
  EngineProfile fProfile;
  TableBuilder fBuildTable;
};

// The record of the plug-in this library is; defined by the effect file it is linked with.
extern const PluginDef& kPluginDef;

}  // namespace fluxgrain

#define FLUXGRAIN_DESCRIPTION(word) \
  "Input turned into a waving dynamic pixelmass with feedback; the Fluxgrain series: '" word "'"
#define FLUXGRAIN_ABOUT(name) \
  name " - Version 3.x - Fluxgrain video effects, (c) 2026 the Fluxgrain developers"

// Makes `def` the record of the plug-in being built (used inside namespace fluxgrain). Test builds that link several effects into
// one program define FLUXGRAIN_NO_PLUGIN_BINDING and use the records by name.
#ifdef FLUXGRAIN_NO_PLUGIN_BINDING
#define FLUXGRAIN_PLUGIN(def)
#else
#define FLUXGRAIN_PLUGIN(def) const PluginDef& kPluginDef = def;
#endif
