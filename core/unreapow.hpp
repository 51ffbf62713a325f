// unreapow: what the decimal conversions of unreanum share: the powers of
// ten that are exact in extended precision (up to MAXEXACTPOW, undecfld),
// and a significand scaled by one of them in one correctly rounded
// operation.
#pragma once

#include <cstdint>

#include "unalltyp.hpp"
#include "undecfld.hpp"

struct TPOW10 {
  TEXTENDED V[MAXEXACTPOW + 1];
  constexpr TPOW10() : V() {
    TEXTENDED P = 1.0_EXT;
    for (int I = 0; I <= MAXEXACTPOW; ++I) {
      V[I] = P;
      P *= 10.0_EXT;
    }
  }
};
inline constexpr TPOW10 POW10;

// SIG * 10^E in one correctly rounded operation. Its premises: SIG, below
// 2^64, converts exactly to the 64-bit significand; the power is exact
// (|E| <= MAXEXACTPOW); the x87 unit rounds the product or quotient once,
// to nearest, at 64 bits (precision control 64 bits, rounding to nearest:
// checked at start-up by CHECKFPU, see unfpuenv). The exact real number
// SIG * 10^E thus comes back rounded once to the nearest extended value,
// as the C library's conversion gives it.
inline TEXTENDED SCALED(uint64_t SIG, long long E) {
  const TEXTENDED V = static_cast<TEXTENDED>(SIG);
  return E >= 0 ? V * POW10.V[E] : V / POW10.V[-E];
}
