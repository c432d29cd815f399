#include "engine/motion.h"

#include <cmath>

#include "engine/angles.h"
#include "engine/intMath.h"

namespace fluxgrain {

namespace {

constexpr float kStepCentre = 0.5f;
constexpr double kSpeedDivisor = 500.0;
constexpr double kDegreesPerHalfTurn = 180.0;
constexpr float kCornerGain = 2.0f;
constexpr float kCornerBias = -0.99f;
constexpr float kDistGain = 2.0f;
constexpr float kDistBias = 0.5f;
constexpr double kHalf = 0.5;
constexpr double kFixedOne = 256.0;
constexpr float kOrbitHalf = 0.5f;
constexpr double kOrbitScale = 0.125;

// A phase read in degrees and then used as radians: this is how the animation turns.
double phaseAngle(double phase) { return (phase * kDegreesPerHalfTurn) / kPi; }

}  // namespace

void advancePhases(PlugObj& obj, const EngineProfile& profile) {
  if (!profile.fAdvancePhases) return;
  const double w = double(obj.fParams[kStepVal].fValue - kStepCentre) / kSpeedDivisor;
  double a = obj.fPhaseA + w;
  if (a > kTwoPi) a = a - kTwoPi;
  obj.fPhaseA = a;
  double b = (obj.fPhaseB - w) - w;
  if (b < 0.0) b = b + kTwoPi;
  obj.fPhaseB = b;
}

WarpQuad computeWarpQuad(const PlugObj& obj, const EngineProfile& profile) {
  const double wd = double(obj.fWidth);
  const double hd = double(obj.fHeight);

  double scale[4];
  const float m = obj.fParams[kDistMul].fValue * kDistGain + kDistBias;
  const double factor = profile.fDistMulScalesCorners ? double(m) : profile.fCornerFactor;
  for (int k = 0; k < 4; ++k) {
    const float g = obj.fParams[kScaleXY1 + k].fValue * kCornerGain + kCornerBias;
    scale[k] = double(g) * factor + obj.fCornerOffset[k];
  }

  const double theta = phaseAngle(obj.fPhaseB);
  const double s = std::sin(theta);
  const double c = std::cos(theta);

  // Unrotated corners, clockwise from the top left.
  const double sign[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  WarpQuad q{};
  double ox = 0.0, oy = 0.0;
  if (profile.fOrbit) {
    const double r = double(float(obj.fHeight) * kOrbitHalf * obj.fParams[kDistMul].fValue) *
                     kOrbitScale * (((scale[0] + scale[1]) + scale[2]) + scale[3]);
    const double thetaA = phaseAngle(obj.fPhaseA);
    ox = r * std::cos(thetaA);
    oy = r * std::sin(thetaA);
  }
  for (int k = 0; k < 4; ++k) {
    const double x = sign[k][0] * kHalf * scale[k] * wd;
    const double y = sign[k][1] * kHalf * scale[k] * hd;
    double& outX = q.fCorner[k][0];
    double& outY = q.fCorner[k][1];
    if (!profile.fOrbit) {
      outX = x * c - y * s;
      outY = x * s + y * c;
    } else if (k < 3) {
      outX = (x * c + ox) - y * s;
      outY = (x * s + oy) + y * c;
    } else {
      outX = (ox - y * s) + x * c;
      outY = (oy + x * s) + y * c;
    }
  }

  const double (&p)[4][2] = q.fCorner;
  auto step = [](double to, double from, double length) {
    return truncToInt32((to - from) / length * kFixedOne);
  };
  q.fTopStepX = step(p[1][0], p[0][0], wd);
  q.fTopStepY = step(p[1][1], p[0][1], wd);
  q.fBottomStepX = step(p[2][0], p[3][0], wd);
  q.fBottomStepY = step(p[2][1], p[3][1], wd);
  q.fLeftStepX = step(p[3][0], p[0][0], hd);
  q.fLeftStepY = step(p[3][1], p[0][1], hd);
  q.fRightStepX = step(p[2][0], p[1][0], hd);
  q.fRightStepY = step(p[2][1], p[1][1], hd);
  // The quad centre sits on the table centre (K*W/2, K*H/2); K/2 is 1 or 2, so this is exact.
  const double halfK = double(profile.fTableFactor) * kHalf;
  const double cx = wd * halfK;
  const double cy = hd * halfK;
  q.fStartX = truncToInt32((p[0][0] + cx) * kFixedOne);
  q.fStartY = truncToInt32((p[0][1] + cy) * kFixedOne);
  return q;
}

}  // namespace fluxgrain
