// The software extended type and the hardware long double side by side,
// for the differential test and the fuzz target: one as the other, the
// text of the bits, and the hardware's operations out of reach of the
// constant folder.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "unsoftdec.hpp"

#if defined(__clang__)
#define HARDWAREOP [[gnu::noinline]]
#else
#define HARDWAREOP [[gnu::noipa]]
#endif

inline TSOFTEXT SOFT(long double X) {
  TSOFTEXT S{};
  std::memcpy(&S, &X, 10);
  return S;
}
inline long double HARD(TSOFTEXT S) {
  long double X = 0;
  std::memcpy(&X, &S, 10);
  return X;
}

inline std::string HEX(TSOFTEXT S) {
  char T[32];
  std::snprintf(T, sizeof T, "%04X:%016llX", S.SE, static_cast<unsigned long long>(S.MANT));
  return T;
}

HARDWAREOP inline long double HADD(long double A, long double B) { return A + B; }
HARDWAREOP inline long double HSUB(long double A, long double B) { return A - B; }
HARDWAREOP inline long double HMUL(long double A, long double B) { return A * B; }
HARDWAREOP inline long double HDIV(long double A, long double B) { return A / B; }
HARDWAREOP inline long double HSQRT(long double A) { return std::sqrt(A); }

// == != < <= > >= as six bits.
HARDWAREOP inline int HCOMPARE(long double A, long double B) {
  return (A == B) | (A != B) << 1 | (A < B) << 2 | (A <= B) << 3 | (A > B) << 4 | (A >= B) << 5;
}
inline int SCOMPARE(TSOFTEXT A, TSOFTEXT B) {
  return (A == B) | (A != B) << 1 | (A < B) << 2 | (A <= B) << 3 | (A > B) << 4 | (A >= B) << 5;
}

// -, fabs, signbit, isnan, isinf, isfinite, isnormal of one value.
HARDWAREOP inline std::string HUNARY(long double A) {
  return HEX(SOFT(-A)) + HEX(SOFT(std::fabs(A))) + char('0' + std::signbit(A)) + char('0' + std::isnan(A)) +
         char('0' + std::isinf(A)) + char('0' + std::isfinite(A)) + char('0' + std::isnormal(A));
}
inline std::string SUNARY(TSOFTEXT A) {
  return HEX(-A) + HEX(fabs(A)) + char('0' + signbit(A)) + char('0' + isnan(A)) + char('0' + isinf(A)) +
         char('0' + isfinite(A)) + char('0' + isnormal(A));
}

// The C library's reading of F into H; true when it takes all of F and F
// holds digits, signs, points and exponent letters alone (the library
// reads more forms: blanks first, inf, nan, hexadecimal).
inline bool LIBRARYREADS(const std::string& F, long double& H) {
  char* END = nullptr;
  H = std::strtold(F.c_str(), &END);
  return !F.empty() && F.find_first_not_of("0123456789+-.eE") == std::string::npos && END == F.c_str() + F.size();
}

// Whether SOFT(RESULT) and S have the same ten bytes.
inline bool SAMEBITS(TSOFTEXT S, long double RESULT) { return std::memcmp(&S, &RESULT, 10) == 0; }
