// Fuzz target of the software extended type against the x87 long double:
// the input holds two values A and B (ten bytes each in memory order:
// significand, then sign and exponent), eight bytes of an integer, a byte
// that picks precisions and a width, and a decimal text (the rest; shorter
// inputs are padded with zero bytes).
//
// Compared bit for bit: A + B, A - B, A * B, A / B both ways round,
// sqrt(A), sqrt(B), the six comparisons both ways, -, fabs, signbit,
// isnan, isinf, isfinite, isnormal of each, on every encoding; the integer
// as every signed and unsigned width; SOFTEXTSCIENTIFIC against "%.*Le" and
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

#include "../unit/softextpair.hpp"

namespace {

using LD = long double;

[[noreturn]] void FINDING(const std::string& WHAT) {
  std::fprintf(stderr, "\n==== softext_fuzz finding: %s\n", WHAT.c_str());
  std::fflush(stderr);
  std::abort();
}

void SAME(const char* OP, TSOFTEXT S, LD H, const std::string& ARGS) {
  if (!SAMEBITS(S, H)) FINDING(std::string(OP) + " " + ARGS + ": " + HEX(S) + ", x87 " + HEX(SOFT(H)));
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
  if (SUNARY(A) != HUNARY(HA)) FINDING("-, fabs or classification " + HEX(A));
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
  LD H = 0;
  const bool HOK = LIBRARYREADS(F, H);
  if (OK != HOK)
    FINDING("\"" + F + "\" " + (OK ? "read" : "not read") + ", by the library " + (HOK ? "read" : "not read"));
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
