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
const TKELONE SYSTEMOFMASS = MAKEKEL({6023600.0L, 408523.71L, 328900.5614L,
                                      3098708.0L, 1047.3486L, 3497.898L,
                                      22902.98L, 19412.24L});
const TKELONE SEMIMAJORAXI = MAKEKEL({0.3870986L, 0.7233316L, 0.9999988L,
                                      1.5236883L, 5.2025L, 9.5462L, 19.194L,
                                      30.071L});

TKELONE FAMUS{}, FAMUP{}, VALAX{}, VALAN{};

void FORFACTOM() {
  TEXTENDED F = SQRGAUK;
  for (int N = 1; N <= MAXIPA; ++N) {
    TEXTENDED Q = SQRGAUK / SYSTEMOFMASS[N];
    FAMUS[N] = Q;
    F = Q + F;
    FAMUP[N] = F;
    VALAX[N] = SEMIMAJORAXI[N];
    VALAN[N] = std::sqrt(FAMUP[N] / ((VALAX[N] * VALAX[N]) * VALAX[N]));
  }
}
