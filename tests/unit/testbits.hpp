// Extended values from their parts, for tests that walk the bit patterns.
#pragma once

#include <cstdint>
#include <cstring>

// The extended value with significand M (the integer bit set for a
// non-zero exponent field, cleared for zero), exponent field EXPFIELD and
// sign NEG.
inline long double FROMBITS(uint64_t M, int EXPFIELD, bool NEG) {
  if (EXPFIELD == 0)
    M &= ~(uint64_t{1} << 63);
  else
    M |= uint64_t{1} << 63;
  unsigned char B[16] = {};
  std::memcpy(B, &M, 8);
  B[8] = static_cast<unsigned char>(EXPFIELD & 0xFF);
  B[9] = static_cast<unsigned char>((EXPFIELD >> 8) | (NEG ? 0x80 : 0));
  long double E;
  std::memcpy(&E, B, sizeof E);
  return E;
}
