// Fuzz target of the software extended type against the x87 long double:
// the input holds two values A and B (ten bytes each in memory order:
// significand, then sign and exponent), eight bytes of an integer, a byte
// that picks precisions and a width, and a decimal text (the rest; shorter
// inputs are padded with zero bytes).
//
// Compared bit for bit: A + B, A - B, A * B, A / B both ways round,
// sqrt(A), sqrt(B), the six comparisons both ways, -, fabs, signbit,
// isnan, isinf, isfinite of each, on every encoding; the integer as every
// signed and unsigned width; SOFTEXTSCIENTIFIC against "%.*Le" and
// SOFTEXTFIXED against "%*.*Lf" for A (not for the encodings the x87 unit
// rejects or never produces: unnormals, pseudo-denormals, pseudo-NaNs);
// SOFTEXTREAD of the text against strtold, and the scientific text of A
// with 21 digits read back to A.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "unsoftext.hpp"

namespace {

using LD = long double;

std::string HEX(TSOFTEXT S) {
  char T[32];
  std::snprintf(T, sizeof T, "%04X:%016llX", S.SE, static_cast<unsigned long long>(S.MANT));
  return T;
}

[[noreturn]] void FINDING(const std::string& WHAT) {
  std::fprintf(stderr, "\n==== softext_fuzz finding: %s\n", WHAT.c_str());
  std::fflush(stderr);
  std::abort();
}

TSOFTEXT SOFT(LD X) {
  TSOFTEXT S{};
  std::memcpy(&S, &X, 10);
  return S;
}
LD HARD(TSOFTEXT S) {
  LD X = 0;
  std::memcpy(&X, &S, 10);
  return X;
}

void SAME(const char* OP, TSOFTEXT S, LD H, const std::string& ARGS) {
  if (std::memcmp(&S, &H, 10) != 0) FINDING(std::string(OP) + " " + ARGS + ": " + HEX(S) + ", x87 " + HEX(SOFT(H)));
}

[[gnu::noinline]] LD HADD(LD A, LD B) { return A + B; }
[[gnu::noinline]] LD HSUB(LD A, LD B) { return A - B; }
[[gnu::noinline]] LD HMUL(LD A, LD B) { return A * B; }
[[gnu::noinline]] LD HDIV(LD A, LD B) { return A / B; }
[[gnu::noinline]] LD HSQRT(LD A) { return std::sqrt(A); }
[[gnu::noinline]] int HCOMPARE(LD A, LD B) {
  return (A == B) | (A != B) << 1 | (A < B) << 2 | (A <= B) << 3 | (A > B) << 4 | (A >= B) << 5;
}
int SCOMPARE(TSOFTEXT A, TSOFTEXT B) {
  return (A == B) | (A != B) << 1 | (A < B) << 2 | (A <= B) << 3 | (A > B) << 4 | (A >= B) << 5;
}

void ARITHMETIC(TSOFTEXT A, TSOFTEXT B) {
  const LD HA = HARD(A), HB = HARD(B);
  const std::string ARGS = HEX(A) + " " + HEX(B);
  SAME("add", A + B, HADD(HA, HB), ARGS);
  SAME("sub", A - B, HSUB(HA, HB), ARGS);
  SAME("mul", A * B, HMUL(HA, HB), ARGS);
  SAME("div", A / B, HDIV(HA, HB), ARGS);
  SAME("sqrt", sqrt(A), HSQRT(HA), HEX(A));
  if (SCOMPARE(A, B) != HCOMPARE(HA, HB)) FINDING("comparisons " + ARGS);
  SAME("neg", -A, -HA, HEX(A));
  SAME("fabs", fabs(A), std::fabs(HA), HEX(A));
  if (signbit(A) != std::signbit(HA) || isnan(A) != std::isnan(HA) || isinf(A) != std::isinf(HA) ||
      isfinite(A) != std::isfinite(HA))
    FINDING("classification " + HEX(A));
}

template <typename I>
void INTEGER(const unsigned char* P) {
  I V;
  std::memcpy(&V, P, sizeof V);
  SAME("integer", TSOFTEXT(V), static_cast<LD>(V), std::to_string(V));
}

// Encodings the x87 unit produces: not unnormals, pseudo-denormals,
// pseudo-infinities or pseudo-NaNs.
bool PRODUCIBLE(TSOFTEXT X) {
  const int E = X.SE & 0x7FFF;
  return (E == 0) == ((X.MANT >> 63) == 0);
}

void TEXTS(TSOFTEXT A, unsigned PICK) {
  const LD HA = HARD(A);
  for (int P : {16, static_cast<int>(PICK % 24)}) {
    char B[96];
    std::snprintf(B, sizeof B, "%.*Le", P, HA);
    const std::string S = SOFTEXTSCIENTIFIC(A, P);
    if (S != B) FINDING(HEX(A) + " %." + std::to_string(P) + "Le: " + S + ", library " + B);
  }
  // Fixed point up to 10^120; every width and precision picked.
  if ((A.SE & 0x7FFF) < 16383 + 400) {
    const int W = static_cast<int>(PICK >> 3) % 32, P = static_cast<int>(PICK % 8);
    char B[256];
    std::snprintf(B, sizeof B, "%*.*Lf", W, P, HA);
    const std::string S = SOFTEXTFIXED(A, W, P);
    if (S != B) FINDING(HEX(A) + " %" + std::to_string(W) + "." + std::to_string(P) + "Lf: " + S + ", library " + B);
  }
  // 21 significant digits tell every value apart.
  if (isfinite(A)) {
    const std::string S = SOFTEXTSCIENTIFIC(A, 20);
    TSOFTEXT R{};
    if (!SOFTEXTREAD(S, R) || std::memcmp(&R, &A, 10) != 0) FINDING(HEX(A) + " reads back from " + S + " as " + HEX(R));
  }
}

void READING(const std::string& F) {
  TSOFTEXT S{};
  const bool OK = SOFTEXTREAD(F, S);
  char* END = nullptr;
  const LD H = std::strtold(F.c_str(), &END);
  // The library reads more forms (blanks first, inf, nan, hexadecimal).
  const bool PLAIN = !F.empty() && F.find_first_not_of("0123456789+-.eE") == std::string::npos;
  const bool HOK = PLAIN && END == F.c_str() + F.size();
  if (OK != HOK) FINDING("\"" + F + "\" " + (OK ? "read" : "not read") + ", by the library " + (HOK ? "read" : "not read"));
  if (OK) SAME("read", S, H, "\"" + F + "\"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* D, size_t N) {
  unsigned char B[29] = {};
  std::memcpy(B, D, N < sizeof B ? N : sizeof B);
  TSOFTEXT A{}, C{};
  std::memcpy(&A, B, 10);
  std::memcpy(&C, B + 10, 10);
  ARITHMETIC(A, C);
  ARITHMETIC(C, A);
  INTEGER<int8_t>(B + 20);
  INTEGER<int16_t>(B + 20);
  INTEGER<int32_t>(B + 20);
  INTEGER<int64_t>(B + 20);
  INTEGER<uint8_t>(B + 20);
  INTEGER<uint16_t>(B + 20);
  INTEGER<uint32_t>(B + 20);
  INTEGER<uint64_t>(B + 20);
  if (PRODUCIBLE(A)) TEXTS(A, B[28]);
  if (N > sizeof B) READING(std::string(reinterpret_cast<const char*>(D) + sizeof B, N - sizeof B));
  return 0;
}
