// unextcnv: the decimal conversions of the extended type in the C
// library's terms, for either type (see unalltyp): the library itself for
// the x87 long double, the software type's own conversions, which give the
// same texts and values, for TSOFTEXT.
//
// EXTSCIENTIFIC(B, N, PREC, X): X as "%.*Le" writes it with PREC digits
//   after the point, into B of N bytes; returns the length, as snprintf.
// EXTFIXED(B, N, WIDTH, PREC, X): X as "%*.*Lf" writes it, likewise.
// EXTREADALL(Z, X): the value of the decimal number that is the whole of
//   the text Z (a sign, digits with a point, an exponent: the caller has
//   checked the form), correctly rounded; false when the reading stops
//   short of its end.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "unalltyp.hpp"

#if PAIRTERMS_SOFT_EXTENDED

namespace EXTCNVIMPL {
inline int PUT(char* B, size_t N, const std::string& T) {
  if (N > 0) {
    const size_t K = T.size() < N ? T.size() : N - 1;
    std::memcpy(B, T.data(), K);
    B[K] = '\0';
  }
  return static_cast<int>(T.size());
}
}  // namespace EXTCNVIMPL

inline int EXTSCIENTIFIC(char* B, size_t N, int PREC, TEXTENDED X) {
  return EXTCNVIMPL::PUT(B, N, SOFTEXTSCIENTIFIC(X, PREC));
}
inline int EXTFIXED(char* B, size_t N, int WIDTH, int PREC, TEXTENDED X) {
  return EXTCNVIMPL::PUT(B, N, SOFTEXTFIXED(X, WIDTH, PREC));
}
inline bool EXTREADALL(const std::string& Z, TEXTENDED& X) { return SOFTEXTREAD(Z, X); }

#else

inline int EXTSCIENTIFIC(char* B, size_t N, int PREC, TEXTENDED X) { return std::snprintf(B, N, "%.*Le", PREC, X); }
inline int EXTFIXED(char* B, size_t N, int WIDTH, int PREC, TEXTENDED X) {
  return std::snprintf(B, N, "%*.*Lf", WIDTH, PREC, X);
}
inline bool EXTREADALL(const std::string& Z, TEXTENDED& X) {
  char* END = nullptr;
  X = std::strtold(Z.c_str(), &END);
  return END == Z.c_str() + Z.size();
}

#endif
