// Small helpers of the unit tests: extended values from their parts, for
// tests that walk the bit patterns; whether AddressSanitizer is in the
// build; a limit on the address space.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
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

// Under AddressSanitizer: long loops run shorter, and address-space limits
// cannot be set (it reserves more than any limit allows).
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool SANITIZED = true;
#else
inline constexpr bool SANITIZED = false;
#endif

// Limits the address space of this process to what it uses now and MORE
// bytes; false when that cannot be read or set.
inline bool LIMITADDRESSSPACE(size_t MORE) {
  long PAGES = 0;
  FILE* S = std::fopen("/proc/self/statm", "r");
  const bool READ = S != nullptr && std::fscanf(S, "%ld", &PAGES) == 1;
  if (S != nullptr) std::fclose(S);
  if (!READ) return false;
  const rlim_t LIMIT = static_cast<rlim_t>(PAGES) * 4096 + MORE;
  const rlimit R{LIMIT, LIMIT};
  return ::setrlimit(RLIMIT_AS, &R) == 0;
}
