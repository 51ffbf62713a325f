// Small helpers of the unit tests: extended values from their parts and
// their neighbours, for tests that walk the bit patterns; the C library's
// conversions as an oracle; whether AddressSanitizer is in the build; a
// limit on the address space.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "unalltyp.hpp"

// Whether long double is the x87 type on this machine. Then the hardware
// arithmetic and the C library's conversions serve as the oracle of the
// build's extended type, whichever it is, through the ten bytes both share.
#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
#define X87HERE 1
#else
#define X87HERE 0
#endif

// For a test whose oracle is the x87 long double alone.
#define SKIPWITHOUTX87()                                                        \
  if (!X87HERE) {                                                               \
    GTEST_SKIP() << "long double is not the x87 type here: no hardware oracle"; \
  }

// The value of the same ten bytes as the long double X, and back (where
// long double is the x87 type).
inline TEXTENDED EXTOF(long double X) {
  TEXTENDED R{};
  std::memcpy(&R, &X, 10);
  return R;
}
inline long double LDOF(TEXTENDED X) {
  long double R = 0;
  std::memcpy(&R, &X, 10);
  return R;
}

inline bool SAMEBITS(TEXTENDED A, TEXTENDED B) { return std::memcmp(&A, &B, 10) == 0; }

// The ten bytes, most significant first, in hexadecimal.
inline std::string HEXOF(TEXTENDED E) {
  unsigned char B[10];
  std::memcpy(B, &E, 10);
  char T[24];
  for (int I = 0; I < 10; ++I) std::snprintf(T + 2 * I, 3, "%02x", B[9 - I]);
  return T;
}

// The extended value with significand M (the integer bit set for a
// non-zero exponent field, cleared for zero), exponent field EXPFIELD and
// sign NEG.
inline TEXTENDED FROMBITS(uint64_t M, int EXPFIELD, bool NEG) {
  if (EXPFIELD == 0)
    M &= ~(uint64_t{1} << 63);
  else
    M |= uint64_t{1} << 63;
  unsigned char B[16] = {};
  std::memcpy(B, &M, 8);
  B[8] = static_cast<unsigned char>(EXPFIELD & 0xFF);
  B[9] = static_cast<unsigned char>((EXPFIELD >> 8) | (NEG ? 0x80 : 0));
  TEXTENDED E;
  std::memcpy(&E, B, sizeof E);
  return E;
}

// The finite values in order, as integers: 0 for both zeros, 1 for the
// least subnormal, one more for each value upwards, negated below zero.
inline __int128 ORDINALOF(TEXTENDED X) {
  uint64_t M;
  uint16_t SE;
  std::memcpy(&M, &X, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&X) + 8, 2);
  const int EXP = SE & 0x7FFF;
  const __int128 O = EXP == 0 ? __int128(M) : (__int128(EXP - 1) << 63) + M;
  return (SE & 0x8000) != 0 ? -O : O;
}
inline TEXTENDED VALUEOFORDINAL(__int128 O) {
  const bool NEG = O < 0;
  if (NEG) O = -O;
  if (O < (__int128(1) << 63)) return FROMBITS(static_cast<uint64_t>(O), 0, NEG);
  const int EXP = static_cast<int>(O >> 63);
  return FROMBITS(static_cast<uint64_t>(O - (__int128(EXP - 1) << 63)), EXP, NEG);
}

// The neighbour of finite X toward Y, as nextafter gives it.
inline TEXTENDED NEXTTOWARD(TEXTENDED X, TEXTENDED Y) {
  if (X == Y) return Y;
  const __int128 O = ORDINALOF(X);
  return VALUEOFORDINAL(Y > X ? O + 1 : O - 1);
}

// The C library's conversions, as an oracle: strtold, "%.*Le" and
// "%*.*Lf" on the x87 long double where it is the type here; elsewhere
// the software type's own, which the differential test proves the same on
// x86-64.
inline TEXTENDED LIBRARYREAD(const std::string& F) {
#if X87HERE
  return EXTOF(std::strtold(F.c_str(), nullptr));
#else
  TEXTENDED V{};
  const size_t FROM = F.find_first_not_of(" \t\n\v\f\r");  // strtold skips white space
  if (FROM == std::string::npos || !SOFTEXTREAD(std::string_view(F).substr(FROM), V))
    ADD_FAILURE() << "not a decimal number: " << F;
  return V;
#endif
}
inline std::string LIBRARYSCIENTIFIC(TEXTENDED X, int PREC) {
#if X87HERE
  char B[96];
  std::snprintf(B, sizeof B, "%.*Le", PREC, LDOF(X));
  return B;
#else
  return SOFTEXTSCIENTIFIC(X, PREC);
#endif
}
inline std::string LIBRARYFIXED(TEXTENDED X, int WIDTH, int PREC) {
#if X87HERE
  std::string B(5000, '\0');
  B.resize(static_cast<size_t>(std::snprintf(B.data(), B.size(), "%*.*Lf", WIDTH, PREC, LDOF(X))));
  return B;
#else
  return SOFTEXTFIXED(X, WIDTH, PREC);
#endif
}

// X near enough as a double, for approximate checks.
inline double APPROX(TEXTENDED X) { return std::strtod(LIBRARYSCIENTIFIC(X, 20).c_str(), nullptr); }

// Under AddressSanitizer: long loops run shorter, and address-space limits
// cannot be set (it reserves more than any limit allows).
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool SANITIZED = true;
#else
inline constexpr bool SANITIZED = false;
#endif

// Under an emulator (a cross build's tests): limits on the address space
// are not applied to the program it runs.
#if defined(PAIRTERMS_EMULATOR)
inline constexpr bool EMULATED = sizeof(PAIRTERMS_EMULATOR) > 1;
#else
inline constexpr bool EMULATED = false;
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
