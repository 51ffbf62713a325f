// termcuts against the programs themselves: at each threshold of its list,
// its counts are the count tables of runs at that threshold, pair by pair,
// with other cuts too; its dropped sums are the sums of the estimate
// column of a run at threshold 0 over the terms the threshold drops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "harness.hpp"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr const char* SCALE = "small";
#else
constexpr const char* SCALE = "medium";
#endif

// The counts of a count table, [I][J].
std::vector<std::vector<long>> COUNTTABLE(const std::string& TEXT) {
  std::vector<std::vector<long>> Z(9, std::vector<long>(9, 0));
  const std::vector<std::string> L = SPLITLINES(TEXT);
  for (int I = 1; I <= 8; ++I) {
    std::istringstream IN(L.at(static_cast<size_t>(I)));
    long X;
    IN >> X;
    for (int J = 1; J <= 8; ++J) IN >> Z[I][J];
  }
  return Z;
}

// termcuts' lines: [program][I][J][threshold text] -> (kept, dropped).
struct TCELL {
  long KEPT;
  long double DROPPED;
};
using TCUTS = std::map<std::string, std::map<std::string, TCELL>>;

TCUTS READCUTS(const std::string& TEXT) {
  TCUTS R;
  for (const std::string& L : SPLITLINES(TEXT)) {
    if (L.empty() || L[0] == '#') continue;
    std::istringstream IN(L);
    std::string P, T, D;
    int I, J;
    long K;
    IN >> P >> I >> J >> T >> K >> D;
    R[P][FMT("%d %d ", I, J) + T] = TCELL{K, D == "-" ? 0.0L : std::strtold(D.c_str(), nullptr)};
  }
  return R;
}

// The estimates of the rows of blocks 2..27 of a per-pair file written
// with --estimates: the last field of each row line.
void ESTIMATES(const std::string& TEXT, std::vector<long double>& OUT) {
  int BLOCK = 0;
  for (const std::string& L : SPLITLINES(TEXT)) {
    if (L.find("before terms number") != std::string::npos) ++BLOCK;
    if (BLOCK < 2 || L.size() < 84 || L.find("terms number") != std::string::npos) continue;
    OUT.push_back(std::strtold(L.substr(L.find_last_of(' ') + 1).c_str(), nullptr));
  }
}

TEST(Termcuts, AgreesWithTheCountTablesAndTheEstimates) {
  TSCRATCH S, O;
  ASSERT_EQ(RUN(S.PATH(), TOOL("seriesgen") + " --scale " + SCALE + " --seed 3 .").STATUS, 0);
  const std::string CUTS = " --period-cut 300 --max-order 6 --order-bound 12";
  const std::vector<std::string> THRESHOLDS = {"1e-10", "1e-14", "1.0E-16", "3e-19"};
  std::string LIST;
  for (const std::string& T : THRESHOLDS) LIST += (LIST.empty() ? "" : ",") + T;
  const TRUN C = RUN(S.PATH(), PROGRAM("termcuts") + " --thresholds " + LIST + CUTS);
  ASSERT_EQ(C.STATUS, 0) << C.ERR;
  const TCUTS TABLE = READCUTS(C.OUT);
  // Each program's own options of those cuts.
  const std::map<std::string, std::string> OWN = {{"termshort", " --period-cut 300 --max-order 6"},
                                                  {"termsecul", " --period-cut 300"},
                                                  {"termall", " --order-bound 12"}};
  for (const char* P : TERMPROGRAMS()) {
    const bool TESTED = std::string(P) != "termsecul";
    for (const std::string& T : TESTED ? THRESHOLDS : std::vector<std::string>{"-"}) {
      SCOPED_TRACE(std::string(P) + " " + T);
      const std::string RUNS = PROGRAM(P) + " --quiet --series . --output " + O.PATH() + OWN.at(P) +
                               (TESTED ? " --threshold " + T : "");
      ASSERT_EQ(RUN(S.PATH(), RUNS).STATUS, 0);
      const auto Z = COUNTTABLE(READFILE(O.FILE(PROGRAMNAMED(P).TABLENAME)));
      for (int I = 1; I <= 8; ++I)
        for (int J = 1; J <= 8; ++J)
          if (I != J) {
            EXPECT_EQ(TABLE.at(P).at(FMT("%d %d ", I, J) + T).KEPT, Z[I][J]) << I << " " << J;
          }
    }
    if (!TESTED) continue;
    // The estimates of every term of files 2..27 that passes threshold 0;
    // those the threshold drops are the smallest of them, as many as the
    // counts fall short of the run at 0.
    ASSERT_EQ(RUN(S.PATH(), PROGRAM(P) + " --quiet --series . --output " + O.PATH() + OWN.at(P) +
                                " --threshold 0 --estimates")
                  .STATUS,
              0);
    const auto Z0 = COUNTTABLE(READFILE(O.FILE(PROGRAMNAMED(P).TABLENAME)));
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J) {
        if (I == J) continue;
        std::vector<long double> E;
        ESTIMATES(READFILE(O.FILE(FMT("%s%02d%02d.txt", PROGRAMNAMED(P).PREFIX, I, J))), E);
        std::sort(E.begin(), E.end());
        for (const std::string& T : THRESHOLDS) {
          const TCELL& X = TABLE.at(P).at(FMT("%d %d ", I, J) + T);
          const long DROPS = Z0[I][J] - X.KEPT;
          ASSERT_LE(DROPS, static_cast<long>(E.size()));
          long double SUM = 0;
          for (long K = 0; K < DROPS; ++K) SUM += E[static_cast<size_t>(K)];
          EXPECT_LE(std::abs(SUM - X.DROPPED), 1e-12L * SUM) << P << " " << I << " " << J << " " << T;
        }
      }
  }
}

}  // namespace
