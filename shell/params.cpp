#include "shell/params.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace fluxgrain {

void clampParams(ParamRec* params, int count) {
  for (int i = 0; i < count; ++i) {
    float v = params[i].fValue;
    if (v > 1.0f) v = 1.0f;
    if (v < 0.0f) v = 0.0f;
    if (std::isnan(v)) v = 0.0f;
    params[i].fValue = v;
  }
}

void refreshDisplay(ParamRec& rec) {
  std::memset(rec.fDisplay, ' ', sizeof rec.fDisplay);
  // snprintf cuts a longer text to 15 characters and always terminates it.
  std::snprintf(rec.fDisplay, sizeof rec.fDisplay, "%f", double(rec.fValue));
}

}  // namespace fluxgrain
