// The parameter table of a plug-in and the per-instance values with their display texts.
#pragma once

#include <array>
#include <cstdint>

namespace fluxgrain {

constexpr int kMaxParams = 8;

enum ParamIndex : int {
  kBlend = 0,
  kScaleXY1 = 1,  // "Scale XY1" .. "Scale XY4" are indices 1 .. 4
  kDistMul = 5,
  kStepVal = 6,
  kAngMul = 7,  // eight-parameter plug-ins only
};

struct ParamDef {
  float fDefault;
  char fName[16];  // zero-padded
};

struct ParamRec {
  float fValue;      // exactly as the host set it, limited to [0, 1] at frame time
  char fDisplay[16]; // written by FF_GETPARAMETERDISPLAY only
};

// The names and their order are the same in every plug-in; only the defaults differ.
constexpr std::array<ParamDef, kMaxParams> makeParamTable(float blend, float scale, float distMul,
                                                          float stepVal, float angMul = 0.0f) {
  return {{{blend, "Blend"},
           {scale, "Scale XY1"},
           {scale, "Scale XY2"},
           {scale, "Scale XY3"},
           {scale, "Scale XY4"},
           {distMul, "Dist Mul"},
           {stepVal, "Step Val"},
           {angMul, "Ang Mul"}}};
}

// Limits each of the first `count` values to [0, 1] in place. NaN becomes 0.0: it would otherwise
// pass both comparisons and poison the animation state and the integer conversions.
void clampParams(ParamRec* params, int count);

// Refreshes rec.fDisplay: 16 spaces, then the value in "%f" form, cut to 15 characters, and a
// terminator.
void refreshDisplay(ParamRec& rec);

}  // namespace fluxgrain
