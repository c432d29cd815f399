// The eight plug-in records and their table builders.
#pragma once

#include "shell/plugin.h"

namespace fluxgrain {

extern const PluginDef kPellum;
extern const PluginDef kCaldor;
extern const PluginDef kFennix;
extern const PluginDef kGralden;
extern const PluginDef kOrvial;
extern const PluginDef kZentrik;
extern const PluginDef kLumbra;
extern const PluginDef kSolvane;

bool buildPellumTable(PlugObj& obj);
bool buildCaldorTable(PlugObj& obj);
bool buildFennixTable(PlugObj& obj);
bool buildGraldenTable(PlugObj& obj);
bool buildOrvialTable(PlugObj& obj);
bool buildZentrikTable(PlugObj& obj);
bool buildLumbraTable(PlugObj& obj);
bool buildSolvaneTable(PlugObj& obj);

}  // namespace fluxgrain
