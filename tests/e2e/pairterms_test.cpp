// pairterms run against the programs alone, every byte, with and without
// cuts; a run that fails, is killed or stopped at any moment leaves the
// earlier folder as it was; two runs at once never interleave; pairterms
// verify finds a changed byte, a missing file, an extra file and changed
// series; bad command lines are refused before anything is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

using TTREE = std::map<std::string, std::string>;

bool CONTAINS(const std::string& S, const std::string& T) { return S.find(T) != std::string::npos; }

// Every file under DIR, by its path below DIR.
TTREE TREE(const std::string& DIR) {
  TTREE T;
  if (!fs::exists(DIR)) return T;
  for (const fs::directory_entry& E : fs::recursive_directory_iterator(DIR))
    if (E.is_regular_file()) T[fs::relative(E.path(), DIR).string()] = READFILE(E.path().string());
  return T;
}

std::string MADESERIES(const std::string& SCALE, int SEED, const std::string& DIR) {
  EXPECT_EQ(RUN(DIR, TOOL("seriesgen") + " --scale " + SCALE + FMT(" --seed %d . > /dev/null", SEED)).STATUS, 0);
  return DIR;
}

// What the programs alone write with ARGS (the cuts each has) from SERIES:
// PROGRAM/NAME, console.txt included.
TTREE ALONE(const std::string& SERIES, const std::map<std::string, std::string>& ARGS) {
  TSCRATCH O;
  for (const char* P : TERMPROGRAMS()) {
    const std::string OUT = O.FILE(P);
    const TRUN R = RUN(O.PATH(), PROGRAM(P) + " --series " + SERIES + " --output " + OUT +
                                     (ARGS.count(P) ? ARGS.at(P) : "") + " > " + P + ".console");
    fs::rename(O.FILE(std::string(P) + ".console"), OUT + "/console.txt");
  }
  return TREE(O.PATH());
}

// A run's folder without its MANIFEST.
TTREE TABLES(const std::string& DIR) {
  TTREE T = TREE(DIR);
  T.erase("MANIFEST");
  return T;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr const char* SCALE = "tiny";
#else
constexpr const char* SCALE = "small";
#endif

// pairterms is left out of a build without libcrypto for its target.
#define NEEDPAIRTERMS()                                                 \
  if (!EXISTS(std::string(PAIRTERMS_BIN_DIR) + "/pairterms")) {         \
    GTEST_SKIP() << "pairterms is not built here (no libcrypto for the target)"; \
  }

TEST(PairtermsRun, TheProgramsAloneEveryByte) {
  NEEDPAIRTERMS();
  TSCRATCH S, W;
  MADESERIES(SCALE, 21, S.PATH());
  struct TCASE {
    std::string RUNARGS;
    std::map<std::string, std::string> ALONEARGS;
  };
  const TCASE CASES[] = {
      {"", {}},
      {" --threshold 1e-12 --period-cut 150 --estimates",
       {{"termshort", " --threshold 1e-12 --period-cut 150 --estimates"},
        {"termsecul", " --period-cut 150"},
        {"termall", " --threshold 1e-12 --estimates"}}},
      {" --max-order 12 --order-bound 3", {{"termshort", " --max-order 12"}, {"termall", " --order-bound 3"}}},
  };
  for (const TCASE& C : CASES) {
    SCOPED_TRACE(C.RUNARGS);
    const TRUN R = RUN(W.PATH(), PROGRAM("pairterms") + " run --series " + S.PATH() + " --output out" + C.RUNARGS);
    ASSERT_EQ(R.STATUS, 0) << R.ERR;
    EXPECT_EQ(R.ERR, "");  // no progress line where standard error is no terminal
    EXPECT_TRUE(TABLES(W.FILE("out")) == ALONE(S.PATH(), C.ALONEARGS));
    EXPECT_EQ(RUN(W.PATH(), PROGRAM("pairterms") + " verify out").STATUS, 0);
    // Nothing beside the folder, which has the mode mkdir gives.
    EXPECT_EQ(LISTDIR(W.PATH()), std::vector<std::string>{"out"});
    const mode_t MASK = ::umask(0);
    ::umask(MASK);
    EXPECT_EQ(fs::status(W.FILE("out")).permissions(), static_cast<fs::perms>(0777 & ~MASK));
  }
  // The conformance sets, the damaged ones too: what each program leaves.
  for (const char* SET : {"tiny", "err-code", "err-truncated"}) {
    SCOPED_TRACE(SET);
    const std::string SERIES = DATADIR() + "/" + SET + "/series";
    TSCRATCH D;
    const TRUN R = RUN(D.PATH(), PROGRAM("pairterms") + " run --series " + SERIES + " --output out");
    const TTREE WANT = ALONE(SERIES, {});
    const bool FAILS = std::string(SET) != "tiny";
    EXPECT_EQ(R.STATUS, FAILS ? 217 : 0) << R.ERR;
    TTREE GOT = TABLES(D.FILE(FAILS ? "out.failed" : "out"));
    GOT.erase("REPORT");
    EXPECT_TRUE(GOT == WANT);
    if (FAILS) {
      EXPECT_FALSE(EXISTS(D.FILE("out")));
    }
  }
}

// A damaged series file that stops termshort and termall but not
// termsecul, a run stopped by SIGTERM and runs killed at random moments:
// the earlier folder stays as it was, byte for byte, or is the new one
// whole.
TEST(PairtermsRun, TheEarlierFolderOrTheNewOneNeverAMix) {
  NEEDPAIRTERMS();
  TSCRATCH A, B, W;
  MADESERIES("tiny", 22, A.PATH());
  MADESERIES(SCALE, 23, B.PATH());
  const std::string RUNS = PROGRAM("pairterms") + " run --output out --series ";
  ASSERT_EQ(RUN(W.PATH(), RUNS + A.PATH()).STATUS, 0);
  const TTREE OLD = TREE(W.FILE("out"));
  ASSERT_EQ(RUN(W.PATH(), PROGRAM("pairterms") + " run --output new --series " + B.PATH()).STATUS, 0);
  const TTREE NEW = TABLES(W.FILE("new"));
  fs::remove_all(W.FILE("new"));

  // Damaged: an axis exponent of 31 in file 2.
  TSCRATCH D;
  for (const std::string& N : LISTDIR(A.PATH())) fs::copy_file(A.FILE(N), D.FILE(N));
  std::vector<std::string> LINES = SPLITLINES(READFILE(D.FILE("puf02.txt")));
  LINES.at(3) = TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 31, 0}, {1, 0, 0, 0, 0, 0}, 'C');
  std::string P2;
  for (const std::string& L : LINES) P2 += L + "\r\n";
  WRITEFILE(D.FILE("puf02.txt"), P2);
  const TRUN F = RUN(W.PATH(), RUNS + D.PATH());
  EXPECT_EQ(F.STATUS, 217) << F.ERR;
  EXPECT_TRUE(TREE(W.FILE("out")) == OLD);
  EXPECT_TRUE(EXISTS(W.FILE("out.failed/REPORT")));
  EXPECT_TRUE(TABLES(W.FILE("out.failed")).count("termsecul/rocotabl.txt"));

  std::mt19937 RANDOM(24);
  int KILLED = 0, STOPPED = 0;
  for (int K = 0; K < 16; ++K) {
    SCOPED_TRACE(K);
    const bool TERM = K % 4 == 3;
    const int NUL = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const TCHILD C = STARTSHELL(W.PATH(), "exec " + RUNS + B.PATH(), NUL, W.FILE("err"));
    ::close(NUL);
    std::this_thread::sleep_for(std::chrono::microseconds(RANDOM() % 150000));
    ::kill(C.PID, TERM ? SIGTERM : SIGKILL);
    const int STATUS = C.STATUS();
    const TTREE NOW = TREE(W.FILE("out"));
    // A run stopped by SIGTERM leaves the old folder; one killed after the
    // exchange, while the old folder is being removed, the new one.
    const bool ISNEW = TABLES(W.FILE("out")) == NEW;
    if (STATUS == 0 || (!TERM && ISNEW)) {
      EXPECT_TRUE(ISNEW);
    } else {
      EXPECT_TRUE(NOW == OLD) << STATUS;
      (TERM ? STOPPED : KILLED) += 1;
      if (TERM) {
        EXPECT_EQ(STATUS, 143);
      }
    }
    // Back to the old folder for the next round; what a killed run left
    // beside it goes with the next run.
    if (ISNEW) {
      ASSERT_EQ(RUN(W.PATH(), RUNS + A.PATH()).STATUS, 0);
    }
    for (const std::string& N : LISTDIR(W.PATH()))
      if (N != "out" && N.find("pairterms-new") == std::string::npos) fs::remove_all(W.FILE(N));
  }
  EXPECT_GT(KILLED + STOPPED, 0);
  ASSERT_EQ(RUN(W.PATH(), RUNS + B.PATH()).STATUS, 0);
  for (const std::string& N : LISTDIR(W.PATH())) EXPECT_EQ(N.find("pairterms-new"), std::string::npos) << N;
  EXPECT_TRUE(TABLES(W.FILE("out")) == NEW);
}

// Two runs into one folder at once: one is refused, and the folder is the
// other's, whole.
TEST(PairtermsRun, TwoRunsAtOnce) {
  NEEDPAIRTERMS();
  TSCRATCH A, B, W;
  MADESERIES("tiny", 25, A.PATH());
  MADESERIES("tiny", 26, B.PATH());
  int REFUSED = 0;
  for (int K = 0; K < 6; ++K) {
    const int NUL = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const std::string RUNS = "exec " + PROGRAM("pairterms") + " run --output out --series ";
    const TCHILD C1 = STARTSHELL(W.PATH(), RUNS + A.PATH(), NUL, W.FILE("e1"));
    const TCHILD C2 = STARTSHELL(W.PATH(), RUNS + B.PATH(), NUL, W.FILE("e2"));
    ::close(NUL);
    const int S1 = C1.STATUS(), S2 = C2.STATUS();
    EXPECT_TRUE((S1 == 0 || S1 == 2) && (S2 == 0 || S2 == 2) && S1 + S2 < 4) << S1 << S2;
    REFUSED += (S1 == 2) + (S2 == 2);
    EXPECT_EQ(RUN(W.PATH(), PROGRAM("pairterms") + " verify out").STATUS, 0);
  }
  EXPECT_GT(REFUSED, 0);
}

TEST(PairtermsVerify, NamesEveryDifference) {
  NEEDPAIRTERMS();
  TSCRATCH S, W;
  MADESERIES("tiny", 27, S.PATH());
  ASSERT_EQ(RUN(W.PATH(), PROGRAM("pairterms") + " run --series " + S.PATH() + " --output out").STATUS, 0);
  std::string T = READFILE(W.FILE("out/termall/robo0305.txt"));
  T[T.size() / 2] ^= 1;
  WRITEFILE(W.FILE("out/termall/robo0305.txt"), T);
  fs::remove(W.FILE("out/termsecul/roco0708.txt"));
  WRITEFILE(W.FILE("out/termshort/notes.txt"), "x");
  const TRUN V = RUN(W.PATH(), PROGRAM("pairterms") + " verify out");
  EXPECT_EQ(V.STATUS, 1);
  EXPECT_TRUE(CONTAINS(V.OUT, "changed termall/robo0305.txt\r\n")) << V.OUT;
  EXPECT_TRUE(CONTAINS(V.OUT, "missing termsecul/roco0708.txt\r\n")) << V.OUT;
  EXPECT_TRUE(CONTAINS(V.OUT, "extra termshort/notes.txt\r\n")) << V.OUT;
  EXPECT_EQ(SPLITLINES(V.OUT).size(), 4u) << V.OUT;
  WRITEFILE(S.FILE("puf09.txt"), READFILE(S.FILE("puf09.txt")) + "\r\n");
  const TRUN C = RUN(W.PATH(), PROGRAM("pairterms") + " verify out");
  EXPECT_EQ(C.STATUS, 1);
  EXPECT_TRUE(CONTAINS(C.OUT, "changed series puf09.txt")) << C.OUT;
  EXPECT_TRUE(CONTAINS(C.OUT, "changed since the run")) << C.OUT;
}

TEST(PairtermsRun, BadCommandLinesWriteNothing) {
  NEEDPAIRTERMS();
  TSCRATCH S, W;
  MADESERIES("tiny", 28, S.PATH());
  WRITEFILE(W.FILE("afile"), "x");
  fs::create_directories(W.FILE("theirs"));
  WRITEFILE(W.FILE("theirs/data.txt"), "x");
  const std::string RUNS = PROGRAM("pairterms") + " run --series " + S.PATH();
  const std::string CASES[] = {
      PROGRAM("pairterms") + " frobnicate",
      RUNS + " --output out --colour",
      RUNS + " --output out --only short,nonsense",
      RUNS + " --output out --only all,all",
      RUNS + " --output out --only secul --threshold 1e-10",
      RUNS + " --output out --threshold abc",
      RUNS + " --output afile",
      RUNS + " --output theirs",
      PROGRAM("pairterms") + " run --series " + W.FILE("out/series") + " --output out",
      PROGRAM("pairterms") + " verify theirs",
  };
  fs::create_directories(W.FILE("out/series"));
  for (const std::string& N : LISTDIR(S.PATH())) fs::copy_file(S.FILE(N), W.FILE("out/series/" + N));
  const TTREE BEFORE = TREE(W.PATH());
  for (const std::string& C : CASES) {
    SCOPED_TRACE(C);
    const TRUN R = RUN(W.PATH(), C);
    EXPECT_EQ(R.STATUS, 2);
    EXPECT_EQ(SPLITLINES(R.ERR).size(), 1u) << R.ERR;
    EXPECT_TRUE(TREE(W.PATH()) == BEFORE);
    EXPECT_EQ(LISTDIR(W.PATH()), (std::vector<std::string>{"afile", "out", "theirs"}));
  }
}

}  // namespace

namespace {

// A disk that fills during the run (a small tmpfs, where this process may
// mount one): the earlier folder stays as it was.
TEST(PairtermsRun, AFullDiskLeavesTheEarlierFolder) {
  NEEDPAIRTERMS();
  TSCRATCH S, B, M;
  MADESERIES("tiny", 29, S.PATH());
  MADESERIES(SCALE, 30, B.PATH());
  if (RUN(M.PATH(), "mount -t tmpfs -o size=600k tmpfs . 2>/dev/null").STATUS != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here";
  const std::string RUNS = PROGRAM("pairterms") + " run --output " + M.FILE("out") + " --series ";
  const TRUN GOOD = RUN(S.PATH(), RUNS + S.PATH() + " --only secul");
  EXPECT_EQ(GOOD.STATUS, 0) << GOOD.ERR;
  const TTREE OLD = TREE(M.FILE("out"));
  const TRUN FULL = RUN(S.PATH(), RUNS + B.PATH());
  EXPECT_EQ(FULL.STATUS, 217) << FULL.ERR;
  EXPECT_TRUE(CONTAINS(FULL.ERR, "No space left on device")) << FULL.ERR;
  EXPECT_TRUE(TREE(M.FILE("out")) == OLD);
  RUN(S.PATH(), "umount " + M.PATH());
}

}  // namespace
