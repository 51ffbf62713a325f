// Fuzz target of the number texts: the input is one extended value, ten
// bytes in memory order (64-bit significand, then 16 bits of sign and
// exponent; shorter inputs are padded with zero bytes). Encodings that the
// x87 unit does not produce (unnormals, pseudo-denormals), infinities and
// NaNs are skipped.
//
// FLOATWITHPOWER(x, 26) and AMPDIGITS are compared with a text built from
// the C library's "%.16Le", which is correctly rounded; FIXEDTEXT(x, 7) and
// FIXEDTEXT(x, 8) with "%.2Lf" and with an exact rounding in 128-bit
// integers. The amplitude text of a normal value with a two-digit exponent
// must read back through READREAL and READREALEXACT to the same bits, and
// that value must print as the same text again.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "unforstr.hpp"
#include "unreanum.hpp"

namespace {

std::string HEX(TEXTENDED V) {
  unsigned char B[10];
  std::memcpy(B, &V, 10);
  char T[48];
  std::snprintf(T, sizeof T, "%02X%02X:%02X%02X%02X%02X%02X%02X%02X%02X", B[9],
                B[8], B[7], B[6], B[5], B[4], B[3], B[2], B[1], B[0]);
  char L[64];
  std::snprintf(L, sizeof L, " (%.21Lg)", V);
  return std::string(T) + L;
}

[[noreturn]] void FINDING(TEXTENDED X, const std::string& WHAT) {
  std::fprintf(stderr, "\n==== format_fuzz finding for %s: %s\n", HEX(X).c_str(),
               WHAT.c_str());
  std::fflush(stderr);
  std::abort();
}

bool SAMEBITS(TEXTENDED A, TEXTENDED B) { return std::memcmp(&A, &B, 10) == 0; }

// The amplitude text from "%.16Le": a blank, the sign place, the digits.
std::string AMPLITUDEREF(TEXTENDED X, int& EXP10) {
  char B[96];
  std::snprintf(B, sizeof B, "%.16Le", std::fabs(X));
  std::string S = B;
  // d.dddddddddddddddde[+-]dd...
  const bool SHAPE = S.size() >= 22 && S[1] == '.' && S[18] == 'e' &&
                     (S[19] == '+' || S[19] == '-') && S.size() - 20 >= 2;
  if (!SHAPE) FINDING(X, "harness: unexpected \"%.16Le\" text " + S);
  EXP10 = std::atoi(S.c_str() + 20) * (S[19] == '-' ? -1 : 1);
  return std::string(" ") + (std::signbit(X) ? "-" : " ") + S;
}

// X with two decimals, correctly rounded (ties to even), by integers:
// X = SIG * 2^E, |X| < 2^100.
std::string FIXEDREF(TEXTENDED X) {
  int E2 = 0;
  TEXTENDED F = std::frexp(std::fabs(X), &E2);  // F in [0.5, 1)
  const uint64_t SIG = static_cast<uint64_t>(std::ldexp(F, 64));
  const int E = E2 - 64;  // |X| = SIG * 2^E
  using U128 = unsigned __int128;
  const U128 H = static_cast<U128>(SIG) * 100;  // < 2^71
  U128 Q;
  if (X == 0.0L) {
    Q = 0;
  } else if (E >= 0) {
    if (E > 56) FINDING(X, "harness: FIXEDREF out of its range");
    Q = H << E;
  } else if (-E >= 127) {
    Q = 0;  // below 2^-56: rounds to zero
  } else {
    const int S = -E;
    Q = H >> S;
    const U128 REM = H & ((static_cast<U128>(1) << S) - 1);
    const U128 HALF = static_cast<U128>(1) << (S - 1);
    if (REM > HALF || (REM == HALF && (Q & 1) != 0)) ++Q;
  }
  std::string D;
  do {
    D.insert(D.begin(), static_cast<char>('0' + static_cast<int>(Q % 10)));
    Q /= 10;
  } while (Q != 0);
  while (D.size() < 3) D.insert(D.begin(), '0');
  D.insert(D.size() - 2, ".");
  if (std::signbit(X)) D.insert(D.begin(), '-');
  return D;
}

std::string RIGHT(std::string S, size_t W) {
  if (S.size() < W) S.insert(0, W - S.size(), ' ');
  return S;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* D, size_t N) {
  unsigned char B[16] = {};
  std::memcpy(B, D, N < 10 ? N : 10);
  uint64_t SIG;
  uint16_t SE;
  std::memcpy(&SIG, B, 8);
  std::memcpy(&SE, B + 8, 2);
  const unsigned EXP = SE & 0x7FFFu;
  const bool INTBIT = (SIG >> 63) != 0;
  if (EXP == 0x7FFF) return 0;           // infinities and NaNs
  if (EXP == 0 ? INTBIT : !INTBIT) return 0;  // pseudo-denormal, unnormal
  TEXTENDED X;
  std::memcpy(&X, B, sizeof X);
  if (!std::isfinite(X)) FINDING(X, "harness: not finite");

  // The amplitude text.
  int EXP10 = 0;
  const std::string WANT = AMPLITUDEREF(X, EXP10);
  const std::string GOT = FLOATWITHPOWER(X, 26);
  if (GOT != WANT) FINDING(X, "FLOATWITHPOWER(x, 26) \"" + GOT + "\", want \"" + WANT + "\"");
  const size_t LEN = EXP10 <= -1000 || EXP10 >= 1000 ? 26 : EXP10 <= -100 || EXP10 >= 100 ? 25 : 24;
  if (GOT.size() != LEN)
    FINDING(X, "FLOATWITHPOWER(x, 26) \"" + GOT + "\" has " + std::to_string(GOT.size()) +
                   " characters");
  for (TEXTENDED Y : {X, std::fabs(X)}) {
    char W[32];
    const int WLEN = AMPDIGITS(Y, W);
    if (std::string(W, static_cast<size_t>(WLEN)) != WANT.substr(2))
      FINDING(X, "AMPDIGITS \"" + std::string(W, static_cast<size_t>(WLEN)) + "\", want \"" +
                     WANT.substr(2) + "\"");
  }

  // Read back and print again.
  if (std::isnormal(X) && EXP10 >= -99 && EXP10 <= 99) {
    const std::string T = GOT.substr(GOT.find_first_not_of(' '));
    TEXTENDED A = 0.0L, E = 0.0L;
    char DIG[31];
    int DLEN = -1;
    if (!READREAL(T, A, DIG, &DLEN)) FINDING(X, "READREAL refuses \"" + T + "\"");
    if (!READREALEXACT(T, E)) FINDING(X, "READREALEXACT refuses \"" + T + "\"");
    if (!SAMEBITS(A, E))
      FINDING(X, "\"" + T + "\": READREAL " + HEX(A) + ", READREALEXACT " + HEX(E));
    if (std::signbit(A) != std::signbit(X)) FINDING(X, "\"" + T + "\" reads with another sign");
    const std::string AGAIN = FLOATWITHPOWER(A, 26);
    if (AGAIN != GOT)
      FINDING(X, "\"" + GOT + "\" reads as " + HEX(A) + ", which prints \"" + AGAIN + "\"");
    if (DLEN < 0 || DLEN > 31) FINDING(X, "DIGITSLEN " + std::to_string(DLEN));
    if (DLEN > 0 && std::string(DIG, static_cast<size_t>(DLEN)) != GOT.substr(2))
      FINDING(X, "READREAL digits \"" + std::string(DIG, static_cast<size_t>(DLEN)) +
                     "\" of \"" + T + "\"");
  }

  // The fixed-point texts.
  if (std::fabs(X) < 1e30L) {
    char C[128];
    std::snprintf(C, sizeof C, "%.2Lf", X);
    const std::string LIBC = C;
    const std::string EXACT = FIXEDREF(X);
    if (LIBC != EXACT)
      FINDING(X, "harness: \"%.2Lf\" gives " + LIBC + ", the integer rounding " + EXACT);
    for (int W : {7, 8}) {
      const std::string F = FIXEDTEXT(X, W);
      const std::string FW = RIGHT(EXACT, static_cast<size_t>(W));
      if (F != FW)
        FINDING(X, "FIXEDTEXT(x, " + std::to_string(W) + ") \"" + F + "\", want \"" + FW + "\"");
    }
  }
  return 0;
}
