// The double-precision constants of the animation and the table patterns.
#pragma once

namespace fluxgrain {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

}  // namespace fluxgrain
