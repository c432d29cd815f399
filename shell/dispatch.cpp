#include "shell/dispatch.h"

#include <cstring>

#include "pipeline/frameEntry.h"
#include "shell/instance.h"

namespace fluxgrain {

namespace {

constexpr FFUInt32 kCapabilities[] = {0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1,
                                      1, 0, 0, 0, FF_CAP_PREFER_BOTH, 1, 2, 65535, 65535, 65535, 65535};
static_assert(sizeof kCapabilities / sizeof kCapabilities[0] == 22);

// The records the host reads in place; rewritten with the same bytes on every query.
PlugInfoStruct gInfo;
PlugExtendedInfoStruct gExtendedInfo;

FFMixed floatBits(float value) {
  FFUInt32 bits;
  std::memcpy(&bits, &value, sizeof bits);
  return mixedWord(bits);
}

bool needsInstance(FFUInt32 code) {
  switch (code) {
    case FF_PROCESSFRAME:
    case FF_GETPARAMETERDISPLAY:
    case FF_SETPARAMETER:
    case FF_GETPARAMETER:
    case FF_DEINSTANTIATE:
    case FF_PROCESSFRAMECOPY:
    case FF_PROCESSMULTI:
      return true;
    default:
      return false;
  }
}

const PlugInfoStruct* fillInfo(const PluginDef& def) {
  gInfo.APIMajorVersion = 1;
  gInfo.APIMinorVersion = 0;
  std::memcpy(gInfo.PluginUniqueID, def.fUniqueId, sizeof gInfo.PluginUniqueID);
  std::memset(gInfo.PluginName, 0, sizeof gInfo.PluginName);
  std::memcpy(gInfo.PluginName, def.fName, std::strlen(def.fName));
  gInfo.PluginType = FF_EFFECT;
  return &gInfo;
}

const PlugExtendedInfoStruct* fillExtendedInfo(const PluginDef& def) {
  gExtendedInfo.PluginMajorVersion = 3;
  gExtendedInfo.PluginMinorVersion = def.fMinorVersion;
  gExtendedInfo.Description = def.fDescription;
  gExtendedInfo.About = def.fAbout;
  gExtendedInfo.FreeFrameExtendedDataSize = 0;
  gExtendedInfo.FreeFrameExtendedDataBlock = nullptr;
  return &gExtendedInfo;
}

}  // namespace

FFMixed dispatch(const PluginDef& def, FFUInt32 code, FFMixed input, FFInstanceID instance) {
  const FFMixed failed = mixedWord(FF_FAIL);
  if (code > FF_PROCESSMULTI) return failed;
  if (needsInstance(code) && instance == nullptr) return failed;
  PlugObj* obj = static_cast<PlugObj*>(instance);
  const FFUInt32 n = FFUInt32(def.fNumParams);
  const FFUInt32 index = input.UIntValue;

  switch (code) {
    case FF_GETINFO:
      return mixedPointer(fillInfo(def));
    case FF_INITIALISE:
    case FF_DEINITIALISE:
      return mixedWord(FF_SUCCESS);
    case FF_PROCESSFRAME:
      return mixedWord(processFrame(def, *obj, input.PointerValue));
    case FF_GETNUMPARAMETERS:
      return mixedWord(n);
    case FF_GETPARAMETERNAME:
      return index < n ? mixedPointer(def.fParamTable[index].fName) : failed;
    case FF_GETPARAMETERDEFAULT:
      return index < n ? floatBits(def.fParamTable[index].fDefault) : failed;
    case FF_GETPARAMETERDISPLAY:
      if (index >= n) return failed;
      refreshDisplay(obj->fParams[index]);
      return mixedPointer(obj->fParams[index].fDisplay);
    case FF_SETPARAMETER: {
      const auto* set = static_cast<const SetParameterStruct*>(input.PointerValue);
      if (set == nullptr || set->index >= n) return failed;
      obj->fParams[set->index].fValue = set->value.FloatValue;
      return mixedWord(FF_SUCCESS);
    }
    case FF_GETPARAMETER:
      return index < n ? floatBits(obj->fParams[index].fValue) : failed;
    case FF_GETPLUGINCAPS:
      return mixedWord(index < 22 ? kCapabilities[index] : 0);
    case FF_INSTANTIATE: {
      PlugObj* created = instantiate(def, static_cast<const VideoInfoStruct*>(input.PointerValue));
      return created != nullptr ? mixedPointer(created) : failed;
    }
    case FF_DEINSTANTIATE:
      deInstantiate(obj);
      return mixedWord(FF_SUCCESS);
    case FF_GETEXTENDEDINFO:
      return mixedPointer(fillExtendedInfo(def));
    case FF_PROCESSFRAMECOPY:
      return mixedWord(processFrameCopy(def, *obj, static_cast<const ProcessFrameCopyStruct*>(input.PointerValue)));
    case FF_GETPARAMETERTYPE:
      return mixedWord(FF_TYPE_STANDARD);
    default:  // FF_PROCESSMULTI
      return mixedWord(processMulti(def, *obj, static_cast<MultiFrame*>(input.PointerValue)));
  }
}

}  // namespace fluxgrain
