// A foreign FreeFrame 1.0 plug-in with no parameters that refuses instances 13 pixels wide and
// fails every frame: the host's handling of a plug-in that says no.
#include "shell/freeframe.h"

namespace {

PlugInfoStruct gInfo = {1, 0, {'R', 'F', 'S', 'E'}, "Refuser", FF_EFFECT};
int gInstance;

}  // namespace

extern "C" __attribute__((visibility("default"))) FFMixed plugMain(FFUInt32 code, FFMixed input, FFInstanceID) {
  switch (code) {
    case FF_GETINFO:
      return mixedPointer(&gInfo);
    case FF_INITIALISE:
    case FF_DEINITIALISE:
    case FF_DEINSTANTIATE:
      return mixedWord(FF_SUCCESS);
    case FF_GETNUMPARAMETERS:
      return mixedWord(0);
    case FF_GETPLUGINCAPS:
      return mixedWord(input.UIntValue == FF_CAP_24BITVIDEO || input.UIntValue == FF_CAP_32BITVIDEO ? 1 : 0);
    case FF_INSTANTIATE:
      if (static_cast<const VideoInfoStruct*>(input.PointerValue)->frameWidth == 13) return mixedWord(FF_FAIL);
      return mixedPointer(&gInstance);
    default:
      return mixedWord(FF_FAIL);
  }
}
