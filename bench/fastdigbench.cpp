// fastdigbench: nanoseconds per value of the magnitude text, the exact way
// (AMPDIGITS) against the fast one (FASTAMPDIGITS, core/unfastdig), on the
// same random values: over the amplitudes' range (about 1e-66 to 1e12) and
// over the whole normal range; the share the fast way leaves to the exact
// one. Measures the build's extended type, hardware or software. A figure
// to compare builds by, not a test.
//
//   fastdigbench [ROUNDS]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "unalltyp.hpp"
#include "unfastdig.hpp"
#include "unforstr.hpp"

namespace {

constexpr int NVAL = 4096;

#if PAIRTERMS_SOFT_EXTENDED
constexpr const char* TYPENAME = "software";
#else
constexpr const char* TYPENAME = "hardware";
#endif

template <typename T>
void KEEP(const T& X) {
  asm volatile("" : : "m"(X) : "memory");
}

// Hundredths of a nanosecond per value of BODY over ROUNDS rounds of V.
template <typename F>
long long CENTINS(const std::vector<TEXTENDED>& V, int ROUNDS, F BODY) {
  char OUT[32];
  long long LEN = 0;
  const auto T0 = std::chrono::steady_clock::now();
  for (int R = 0; R < ROUNDS; ++R)
    for (const TEXTENDED& X : V) {
      LEN += BODY(X, OUT);
      KEEP(OUT);
    }
  const auto T1 = std::chrono::steady_clock::now();
  KEEP(LEN);
  const long long NS = std::chrono::duration_cast<std::chrono::nanoseconds>(T1 - T0).count();
  return NS * 100 / (static_cast<long long>(ROUNDS) * static_cast<long long>(V.size()));
}

TEXTENDED OFBITS(uint64_t M, int EXPFIELD) {
  unsigned char B[sizeof(TEXTENDED)] = {};
  std::memcpy(B, &M, 8);
  B[8] = static_cast<unsigned char>(EXPFIELD & 0xFF);
  B[9] = static_cast<unsigned char>(EXPFIELD >> 8);
  TEXTENDED X;
  std::memcpy(&X, B, sizeof X);
  return X;
}

void LINE(const char* WHAT, const std::vector<TEXTENDED>& V, int ROUNDS) {
  // The texts first, each way: the same bytes, and how many the fast way
  // leaves.
  long LEFT = 0, DIFFER = 0;
  for (const TEXTENDED& X : V) {
    char A[32], B[32];
    const int NA = AMPDIGITS(EXTABS(X), A), NB = FASTAMPDIGITS(X, B);
    DIFFER += NA != NB || std::memcmp(A, B, static_cast<size_t>(NA)) != 0;
    LEFT += FASTAMPTRY(X, B) == 0;
  }
  const long long EXACT = CENTINS(V, ROUNDS / 20 + 1, [](TEXTENDED X, char* OUT) { return AMPDIGITS(EXTABS(X), OUT); });
  const long long FAST = CENTINS(V, ROUNDS, [](TEXTENDED X, char* OUT) { return FASTAMPDIGITS(X, OUT); });
  std::printf("%-26s %7lld.%02lld ns %7lld.%02lld ns %7lld %7ld/%zu%s\n", WHAT, EXACT / 100, EXACT % 100, FAST / 100,
              FAST % 100, FAST > 0 ? EXACT / FAST : 0, LEFT, V.size(), DIFFER != 0 ? "  TEXTS DIFFER" : "");
}

}  // namespace

int main(int ARGC, char** ARGV) {
  const int ROUNDS = ARGC > 1 ? std::atoi(ARGV[1]) : 1000;
  std::mt19937_64 G(1);
  std::vector<TEXTENDED> AMPS, WHOLE;
  for (int I = 0; I < NVAL; ++I) {
    AMPS.push_back(OFBITS(G() | uint64_t{1} << 63, 16383 - 220 + static_cast<int>(G() % 261)));
    WHOLE.push_back(OFBITS(G() | uint64_t{1} << 63, 1 + static_cast<int>(G() % 0x7FFE)));
  }
  std::printf("%s extended type, %d values, %d rounds (the exact way %d)\n",
              TYPENAME, NVAL, ROUNDS, ROUNDS / 20 + 1);
  std::printf("%-26s %10s %10s %7s %12s\n", "values", "AMPDIGITS", "fast", "ratio", "left");
  LINE("amplitudes (1e-66..1e12)", AMPS, ROUNDS);
  LINE("whole normal range", WHOLE, ROUNDS);
}
