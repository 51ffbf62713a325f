// The series files are parsed ahead of need by helper threads; that must
// never change the outcome of a run. Under the descriptor limit that a
// program doing all its work itself needs (three standard streams, one
// series file, one output file), every run completes as a good run does;
// with one descriptor less, every run stops where such a program stops.
// Under an address-space limit, every run on a folder whose puf03.txt ends
// in a bad term stops with the same report and leaves the same files: the
// bad term's report, or "Out of memory" no later than in that file. Every
// case runs 8 times.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

constexpr int RUNS = 8;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif

// What a run leaves: its status, its console and every file it wrote.
struct TOUTCOME {
  int STATUS = -1;
  std::string OUT;
  std::map<std::string, std::string> FILES;
  bool operator==(const TOUTCOME&) const = default;
};

std::string LASTLINE(const std::string& OUT) {
  const std::vector<std::string> L = SPLITLINES(OUT);
  return L.empty() ? std::string() : L.back();
}

bool CONTAINS(const std::string& S, const std::string& T) { return S.find(T) != std::string::npos; }

// PROG run after SHELL (limits) in a folder holding links to the series
// files of SERIES.
TOUTCOME RUNON(const std::string& SERIES, const std::string& SHELL, const std::string& PROG) {
  TSCRATCH D;
  for (const std::string& N : LISTDIR(SERIES)) fs::create_symlink(SERIES + "/" + N, D.FILE(N));
  const TRUN R = RUN(D.PATH(), SHELL + PROGRAM(PROG));
  TOUTCOME O{R.STATUS, R.OUT, {}};
  for (const std::string& N : LISTDIR(D.PATH()))
    if (N.rfind("puf", 0) != 0) O.FILES[N] = READFILE(D.FILE(N));
  // Standard error: nothing, or the fatal report once more.
  EXPECT_TRUE(R.ERR.empty() || R.ERR == LASTLINE(R.OUT) + "\r\n") << R.ERR;
  return O;
}

// The series of seriesgen at SCALE, made once.
std::string GENERATED(const std::string& SCALE) {
  static std::map<std::string, std::unique_ptr<TSCRATCH>> MADE;
  auto& D = MADE[SCALE];
  if (!D) {
    D = std::make_unique<TSCRATCH>();
    const TRUN R = RUN(D->PATH(), TOOL("seriesgen") + " --scale " + SCALE + " .");
    if (R.STATUS != 0) throw std::runtime_error("seriesgen failed: " + R.OUT + R.ERR);
  }
  return D->PATH();
}

}  // namespace

TEST(WorkAhead, DescriptorLimitsGiveTheSameOutcomeEveryTime) {
  struct TCASE {
    const char* PROG;
    std::string SERIES;
  };
  for (const TCASE& C : {TCASE{"termsecul", GENERATED("medium")}, TCASE{"termshort", DATADIR() + "/tiny/series"},
                         TCASE{"termall", DATADIR() + "/tiny/series"}}) {
    SCOPED_TRACE(C.PROG);
    const TOUTCOME GOOD = RUNON(C.SERIES, "", C.PROG);
    ASSERT_EQ(GOOD.STATUS, 0) << LASTLINE(GOOD.OUT);
    for (int K = 1; K <= RUNS; ++K) {
      const TOUTCOME R = RUNON(C.SERIES, "ulimit -n 5; ", C.PROG);
      EXPECT_EQ(R.STATUS, 0) << "run " << K << ": " << LASTLINE(R.OUT);
      EXPECT_TRUE(R == GOOD) << "run " << K << " differs from the run without a limit";
    }
    // Four: the first output file leaves no room for puf01.txt. (The
    // sanitizers' runtime wants two descriptors of its own for a pipe, at
    // the start.)
    if (SANITIZED) continue;
    const std::vector<std::string> HEAD = {SPLITLINES(GOOD.OUT).at(0), SPLITLINES(GOOD.OUT).at(1)};
    for (int K = 1; K <= RUNS; ++K) {
      const TOUTCOME R = RUNON(C.SERIES, "ulimit -n 4; ", C.PROG);
      EXPECT_EQ(R.STATUS, 217) << "run " << K;
      const std::vector<std::string> L = SPLITLINES(R.OUT);
      ASSERT_EQ(L.size(), 3u) << "run " << K << ":\n" << R.OUT;
      EXPECT_EQ(std::vector<std::string>(L.begin(), L.begin() + 2), HEAD) << "run " << K;
      EXPECT_TRUE(CONTAINS(L[2], ": Too many open files: cannot open puf01.txt (pair 1-2, puf01.txt)"))
          << "run " << K << ": " << L[2];
      EXPECT_EQ(R.FILES.size(), 1u) << "run " << K;
    }
  }
}

TEST(WorkAhead, AddressSpaceLimitsGiveTheSameFailureEveryTime) {
  if (SANITIZED) GTEST_SKIP() << "AddressSanitizer reserves more address space than ulimit -v allows";
  if (EMULATED()) GTEST_SKIP() << "the emulator reserves more address space than ulimit -v allows";
  // The medium sample with the code letter of the last term of puf03.txt
  // spoilt.
  TSCRATCH S;
  for (const std::string& N : LISTDIR(GENERATED("medium"))) fs::copy_file(GENERATED("medium") + "/" + N, S.FILE(N));
  std::string P3 = READFILE(S.FILE("puf03.txt"));
  const size_t CODE = P3.size() - 3;
  ASSERT_TRUE(P3[CODE] == 'S' || P3[CODE] == 'C') << P3.substr(P3.size() - 80);
  P3[CODE] = 'X';
  WRITEFILE(S.FILE("puf03.txt"), P3);
  auto LIMITED = [&](long KB) { return RUNON(S.PATH(), "ulimit -v " + std::to_string(KB) + "; ", "termsecul"); };
  auto BADTERM = [](const TOUTCOME& O) {
    return O.STATUS == 217 && CONTAINS(LASTLINE(O.OUT), "Invalid term code") &&
           CONTAINS(LASTLINE(O.OUT), "puf03.txt");
  };

  // About the least address space in which the bad term is met.
  long LO = 10000, HI = 400000;
  ASSERT_TRUE(BADTERM(LIMITED(HI))) << LASTLINE(LIMITED(HI).OUT);
  while (HI - LO > 250) {
    const long MID = (LO + HI) / 2;
    (BADTERM(LIMITED(MID)) ? HI : LO) = MID;
  }
  for (const long KB : {HI - 2000, HI - 1000, HI - 500, HI - 250, HI, HI + 250, HI + 500, HI + 1000, HI + 2000,
                        HI + 8000, HI + 30000, HI + 100000}) {
    SCOPED_TRACE("ulimit -v " + std::to_string(KB));
    const TOUTCOME FIRST = LIMITED(KB);
    const std::string REPORT = LASTLINE(FIRST.OUT);
    EXPECT_EQ(FIRST.STATUS, 217) << REPORT;
    if (!BADTERM(FIRST)) {
      EXPECT_TRUE(CONTAINS(REPORT, "Out of memory")) << REPORT;
      for (const char* LATER : {"puf04.txt", "puf05.txt", "pair 1-3"}) EXPECT_FALSE(CONTAINS(REPORT, LATER)) << REPORT;
    }
    if (KB >= HI + 8000) {
      EXPECT_TRUE(BADTERM(FIRST)) << REPORT;
    }
    for (int K = 2; K <= RUNS; ++K) {
      const TOUTCOME R = LIMITED(KB);
      EXPECT_TRUE(R == FIRST) << "run " << K << ": " << LASTLINE(R.OUT) << "\nrun 1: " << REPORT;
    }
  }
}
