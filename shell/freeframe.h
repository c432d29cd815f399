// The FreeFrame 1.0 words and records that cross plugMain, in the pointer-width form used by
// Linux hosts: identical to the 32-bit word form in a 32-bit build, with pointers and FFMixed
// widened to 8 bytes (natural alignment) in a 64-bit build.
#pragma once

#include <cstddef>
#include <cstdint>

using FFUInt32 = std::uint32_t;
using FFInstanceID = void*;

// One word of plugMain's interface: a 32-bit value, a float32 or a pointer. 32-bit values sit in
// the low 4 bytes; the rest of a 64-bit union is zero in every answer of ours.
union FFMixed {
  FFUInt32 UIntValue;
  float FloatValue;
  void* PointerValue;
};

// The words a host or the plug-in passes: a 32-bit value with the upper half of a 64-bit word
// cleared, or a pointer.
inline FFMixed mixedWord(FFUInt32 value) {
  FFMixed m{};
  m.PointerValue = nullptr;
  m.UIntValue = value;
  return m;
}

inline FFMixed mixedPointer(const void* p) {
  FFMixed m{};
  m.PointerValue = const_cast<void*>(p);
  return m;
}

constexpr FFUInt32 FF_SUCCESS = 0;
constexpr FFUInt32 FF_FAIL = 0xFFFFFFFFu;

enum : FFUInt32 {
  FF_GETINFO = 0,
  FF_INITIALISE = 1,
  FF_DEINITIALISE = 2,
  FF_PROCESSFRAME = 3,
  FF_GETNUMPARAMETERS = 4,
  FF_GETPARAMETERNAME = 5,
  FF_GETPARAMETERDEFAULT = 6,
  FF_GETPARAMETERDISPLAY = 7,
  FF_SETPARAMETER = 8,
  FF_GETPARAMETER = 9,
  FF_GETPLUGINCAPS = 10,
  FF_INSTANTIATE = 11,
  FF_DEINSTANTIATE = 12,
  FF_GETEXTENDEDINFO = 13,
  FF_PROCESSFRAMECOPY = 14,
  FF_GETPARAMETERTYPE = 15,
  // The system's own code: a caller hands over a MultiFrame directly.
  FF_PROCESSMULTI = 16,
};

enum : FFUInt32 {
  FF_CAP_16BITVIDEO = 0,
  FF_CAP_24BITVIDEO = 1,
  FF_CAP_32BITVIDEO = 2,
  FF_CAP_PROCESSFRAMECOPY = 3,
  FF_CAP_MINIMUMINPUTFRAMES = 10,
  FF_CAP_MAXIMUMINPUTFRAMES = 11,
  FF_CAP_COPYORINPLACE = 15,
};
constexpr FFUInt32 FF_CAP_PREFER_BOTH = 3;
constexpr FFUInt32 FF_TYPE_STANDARD = 10;
constexpr FFUInt32 FF_EFFECT = 0;

enum : FFUInt32 { FF_DEPTH_16 = 0, FF_DEPTH_24 = 1, FF_DEPTH_32 = 2 };

struct PlugInfoStruct {
  FFUInt32 APIMajorVersion;
  FFUInt32 APIMinorVersion;
  char PluginUniqueID[4];
  char PluginName[16];
  FFUInt32 PluginType;
};

struct PlugExtendedInfoStruct {
  FFUInt32 PluginMajorVersion;
  FFUInt32 PluginMinorVersion;
  const char* Description;
  const char* About;
  FFUInt32 FreeFrameExtendedDataSize;
  void* FreeFrameExtendedDataBlock;
};

struct VideoInfoStruct {
  FFUInt32 frameWidth;
  FFUInt32 frameHeight;
  FFUInt32 bitDepth;
  FFUInt32 orientation;
};

struct SetParameterStruct {
  FFUInt32 index;
  FFMixed value;  // the new value in its FloatValue member
};

struct ProcessFrameCopyStruct {
  FFUInt32 numInputFrames;
  void** InputFrames;
  void* OutputFrame;
};

// Layouts are an external format: pin them for both word widths.
constexpr std::size_t kPtr = sizeof(void*);
static_assert(kPtr == 4 || kPtr == 8, "32-bit or 64-bit builds only");
static_assert(sizeof(FFMixed) == kPtr);
static_assert(sizeof(PlugInfoStruct) == 32 && offsetof(PlugInfoStruct, PluginUniqueID) == 8 &&
              offsetof(PlugInfoStruct, PluginName) == 12 &&
              offsetof(PlugInfoStruct, PluginType) == 28);
static_assert(sizeof(VideoInfoStruct) == 16 && offsetof(VideoInfoStruct, orientation) == 12);
static_assert(offsetof(PlugExtendedInfoStruct, Description) == 8 &&
              offsetof(PlugExtendedInfoStruct, About) == 8 + kPtr &&
              offsetof(PlugExtendedInfoStruct, FreeFrameExtendedDataSize) == 8 + 2 * kPtr &&
              offsetof(PlugExtendedInfoStruct, FreeFrameExtendedDataBlock) == (kPtr == 8 ? 32 : 20) &&
              sizeof(PlugExtendedInfoStruct) == (kPtr == 8 ? 40 : 24));
static_assert(offsetof(SetParameterStruct, value) == kPtr && sizeof(SetParameterStruct) == 2 * kPtr);
static_assert(offsetof(ProcessFrameCopyStruct, InputFrames) == kPtr &&
              offsetof(ProcessFrameCopyStruct, OutputFrame) == 2 * kPtr &&
              sizeof(ProcessFrameCopyStruct) == 3 * kPtr);
