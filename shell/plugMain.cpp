// The plug-in's one exported symbol.
#include "platform/platform.h"
#include "shell/dispatch.h"

extern "C" FF_EXPORT FFMixed FF_CALL plugMain(FFUInt32 functionCode, FFMixed inputValue,
                                             FFInstanceID instanceID) {
  return fluxgrain::dispatch(fluxgrain::kPluginDef, functionCode, inputValue, instanceID);
}
