// softbench: nanoseconds per operation of the software extended type
// (core/unsoftext, unsoftdec) and of the hardware long double, on the same operands:
// dependent chains of each arithmetic operation over 4096 values, then
// comparisons, conversions and the decimal texts. A figure to compare
// builds by, not a test.
//
//   softbench [ROUNDS]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "unsoftdec.hpp"

namespace {

constexpr int NVAL = 4096;

// X counts as used here: the work that made it stays inside the timing.
template <typename T>
void KEEP(const T& X) {
  asm volatile("" : : "m"(X) : "memory");
}

template <typename F>
double NSPER(long OPS, F BODY) {
  const auto T0 = std::chrono::steady_clock::now();
  BODY();
  const auto T1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(T1 - T0).count() / static_cast<double>(OPS);
}

// Each operation over the values, in a chain: X = X op V[i], the running
// value kept in range by the values (near 1).
template <typename T>
struct TCHAINS {
  std::vector<T> V;
  T SINK{};
  double ADD(int R) { return RUN(R, [](T X, T Y) { return X + Y - Y; }, 2); }
  double MUL(int R) { return RUN(R, [](T X, T Y) { return X * Y; }, 1); }
  double DIV(int R) { return RUN(R, [](T X, T Y) { return X / Y; }, 1); }
  template <typename F>
  double RUN(int R, F OP, int PEROP) {
    T X = V[0];
    const double NS = NSPER(static_cast<long>(R) * NVAL * PEROP, [&] {
      for (int K = 0; K < R; ++K)
        for (int I = 0; I < NVAL; ++I) X = OP(X, V[static_cast<size_t>(I)]);
      KEEP(X);
    });
    SINK = X;
    return NS;
  }
};

}  // namespace

int main(int ARGC, char** ARGV) {
  const int R = ARGC > 1 ? std::atoi(ARGV[1]) : 500;
  std::mt19937_64 G(1);
  TCHAINS<long double> H;
  TCHAINS<TSOFTEXT> S;
  for (int I = 0; I < NVAL; ++I) {
    // Values in [0.999, 1.001): products and quotients stay near 1.
    const long double X = 1.0L + (static_cast<long double>(G() % 2000001) - 1000000.0L) * 1e-9L;
    H.V.push_back(X);
    TSOFTEXT Y{};
    std::memcpy(&Y, &X, 10);
    S.V.push_back(Y);
  }
  std::printf("%-22s %10s %10s %7s\n", "operation", "hardware", "software", "ratio");
  auto LINE = [](const char* WHAT, double HW, double SW) {
    std::printf("%-22s %8.2f ns %8.2f ns %7.1f\n", WHAT, HW, SW, SW / HW);
  };
  LINE("add (x + y - y)/2", H.ADD(R), S.ADD(R));
  LINE("multiply", H.MUL(R), S.MUL(R));
  LINE("divide", H.DIV(R), S.DIV(R));
  {
    long double HS = 0;
    TSOFTEXT SS{};
    const double HW = NSPER(static_cast<long>(R) * NVAL, [&] {
      for (int K = 0; K < R; ++K)
        for (int I = 0; I < NVAL; ++I) HS += std::sqrt(H.V[static_cast<size_t>(I)] + HS * 1e-30L);
      KEEP(HS);
    });
    const double SW = NSPER(static_cast<long>(R) * NVAL, [&] {
      for (int K = 0; K < R; ++K)
        for (int I = 0; I < NVAL; ++I) SS = SS + sqrt(S.V[static_cast<size_t>(I)] + SS * SOFTEXTOF("1e-30"));
      KEEP(SS);
    });
    LINE("sqrt (with add, mul)", HW, SW);
    H.SINK += HS;
    S.SINK = S.SINK + SS;
  }
  {
    long HC = 0, SC = 0;
    const double HW = NSPER(static_cast<long>(R) * NVAL, [&] {
      for (int K = 0; K < R; ++K)
        for (int I = 1; I < NVAL; ++I) HC += H.V[static_cast<size_t>(I)] < H.V[static_cast<size_t>(I - 1)];
      KEEP(HC);
    });
    const double SW = NSPER(static_cast<long>(R) * NVAL, [&] {
      for (int K = 0; K < R; ++K)
        for (int I = 1; I < NVAL; ++I) SC += S.V[static_cast<size_t>(I)] < S.V[static_cast<size_t>(I - 1)];
      KEEP(SC);
    });
    LINE("compare", HW, SW);
    if (HC != SC) std::printf("comparisons differ\n");
  }
  {
    long double HS = 0;
    TSOFTEXT SS{};
    const double HW = NSPER(static_cast<long>(R) * NVAL, [&] {
      for (int K = 0; K < R; ++K)
        for (int I = 0; I < NVAL; ++I) HS += static_cast<long double>(static_cast<int8_t>(I + K));
      KEEP(HS);
    });
    const double SW = NSPER(static_cast<long>(R) * NVAL, [&] {
      for (int K = 0; K < R; ++K)
        for (int I = 0; I < NVAL; ++I) SS = SS + TSOFTEXT(static_cast<int8_t>(I + K));
      KEEP(SS);
    });
    LINE("int8 to value, add", HW, SW);
  }
  // Decimal texts, fewer rounds.
  const int RT = R / 50 + 1;
  {
    char B[64];
    const double HW = NSPER(static_cast<long>(RT) * NVAL, [&] {
      for (int K = 0; K < RT; ++K)
        for (int I = 0; I < NVAL; ++I) std::snprintf(B, sizeof B, "%.16Le", H.V[static_cast<size_t>(I)] * 1e-7L);
    });
    size_t N = 0;
    const TSOFTEXT SCALE = SOFTEXTOF("1e-7");
    const double SW = NSPER(static_cast<long>(RT) * NVAL, [&] {
      for (int K = 0; K < RT; ++K)
        for (int I = 0; I < NVAL; ++I) N += SOFTEXTSCIENTIFIC(S.V[static_cast<size_t>(I)] * SCALE, 16).size();
    });
    LINE("text %.16Le", HW, SW);
  }
  {
    std::vector<std::string> T;
    for (int I = 0; I < NVAL; ++I) {
      char B[64];
      std::snprintf(B, sizeof B, "%.16Le", H.V[static_cast<size_t>(I)] * 1e-7L);
      T.push_back(B);
    }
    long double HS = 0;
    TSOFTEXT SS{}, X{};
    const double HW = NSPER(static_cast<long>(RT) * NVAL, [&] {
      for (int K = 0; K < RT; ++K)
        for (const std::string& F : T) HS += std::strtold(F.c_str(), nullptr);
    });
    const double SW = NSPER(static_cast<long>(RT) * NVAL, [&] {
      for (int K = 0; K < RT; ++K)
        for (const std::string& F : T) {
          SOFTEXTREAD(F, X);
          SS = SS + X;
        }
    });
    LINE("read 17 digits", HW, SW);
  }
  std::printf("(sinks %Lg %s)\n", H.SINK, SOFTEXTSCIENTIFIC(S.SINK, 3).c_str());
}
