// unvarpow: power tables built once by recurrence, one extended
// multiplication or division per entry (no power function):
//   AXIPO[N][k] = VALAX[N]^k, planet N = 1..8, k = -30..30 (AU^k)
//   POWAR[k]    = 2^-k, k = 0..127 (exact: 2^-127 is far inside the
//                 extended range); the programs' default bounds use 0..10,
//                 a cut on the order bound up to 127
// POWOMEL needs VALAX, so FORFACTOM runs first.
#pragma once

#include "unalltyp.hpp"

inline constexpr int MAXAXIEXP = 30;
inline constexpr int MAXHALF = 127;  // orders are shortints

using TAXIROW = TARRAY<TEXTENDED, -MAXAXIEXP, MAXAXIEXP, "axis exponent">;
using TAXIPO = TARRAY<TAXIROW, 1, MAXIPA, "planet">;
using TPOWAR = TARRAY<TEXTENDED, 0, MAXHALF, "halving power">;

extern TAXIPO AXIPO;
extern TPOWAR POWAR;

void POWOMEL();
