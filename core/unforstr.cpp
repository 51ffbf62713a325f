#include "unforstr.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>

std::string BYTETOFIXSTR(uint8_t W, uint8_t N) {
  std::string S = std::to_string(W);
  if (S.size() < N) S.insert(0, N - S.size(), '0');
  return S;
}

namespace {

// Exponent notation with D significant digits of |E|, split into mantissa
// ("d.ddd") and exponent ("+05", "-123"); returns false for inf and nan.
bool SCIENTIFIC(TEXTENDED E, int D, std::string& MANT, std::string& EXPO) {
  if (!std::isfinite(E)) return false;
  char B[96];
  int LEN = std::snprintf(B, sizeof B, "%.*Le", D - 1, std::fabs(E));
  const char* P = std::strchr(B, 'e');
  MANT.assign(B, static_cast<size_t>(P - B));
  std::string DIG(P + 2, static_cast<size_t>(B + LEN - (P + 2)));
  // The printed exponent has at least two digits; keep its last two, or
  // all of them when there are more.
  EXPO = std::string(1, P[1]) + DIG;
  return true;
}

}  // namespace

std::string FLOATWITHPOWER(TEXTENDED E, uint8_t N) {
  const int W = N < 10 ? 10 : N;
  const int D = W >= 25 ? 17 : W - 8;
  std::string MANT, EXPO;
  std::string R;
  if (W > 25) R.assign(static_cast<size_t>(W - 25), ' ');
  R += std::signbit(E) ? '-' : ' ';
  if (!SCIENTIFIC(E, D, MANT, EXPO)) {
    // Not reached by series data; a readable marker of the same width.
    std::string T = std::isnan(E) ? "NaN" : "Inf";
    R += T;
    if (R.size() < static_cast<size_t>(W - 2))
      R.insert(0, static_cast<size_t>(W - 2) - R.size(), ' ');
    return R;
  }
  R += MANT;
  R += 'e';
  R += EXPO;
  return R;
}

int AMPDIGITS(TEXTENDED E, char* OUT) {
  std::string MANT, EXPO;
  if (!SCIENTIFIC(E, 17, MANT, EXPO)) {
    std::string T = FLOATWITHPOWER(E, 26).substr(2);
    std::memcpy(OUT, T.data(), T.size());
    return static_cast<int>(T.size());
  }
  std::string T = MANT + 'e' + EXPO;
  std::memcpy(OUT, T.data(), T.size());
  return static_cast<int>(T.size());
}

std::string FIXEDTEXT(TEXTENDED E, int W) {
  char B[5000];
  int LEN = std::snprintf(B, sizeof B, "%*.2Lf", W, E);
  return std::string(B, static_cast<size_t>(LEN));
}
