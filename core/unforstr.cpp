#include "unforstr.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "unextcnv.hpp"

std::string BYTETOFIXSTR(uint8_t W, uint8_t N) {
  std::string S = std::to_string(W);
  if (S.size() < N) S.insert(0, N - S.size(), '0');
  return S;
}

namespace {

// Exponent notation with D significant digits of |E|, split into mantissa
// ("d.ddd") and exponent ("+05", "-123"); returns false for inf and nan.
bool SCIENTIFIC(TEXTENDED E, int D, std::string& MANT, std::string& EXPO) {
  if (!EXTISFINITE(E)) return false;
  char B[96];
  int LEN = EXTSCIENTIFIC(B, sizeof B, D - 1, EXTABS(E));
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
  R += EXTSIGNBIT(E) ? '-' : ' ';
  if (!SCIENTIFIC(E, D, MANT, EXPO)) {
    // Not reached by series data; a readable marker of the same width.
    std::string T = EXTISNAN(E) ? "NaN" : "Inf";
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

namespace {

// |E| * 100 rounded to an integer, to nearest with ties to even, from the
// exact binary value of E: false when that is 2^64 or more (or E is inf
// or nan), which the general way then writes.
bool HUNDREDTHS(TEXTENDED E, uint64_t& Q) {
  if (!EXTISFINITE(E)) return false;
  uint64_t MANT;
  uint16_t SE;
  std::memcpy(&MANT, &E, 8);
  std::memcpy(&SE, reinterpret_cast<const char*>(&E) + 8, 2);
  const int EXP = SE & 0x7FFF;
  if (EXP != 0 && (MANT >> 63) == 0) return false;  // not a form arithmetic yields
  // |E| = MANT * 2^SHIFT (16383 the bias of the exponent field, 63 the
  // bits after the significand's point; a field of 0, a subnormal, counts
  // as 1), and |E| * 100 = N * 2^SHIFT with N below 2^71 (2^64 * 2^7).
  const int SHIFT = (EXP == 0 ? 1 : EXP) - 16383 - 63;
  const unsigned __int128 N = static_cast<unsigned __int128>(MANT) * 100;
  if (SHIFT >= 0) return false;  // |E| >= 2^63
  unsigned __int128 R = 0;       // for N * 2^SHIFT below one half
  if (SHIFT >= -71) {
    const int S = -SHIFT;
    R = N >> S;
    const unsigned __int128 REST = N - (R << S);
    const unsigned __int128 HALF = static_cast<unsigned __int128>(1) << (S - 1);
    if (REST > HALF || (REST == HALF && (R & 1) != 0)) ++R;
  }
  if ((R >> 64) != 0) return false;
  Q = static_cast<uint64_t>(R);
  return true;
}

}  // namespace

std::string FIXEDTEXT(TEXTENDED E, int W) {
  uint64_t Q;
  if (HUNDREDTHS(E, Q)) {
    // The digits from the end: two decimals, the point, the integer part.
    char T[32];
    char* P = T + sizeof T;
    for (int K = 0; K < 2; ++K, Q /= 10) *--P = static_cast<char>('0' + Q % 10);
    *--P = '.';
    do {
      *--P = static_cast<char>('0' + Q % 10);
      Q /= 10;
    } while (Q != 0);
    if (EXTSIGNBIT(E)) *--P = '-';
    const size_t LEN = static_cast<size_t>(T + sizeof T - P);
    std::string R(W > static_cast<int>(LEN) ? static_cast<size_t>(W) - LEN : 0, ' ');
    R.append(P, LEN);
    return R;
  }
  char B[5000];
  int LEN = EXTFIXED(B, sizeof B, W, 2, E);
  return std::string(B, static_cast<size_t>(LEN));
}

std::string SHOWCHAR(int C) {
  char B[24];
  if (C >= 32 && C < 127)
    std::snprintf(B, sizeof B, "'%c' (%d)", C, C);
  else
    std::snprintf(B, sizeof B, "character %d", C);
  return B;
}

std::string SHOWTEXT(std::string_view S) {
  static const char HEX[] = "0123456789ABCDEF";
  std::string R;
  R.reserve(S.size());
  for (const char C : S) {
    const unsigned char U = static_cast<unsigned char>(C);
    if (U == '\\') {
      R += "\\\\";
    } else if (U == '\n') {
      R += "\\n";
    } else if (U == '\t') {
      R += "\\t";
    } else if (U == '\r') {
      R += "\\r";
    } else if (U < 32 || U == 127) {
      R += "\\x";
      R += HEX[U >> 4];
      R += HEX[U & 15];
    } else {
      R += C;
    }
  }
  return R;
}
