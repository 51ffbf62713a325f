// unvarpow: power tables built once by recurrence, one extended
// multiplication or division per entry (no power function):
//   AXIPO[N][k] = VALAX[N]^k, planet N = 1..8, k = -30..30 (AU^k)
//   POWAR[k]    = 2^-k, k = 0..10 (exact)
// POWOMEL needs VALAX, so FORFACTOM runs first.
#pragma once

#include "unalltyp.hpp"

inline constexpr int MAXAXIEXP = 30;
inline constexpr int MAXHALF = 10;

using TAXIROW = TARRAY<TEXTENDED, -MAXAXIEXP, MAXAXIEXP, "axis exponent">;
using TAXIPO = TARRAY<TAXIROW, 1, MAXIPA, "planet">;
using TPOWAR = TARRAY<TEXTENDED, 0, MAXHALF, "halving power">;

extern TAXIPO AXIPO;
extern TPOWAR POWAR;

void POWOMEL();
