#include "unelmini.hpp"

#include <cmath>

#include "unallcon.hpp"

namespace {

constexpr TNAMES MAKENAMES() {
  TNAMES N{};
  const char* V[MAXIPA] = {"     Mercury", "       Venus", "  Earth-Moon",
                           "        Mars", "     Jupiter", "      Saturn",
                           "      Uranus", "     Neptune"};
  for (int I = 0; I < MAXIPA; ++I) N.DATA()[I] = V[I];
  return N;
}

TKELONE MAKEKEL(const TEXTENDED (&V)[MAXIPA]) {
  TKELONE K{};
  for (int I = 0; I < MAXIPA; ++I) K.DATA()[I] = V[I];
  return K;
}

}  // namespace

const TNAMES NAMEOFPLANET = MAKENAMES();
const TKELONE SYSTEMOFMASS = MAKEKEL({6023600.0_EXT, 408523.71_EXT, 328900.5614_EXT,
                                      3098708.0_EXT, 1047.3486_EXT, 3497.898_EXT,
                                      22902.98_EXT, 19412.24_EXT});
const TKELONE SEMIMAJORAXI = MAKEKEL({0.3870986_EXT, 0.7233316_EXT, 0.9999988_EXT,
                                      1.5236883_EXT, 5.2025_EXT, 9.5462_EXT, 19.194_EXT,
                                      30.071_EXT});

TKELONE FAMUS{}, FAMUP{}, VALAX{}, VALAN{};

void FORFACTOM() {
  TEXTENDED F = SQRGAUK;
  for (int N = 1; N <= MAXIPA; ++N) {
    TEXTENDED Q = SQRGAUK / SYSTEMOFMASS[N];
    FAMUS[N] = Q;
    F = Q + F;
    FAMUP[N] = F;
    VALAX[N] = SEMIMAJORAXI[N];
    VALAN[N] = EXTSQRT(FAMUP[N] / ((VALAX[N] * VALAX[N]) * VALAX[N]));
  }
}
