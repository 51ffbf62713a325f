// unreapow: what the decimal conversions of unreanum share: the powers of
// ten that are exact in extended precision, and a significand scaled by
// one of them in one correctly rounded operation.
#pragma once

#include <cstdint>

#include "unalltyp.hpp"

inline constexpr int MAXEXACTPOW = 27;  // 10^27 = 5^27 * 2^27, 5^27 < 2^64

struct TPOW10 {
  TEXTENDED V[MAXEXACTPOW + 1];
  constexpr TPOW10() : V() {
    TEXTENDED P = 1.0L;
    for (int I = 0; I <= MAXEXACTPOW; ++I) {
      V[I] = P;
      P *= 10.0L;
    }
  }
};
inline constexpr TPOW10 POW10;

// SIG * 10^E in one correctly rounded operation (|E| <= MAXEXACTPOW: the
// power is exact, and so is SIG, below 2^64).
inline TEXTENDED SCALED(uint64_t SIG, long long E) {
  const TEXTENDED V = static_cast<TEXTENDED>(SIG);
  return E >= 0 ? V * POW10.V[E] : V / POW10.V[-E];
}

inline bool ISDIGIT(char C) { return C >= '0' && C <= '9'; }
