// unelmini: fixed data of the eight planets and the per-planet factors
// derived from them.
//
// FORFACTOM takes the inverse masses SYSTEMOFMASS (mass of the Sun over the
// mass of the planet) and the mean semi-major axes SEMIMAJORAXI (AU), and
// fills, for planet N = 1..8:
//   FAMUS[N] = k^2 / SYSTEMOFMASS[N]          AU^3/day^2, the planet's mass
//   FAMUP[N] = k^2 + FAMUS[1] + .. + FAMUS[N] AU^3/day^2, Sun and planets 1..N
//   VALAX[N] = SEMIMAJORAXI[N]                AU
//   VALAN[N] = sqrt(FAMUP[N] / ((a*a)*a))     rad/day, the mean motion
// Every step is one extended operation, in exactly that order.
#pragma once

#include <string>

#include "unalltyp.hpp"

using TNAMES = TARRAY<const char*, 1, MAXIPA, "planet">;

// Names right-aligned in exactly 12 characters.
extern const TNAMES NAMEOFPLANET;
extern const TKELONE SYSTEMOFMASS;
extern const TKELONE SEMIMAJORAXI;

extern TKELONE FAMUS, FAMUP, VALAX, VALAN;

void FORFACTOM();
