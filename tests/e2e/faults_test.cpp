// Faults from outside the programs, run for real: output files that cannot
// be created or grow past the file size limit, storage that cannot be
// obtained, series files that are folders, FIFOs, devices or followed by a
// mass of text, a closed or broken console, and the boundary sizes of the
// row tables. Each run is checked for its exit status, its report and the
// files it leaves: the files closed before the failure as a good run wrote
// them, the open one a prefix of its good self, none after it, the count
// table with the planets completed before. The series files are never
// written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------
// The programs and the files they write.

struct TPROG {
  const char* NAME;
  const char* PREFIX;
  const char* TABLE;
};
const TPROG SECUL{"termsecul", "roco", "rocotabl.txt"};
const TPROG ALL{"termall", "robo", "robotabl.txt"};

std::string TWO(int N) {
  char B[8];
  std::snprintf(B, sizeof B, "%02d", N);
  return B;
}

std::string PAIRNAME(const TPROG& P, int I, int J) { return P.PREFIX + TWO(I) + TWO(J) + ".txt"; }
std::string SERIESNAME(int N) { return "puf" + TWO(N) + ".txt"; }

std::vector<std::string> SERIESNAMES() {
  std::vector<std::string> N;
  for (int K = 1; K <= 27; ++K) N.push_back(SERIESNAME(K));
  return N;
}

const char* const IOTEXTS[] = {"File not found",   "Path not found",         "File access denied",
                               "Disk read error",  "Disk write error",       "Invalid numeric format",
                               "Read past end of file", "Invalid term code"};

bool HASIOTEXT(const std::string& S) {
  for (const char* T : IOTEXTS)
    if (S.find(T) != std::string::npos) return true;
  return false;
}

bool CONTAINS(const std::string& S, const std::string& T) { return S.find(T) != std::string::npos; }

bool ISREGULAR(const std::string& PATH) {
  struct stat ST;
  return ::lstat(PATH.c_str(), &ST) == 0 && S_ISREG(ST.st_mode);
}

// The last line of a console output (the report after a fatal error).
std::string LASTLINE(const std::string& OUT) {
  std::vector<std::string> L = SPLITLINES(OUT);
  return L.empty() ? std::string() : L.back();
}

// A per-pair file is complete when it ends with its closing line: the
// pair's term count, I, J and the program's closing words.
bool ISCLOSED(const std::string& TEXT, int I, int J) {
  if (TEXT.size() < 2 || TEXT.compare(TEXT.size() - 2, 2, "\r\n") != 0) return false;
  std::istringstream S(LASTLINE(TEXT));
  long K = -1;
  int A = 0, B = 0;
  S >> K >> A >> B;
  std::string REST;
  std::getline(S, REST);
  return S.eof() && K >= 0 && A == I && B == J &&
         (REST == "      terms number" || REST == "      secular terms number" ||
          REST == "      short p. terms number");
}

// Copies the series files of FROM into TO.
void COPYSERIES(const std::string& FROM, const std::string& TO) {
  for (const std::string& N : SERIESNAMES()) fs::copy_file(FROM + "/" + N, TO + "/" + N);
}

// ---------------------------------------------------------------------------
// Good runs, made once per data set and program and kept for the whole
// test binary.

struct TGOOD {
  TSCRATCH DIR;
  TRUN R;
  std::map<std::string, std::string> FILES;  // every file written
};

// Folder of the series files of a data set: "tiny" (the conformance set)
// or "medium" (made by seriesgen once).
std::string DATASET(const std::string& SET) {
  if (SET == "tiny") return DATADIR() + "/tiny/series";
  static std::map<std::string, std::unique_ptr<TSCRATCH>> MADE;
  auto& D = MADE[SET];
  if (!D) {
    D = std::make_unique<TSCRATCH>();
    TRUN R = RUN(D->PATH(), TOOL("seriesgen") + " --scale " + SET + " .");
    if (R.STATUS != 0) throw std::runtime_error("seriesgen failed: " + R.OUT + R.ERR);
  }
  return D->PATH();
}

const TGOOD& GOOD(const std::string& SET, const TPROG& P) {
  static std::map<std::string, std::unique_ptr<TGOOD>> RUNS;
  auto& G = RUNS[SET + "/" + P.NAME];
  if (!G) {
    auto N = std::make_unique<TGOOD>();
    COPYSERIES(DATASET(SET), N->DIR.PATH());
    N->R = RUN(N->DIR.PATH(), PROGRAM(P.NAME));
    if (N->R.STATUS != 0)
      throw std::runtime_error(std::string("good run of ") + P.NAME + " failed: " + N->R.OUT);
    for (const std::string& F : LISTDIR(N->DIR.PATH()))
      if (F.rfind("puf", 0) != 0) N->FILES[F] = READFILE(N->DIR.FILE(F));
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J)
        if (I != J && !ISCLOSED(N->FILES[PAIRNAME(P, I, J)], I, J))
          throw std::runtime_error("good run left " + PAIRNAME(P, I, J) + " without its closing line");
    G = std::move(N);
  }
  return *G;
}

// The count table as it stands after the planets 1..DONE: the rows of the
// later planets hold zeros (each number replaced in its own columns).
std::string TABLEAFTER(const std::string& FULL, int DONE) {
  std::vector<std::string> L = SPLITLINES(FULL);
  std::string T;
  for (size_t R = 0; R < L.size(); ++R) {
    std::string S = L[R];
    if (R > static_cast<size_t>(DONE)) {
      size_t P = S.find_first_not_of(' ');
      P = S.find(' ', P);  // past the planet number
      while (P != std::string::npos && P < S.size()) {
        size_t B = S.find_first_not_of(' ', P);
        if (B == std::string::npos) break;
        size_t E = S.find(' ', B);
        if (E == std::string::npos) E = S.size();
        for (size_t X = B; X < E; ++X) S[X] = X + 1 == E ? '0' : ' ';
        P = E;
      }
    }
    T += S + "\r\n";
  }
  return T;
}

// What a run writes, in order: the per-pair files of each perturbed
// planet, then the count table as it stands after that planet.
std::vector<std::pair<std::string, std::string>> EVENTS(const TPROG& P, const TGOOD& G) {
  std::vector<std::pair<std::string, std::string>> E;
  for (int I = 1; I <= 8; ++I) {
    for (int J = 1; J <= 8; ++J)
      if (J != I) E.emplace_back(PAIRNAME(P, I, J), G.FILES.at(PAIRNAME(P, I, J)));
    E.emplace_back(P.TABLE, TABLEAFTER(G.FILES.at(P.TABLE), I));
  }
  return E;
}

size_t EVENTINDEX(const TPROG& P, const TGOOD& G, const std::string& NAME) {
  auto E = EVENTS(P, G);
  for (size_t K = 0; K < E.size(); ++K)
    if (E[K].first == NAME) return K;
  throw std::runtime_error("no event " + NAME);
}

// Checks the files a run left in DIR against the good run and returns the
// index of the event at which the run stopped (EVENTS().size() for a
// complete run): every file written before it is as the good run wrote it,
// the one it stopped in is a prefix of its good self (or missing), no later
// one exists, the count table holds the planets completed before, nothing
// else was created. Names in SKIP are the test's own obstacles.
size_t CHECKSTATE(const std::string& DIR, const TPROG& P, const TGOOD& G,
                  const std::set<std::string>& SKIP = {}) {
  const auto EV = EVENTS(P, G);
  std::set<std::string> KNOWN(SKIP);
  for (const std::string& N : SERIESNAMES()) KNOWN.insert(N);
  for (const auto& E : EV) KNOWN.insert(E.first);
  for (const std::string& N : LISTDIR(DIR)) EXPECT_TRUE(KNOWN.count(N)) << "unexpected file " << N;

  auto HAS = [&](const std::string& N) { return ISREGULAR(DIR + "/" + N); };
  auto TEXT = [&](const std::string& N) { return READFILE(DIR + "/" + N); };

  size_t K = 0;
  for (; K < EV.size(); ++K) {
    const auto& [NAME, WANT] = EV[K];
    if (NAME == P.TABLE) {
      // The table was written out when the next pair's file exists.
      if (K + 1 < EV.size() ? HAS(EV[K + 1].first) : (HAS(NAME) && TEXT(NAME) == WANT)) continue;
      break;
    }
    if (!HAS(NAME) || TEXT(NAME) != WANT) break;
  }
  if (K == EV.size()) return K;

  // The table as it was before the stop, if any.
  std::string OLDTABLE;
  bool HADTABLE = false;
  for (size_t X = 0; X < K; ++X)
    if (EV[X].first == P.TABLE) {
      OLDTABLE = EV[X].second;
      HADTABLE = true;
    }
  const auto& [NAME, WANT] = EV[K];
  if (NAME == P.TABLE) {
    // Stopped while writing the table: a prefix of the new one, or the old
    // one if it was not yet created again.
    if (HAS(NAME)) {
      std::string T = TEXT(NAME);
      EXPECT_TRUE(WANT.compare(0, T.size(), T) == 0 || (HADTABLE && T == OLDTABLE))
          << NAME << " is neither the old table nor a prefix of the new one:\n"
          << T;
    }
  } else {
    if (HAS(NAME)) {
      std::string T = TEXT(NAME);
      EXPECT_LT(T.size(), WANT.size()) << NAME;
      EXPECT_EQ(WANT.compare(0, T.size(), T), 0) << NAME << " is not a prefix of the good file";
    } else {
      EXPECT_TRUE(SKIP.count(NAME) || !EXISTS(DIR + "/" + NAME)) << NAME << " is not a regular file";
    }
    if (HADTABLE) {
      EXPECT_TRUE(HAS(P.TABLE)) << P.TABLE << " is missing";
      if (HAS(P.TABLE)) {
        EXPECT_EQ(TEXT(P.TABLE), OLDTABLE) << P.TABLE;
      }
    } else {
      EXPECT_FALSE(EXISTS(DIR + "/" + P.TABLE)) << P.TABLE << " exists before any planet was completed";
    }
  }
  for (size_t X = K + 1; X < EV.size(); ++X) {
    if (EV[X].first != P.TABLE && !SKIP.count(EV[X].first)) {
      EXPECT_FALSE(EXISTS(DIR + "/" + EV[X].first)) << EV[X].first << " was created after the failure";
    }
  }
  return K;
}

// The console of a failed run: the good run's lines up to the failure,
// then the one-line report, which standard error (another file here)
// shows too.
void EXPECTCONSOLEPREFIX(const TRUN& R, const TGOOD& G) {
  const std::string REPORT = LASTLINE(R.OUT);
  ASSERT_GE(R.OUT.size(), REPORT.size() + 2);
  EXPECT_EQ(R.OUT.compare(R.OUT.size() - 2, 2, "\r\n"), 0) << "report does not end with CR LF";
  const std::string HEAD = R.OUT.substr(0, R.OUT.size() - REPORT.size() - 2);
  EXPECT_EQ(G.R.OUT.compare(0, HEAD.size(), HEAD), 0) << "console lines before the report differ";
  EXPECT_TRUE(CONTAINS(REPORT, "fatal error 217")) << REPORT;
  EXPECT_EQ(R.ERR, REPORT + "\r\n");
}

// The size in bytes of a unit of /bin/sh's `ulimit -f` (512 in some
// shells, 1024 in others).
long FSIZEUNIT() {
  static long U = 0;
  if (U == 0) {
    TSCRATCH D;
    RUN(D.PATH(), "ulimit -f 1; trap '' XFSZ; head -c 8192 /dev/zero > probe 2>/dev/null");
    U = static_cast<long>(fs::file_size(D.FILE("probe")));
  }
  return U;
}

// True when the programs are built with AddressSanitizer, which reserves
// more address space than any `ulimit -v` of a test allows.
bool SANITIZED() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#else
  static int S = -1;
  if (S < 0) {
    TSCRATCH D;
    TRUN R = RUN(D.PATH(), "ulimit -v 400000; " + PROGRAM("termsecul") + " --version");
    S = CONTAINS(R.OUT + R.ERR, "AddressSanitizer") ? 1 : 0;
  }
  return S == 1;
#endif
}

struct timespec MTIME(const std::string& PATH) {
  struct stat ST;
  if (::stat(PATH.c_str(), &ST) != 0) throw std::runtime_error("cannot stat " + PATH);
  return ST.st_mtim;
}

}  // namespace

// ---------------------------------------------------------------------------
// Output files.

TEST(FaultsOutput, PairFileThatCannotBeCreatedStopsTheRunThere) {
  const TGOOD& G = GOOD("tiny", ALL);
  TSCRATCH D;
  COPYSERIES(DATASET("tiny"), D.PATH());
  fs::create_directory(D.FILE("robo0203.txt"));
  TRUN R = RUN(D.PATH(), PROGRAM("termall"));
  EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
  const std::string REPORT = LASTLINE(R.OUT);
  EXPECT_TRUE(HASIOTEXT(REPORT)) << REPORT;
  EXPECT_TRUE(CONTAINS(REPORT, "robo0203.txt")) << REPORT;
  EXPECTCONSOLEPREFIX(R, G);
  // Pairs 1-2 .. 1-8 and 2-1 complete, the table with planet 1, nothing else.
  EXPECT_EQ(CHECKSTATE(D.PATH(), ALL, G, {"robo0203.txt"}), EVENTINDEX(ALL, G, "robo0203.txt"));
  for (int J = 2; J <= 8; ++J) EXPECT_TRUE(ISCLOSED(READFILE(D.FILE(PAIRNAME(ALL, 1, J))), 1, J));
  EXPECT_TRUE(ISCLOSED(READFILE(D.FILE("robo0201.txt")), 2, 1));
  std::vector<std::string> T = SPLITLINES(READFILE(D.FILE("robotabl.txt")));
  ASSERT_EQ(T.size(), 9u);
  EXPECT_EQ(T[1], SPLITLINES(G.FILES.at("robotabl.txt"))[1]);
  for (int X = 2; X <= 8; ++X) {
    std::istringstream S(T[static_cast<size_t>(X)]);
    long V;
    S >> V;
    EXPECT_EQ(V, X);
    while (S >> V) EXPECT_EQ(V, 0) << T[static_cast<size_t>(X)];
  }
}

TEST(FaultsOutput, CountTableThatCannotBeCreatedStopsAfterThePlanet) {
  const TGOOD& G = GOOD("tiny", SECUL);
  TSCRATCH D;
  COPYSERIES(DATASET("tiny"), D.PATH());
  fs::create_directory(D.FILE("rocotabl.txt"));
  TRUN R = RUN(D.PATH(), PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
  const std::string REPORT = LASTLINE(R.OUT);
  EXPECT_TRUE(HASIOTEXT(REPORT)) << REPORT;
  EXPECT_TRUE(CONTAINS(REPORT, "rocotabl.txt")) << REPORT;
  EXPECTCONSOLEPREFIX(R, G);
  EXPECT_EQ(CHECKSTATE(D.PATH(), SECUL, G, {"rocotabl.txt"}), EVENTINDEX(SECUL, G, "rocotabl.txt"));
  EXPECT_FALSE(EXISTS(D.FILE("roco0201.txt")));
}

// The file size limit cuts a per-pair file of a later pair in the middle:
// the failing file keeps what fitted, the files closed before it are whole.
// Once with SIGXFSZ ignored by the shell as well, once left to the program.
TEST(FaultsOutput, FileSizeLimitInALaterPairFile) {
  const TGOOD& G = GOOD("tiny", ALL);
  const long U = FSIZEUNIT();
  ASSERT_TRUE(U == 512 || U == 1024) << U;
  // The first per-pair file larger than everything written before it,
  // console included, and a limit between the two.
  const auto EV = EVENTS(ALL, G);
  size_t MAXBEFORE = G.R.OUT.size() + 1024, FAIL = 0;
  long LIMIT = 0;
  for (size_t K = 0; K < EV.size(); ++K) {
    const size_t S = EV[K].second.size();
    const long L = static_cast<long>((S - 1) / static_cast<size_t>(U)) * U;
    if (K > 0 && EV[K].first != ALL.TABLE && L >= static_cast<long>(MAXBEFORE)) {
      FAIL = K;
      LIMIT = L;
      break;
    }
    MAXBEFORE = std::max(MAXBEFORE, S);
  }
  ASSERT_GT(FAIL, 0u) << "no per-pair file of the tiny set is larger than those before it";
  const std::string NAME = EV[FAIL].first;
  for (const std::string TRAP : {"trap '' XFSZ; ", ""}) {
    SCOPED_TRACE(TRAP.empty() ? "SIGXFSZ left to the program" : "SIGXFSZ ignored by the shell");
    TSCRATCH D;
    COPYSERIES(DATASET("tiny"), D.PATH());
    TRUN R = RUN(D.PATH(), "ulimit -f " + std::to_string(LIMIT / U) + "; " + TRAP + PROGRAM("termall"));
    EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
    const std::string REPORT = LASTLINE(R.OUT);
    EXPECT_TRUE(CONTAINS(REPORT, "Disk write error")) << REPORT;
    EXPECT_TRUE(CONTAINS(REPORT, NAME)) << REPORT;
    EXPECTCONSOLEPREFIX(R, G);
    EXPECT_EQ(CHECKSTATE(D.PATH(), ALL, G), FAIL) << NAME;
    // What was written before the failure is still there, up to the limit.
    ASSERT_TRUE(ISREGULAR(D.FILE(NAME)));
    EXPECT_EQ(static_cast<long>(fs::file_size(D.FILE(NAME))), LIMIT) << NAME;
  }
}

// ---------------------------------------------------------------------------
// Storage.

TEST(FaultsMemory, RowTablesThatCannotBeObtainedStopTheRunAtStart) {
  if (SANITIZED()) GTEST_SKIP() << "AddressSanitizer reserves more address space than ulimit -v allows";
  if (EMULATED()) GTEST_SKIP() << "the emulator reserves more address space than ulimit -v allows";
  // The nine row tables need about 32 MB; the program itself far less.
  TSCRATCH D;
  COPYSERIES(DATASET("tiny"), D.PATH());
  TRUN R = RUN(D.PATH(), "ulimit -v 25000; " + PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
  EXPECT_EQ(R.LINES().size(), 1u) << R.OUT;
  EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "Out of memory")) << R.OUT;
  EXPECT_EQ(LISTDIR(D.PATH()), SERIESNAMES());
}

// Whatever the address space limit, a run ends complete or with the
// out-of-memory report, never by a signal, and leaves consistent files
// (a limit too small for the stack of a background thread included).
TEST(FaultsMemory, AddressSpaceLimitsNeverKillTheProgram) {
  if (SANITIZED()) GTEST_SKIP() << "AddressSanitizer reserves more address space than ulimit -v allows";
  if (EMULATED()) GTEST_SKIP() << "the emulator reserves more address space than ulimit -v allows";
  const TGOOD& G = GOOD("tiny", ALL);
  for (long KB = 30000; KB <= 70000; KB += 2500) {
    SCOPED_TRACE("ulimit -v " + std::to_string(KB));
    TSCRATCH D;
    COPYSERIES(DATASET("tiny"), D.PATH());
    TRUN R = RUN(D.PATH(), "ulimit -v " + std::to_string(KB) + "; " + PROGRAM("termall"));
    ASSERT_TRUE(R.STATUS == 0 || R.STATUS == 217) << R.STATUS << "\n" << R.OUT << R.ERR;
    const size_t K = CHECKSTATE(D.PATH(), ALL, G);
    if (R.STATUS == 0) {
      EXPECT_EQ(K, EVENTS(ALL, G).size());
      EXPECT_EQ(R.OUT, G.R.OUT);
    } else {
      EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "Out of memory")) << R.OUT;
      EXPECTCONSOLEPREFIX(R, G);
    }
  }
}

// ---------------------------------------------------------------------------
// Series files that are not what they seem.

TEST(FaultsSeries, FoldersFifosAndDevicesAreRefusedWithoutHanging) {
  const TGOOD& G = GOOD("tiny", SECUL);
  struct TCASE {
    const char* WHAT;
    int N;
  };
  for (const TCASE& C : {TCASE{"folder", 3}, TCASE{"fifo", 2}, TCASE{"zero", 4}, TCASE{"null", 5}}) {
    SCOPED_TRACE(C.WHAT);
    TSCRATCH D;
    COPYSERIES(DATASET("tiny"), D.PATH());
    const std::string NAME = SERIESNAME(C.N);
    fs::remove(D.FILE(NAME));
    const std::string W = C.WHAT;
    if (W == "folder") fs::create_directory(D.FILE(NAME));
    if (W == "fifo") {
      ASSERT_EQ(::mkfifo(D.FILE(NAME).c_str(), 0644), 0);
    }
    if (W == "zero") fs::create_symlink("/dev/zero", D.FILE(NAME));
    if (W == "null") fs::create_symlink("/dev/null", D.FILE(NAME));
    TRUN R = RUN(D.PATH(), "timeout 20 " + PROGRAM("termsecul"));
    ASSERT_NE(R.STATUS, 124) << "the program hangs on " << NAME << " as a " << W;
    EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
    const std::string REPORT = LASTLINE(R.OUT);
    EXPECT_TRUE(HASIOTEXT(REPORT)) << REPORT;
    EXPECT_TRUE(CONTAINS(REPORT, NAME)) << REPORT;
    EXPECTCONSOLEPREFIX(R, G);
    // All series files are read by the first pair.
    EXPECT_EQ(CHECKSTATE(D.PATH(), SECUL, G), 0u);
    EXPECT_FALSE(ISCLOSED(READFILE(D.FILE("roco0102.txt")), 1, 2));
  }
}

// 200 MB of text after the last term of puf01.txt is never read: the run
// is that of the plain files, in the same storage.
TEST(FaultsSeries, TextAfterTheLastTermIsNotRead) {
  const TGOOD& G = GOOD("tiny", SECUL);
  const bool TIMEX = ::access("/usr/bin/time", X_OK) == 0;
  TSCRATCH AUX;
  const std::string TIMED = TIMEX ? "/usr/bin/time -f %M -o " + AUX.FILE("mem") + " " : "";
  long PLAIN = 0, JUNK = 0;
  {
    TSCRATCH D;
    COPYSERIES(DATASET("tiny"), D.PATH());
    TRUN R = RUN(D.PATH(), TIMED + PROGRAM("termsecul"));
    ASSERT_EQ(R.STATUS, 0) << R.OUT << R.ERR;
    if (TIMEX) PLAIN = std::stol(READFILE(AUX.FILE("mem")));
  }
  TSCRATCH D;
  COPYSERIES(DATASET("tiny"), D.PATH());
  TRUN J = RUN(D.PATH(), "yes 'text after the last term, 0 1 2 3 4 5 6 7 8 9 C S' | head -c 200000000 >> puf01.txt");
  ASSERT_EQ(J.STATUS, 0) << J.ERR;
  ASSERT_GT(fs::file_size(D.FILE("puf01.txt")), 200000000u);
  TRUN R = RUN(D.PATH(), TIMED + PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 0) << R.OUT << R.ERR;
  EXPECT_EQ(R.OUT, G.R.OUT);
  EXPECT_EQ(CHECKSTATE(D.PATH(), SECUL, G), EVENTS(SECUL, G).size());
  if (!TIMEX) GTEST_SKIP() << "no /usr/bin/time: peak storage not measured";
  JUNK = std::stol(READFILE(AUX.FILE("mem")));
  EXPECT_LT(JUNK, PLAIN + 32768) << "peak resident KB, plain run " << PLAIN;
}

// A terabyte-long hole after the last term: reading it would take far
// longer than the time allowed.
TEST(FaultsSeries, HugeSparseTailAfterTheLastTermIsNotRead) {
  const TGOOD& G = GOOD("tiny", SECUL);
  TSCRATCH D;
  COPYSERIES(DATASET("tiny"), D.PATH());
  const std::string P = D.FILE("puf27.txt");
  if (::truncate(P.c_str(), static_cast<off_t>(fs::file_size(P)) + (off_t{1} << 40)) != 0)
    GTEST_SKIP() << "the file system takes no terabyte-long sparse file";
  TRUN R = RUN(D.PATH(), "timeout 30 " + PROGRAM("termsecul"));
  ASSERT_NE(R.STATUS, 124) << "the program reads past the terms of puf27.txt";
  EXPECT_EQ(R.STATUS, 0) << R.OUT << R.ERR;
  EXPECT_EQ(R.OUT, G.R.OUT);
  EXPECT_EQ(CHECKSTATE(D.PATH(), SECUL, G), EVENTS(SECUL, G).size());
}

// ---------------------------------------------------------------------------
// The console.

TEST(FaultsConsole, ClosedOrFullStandardOutputIsAWriteError) {
  const TGOOD& G = GOOD("tiny", SECUL);
  struct TCASE {
    const char* WHAT;
    const char* REDIRECT;
    bool REPORTSEEN;  // standard error stays open
    const char* KIND;
  };
  for (const TCASE& C : {TCASE{"closed", ">&-", true, "Disk write error"},
                         TCASE{"full", ">/dev/full", true, "No space left on device"},
                         TCASE{"closed, standard error too", ">&- 2>&-", false, ""}}) {
    SCOPED_TRACE(C.WHAT);
    TSCRATCH D;
    COPYSERIES(DATASET("tiny"), D.PATH());
    TRUN R = RUN(D.PATH(), PROGRAM("termsecul") + " " + C.REDIRECT);
    EXPECT_EQ(R.STATUS, 217) << R.ERR;
    EXPECT_EQ(R.OUT, "");
    if (C.REPORTSEEN) {
      EXPECT_TRUE(CONTAINS(R.ERR, C.KIND)) << R.ERR;
      EXPECT_TRUE(CONTAINS(R.ERR, "standard output")) << R.ERR;
      EXPECT_EQ(SPLITLINES(R.ERR).size(), 1u) << R.ERR;
    } else {
      EXPECT_EQ(R.ERR, "");
    }
    // The first console line comes right after roco0102.txt is created.
    EXPECT_EQ(CHECKSTATE(D.PATH(), SECUL, G), 0u);
    EXPECT_EQ(READFILE(D.FILE("roco0102.txt")), "");
  }
  // The same when the shell has closed standard output before the start.
  TSCRATCH D;
  COPYSERIES(DATASET("tiny"), D.PATH());
  TRUN R = RUN(D.PATH(), "exec >&-; " + PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 217) << R.ERR;
  EXPECT_TRUE(CONTAINS(R.ERR, "Disk write error")) << R.ERR;
  EXPECT_EQ(CHECKSTATE(D.PATH(), SECUL, G), 0u);
}

// The reader of the console goes away after the first line: the next
// console write fails, the program ends with the I/O error (not SIGPIPE),
// and what it wrote until then stays.
TEST(FaultsConsole, BrokenPipeIsAWriteError) {
  const TGOOD& G = GOOD("tiny", SECUL);
  TSCRATCH D, AUX;
  COPYSERIES(DATASET("tiny"), D.PATH());
  // The reading end is gone before the program writes its first line (as
  // when "| head -n 1" has exited), whatever the load of the machine.
  TRUN R = RUN(D.PATH(), "{ sleep 0.3; " + PROGRAM("termsecul") + " 2>" + AUX.FILE("err") + "; echo $? > " +
                             AUX.FILE("status") + "; } | true");
  EXPECT_EQ(R.STATUS, 0) << R.ERR;
  const std::string ST = READFILE(AUX.FILE("status"));
  EXPECT_EQ(ST, "217\n") << "status of the program (128 + N: killed by signal N)";
  const std::string ERR = READFILE(AUX.FILE("err"));
  EXPECT_TRUE(CONTAINS(ERR, "Disk write error")) << ERR;
  EXPECT_TRUE(CONTAINS(ERR, "standard output")) << ERR;
  EXPECT_LT(CHECKSTATE(D.PATH(), SECUL, G), EVENTS(SECUL, G).size());
}

// ---------------------------------------------------------------------------
// Boundary sizes of the row tables (74,967 rows), with termsecul and every
// other series file empty. Every term but the last is short-period; the
// last one is secular, so that each pair writes it once and shows it came
// through.

namespace {

std::vector<std::string> TERMS(long N) {
  const std::string SHORT = TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 0, 0}, {1, 0, 0, -1, 0, 0}, 'C');
  std::vector<std::string> T(static_cast<size_t>(N), SHORT);
  if (N > 0) T.back() = TERMLINE("  2.5000000000000000e-03", {1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 'S');
  return T;
}

// Count of pair (I, J) in the count table.
long TABLECOUNT(const std::string& TABLE, int I, int J) {
  std::istringstream S(SPLITLINES(TABLE).at(static_cast<size_t>(I)));
  long V = -1;
  for (int K = 0; K <= J; ++K) S >> V;
  return V;
}

// The "before terms number" line of series file N in a per-pair file.
std::string BEFORELINE(long M, int I, int J, int N) {
  char B[80];
  std::snprintf(B, sizeof B, "%10ld%4d%4d%4d  before terms number", M, I, J, N);
  return B;
}

bool HASLINE(const std::string& TEXT, const std::string& LINE) {
  return CONTAINS("\r\n" + TEXT, "\r\n" + LINE + "\r\n");
}

}  // namespace

TEST(FaultsBoundary, SeriesFileOfFullTableSizeAndOneMore) {
  {
    SCOPED_TRACE("puf02.txt of 74967 terms");
    TSCRATCH D;
    WRITEEMPTYSERIES(D.PATH());
    WRITESERIES(D.PATH(), 2, TERMS(74967));
    TRUN R = RUN(D.PATH(), PROGRAM("termsecul"));
    ASSERT_EQ(R.STATUS, 0) << LASTLINE(R.OUT);
    const std::string TABLE = READFILE(D.FILE("rocotabl.txt"));
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J) {
        if (I == J) continue;
        const std::string T = READFILE(D.FILE(PAIRNAME(SECUL, I, J)));
        EXPECT_TRUE(ISCLOSED(T, I, J)) << PAIRNAME(SECUL, I, J);
        EXPECT_TRUE(HASLINE(T, BEFORELINE(74967, I, J, 2))) << PAIRNAME(SECUL, I, J);
        EXPECT_EQ(TABLECOUNT(TABLE, I, J), 1) << I << "-" << J;
      }
  }
  {
    SCOPED_TRACE("puf02.txt of 74968 terms");
    TSCRATCH D;
    WRITEEMPTYSERIES(D.PATH());
    WRITESERIES(D.PATH(), 2, TERMS(74968));
    TRUN R = RUN(D.PATH(), PROGRAM("termsecul"));
    EXPECT_EQ(R.STATUS, 217);
    const std::string REPORT = LASTLINE(R.OUT);
    EXPECT_TRUE(CONTAINS(REPORT, "Range check error")) << REPORT;
    EXPECT_TRUE(CONTAINS(REPORT, "puf02.txt")) << REPORT;
    std::vector<std::string> WANT = SERIESNAMES();
    WANT.push_back("roco0102.txt");
    std::sort(WANT.begin(), WANT.end());
    EXPECT_EQ(LISTDIR(D.PATH()), WANT);
    EXPECT_FALSE(ISCLOSED(READFILE(D.FILE("roco0102.txt")), 1, 2));
  }
}

// File 1 is mirrored for the pairs with I > J: twice its terms must fit.
TEST(FaultsBoundary, FirstSeriesFileOfHalfTableSizeAndOneMore) {
  {
    SCOPED_TRACE("puf01.txt of 37483 terms");
    TSCRATCH D;
    WRITEEMPTYSERIES(D.PATH());
    WRITESERIES(D.PATH(), 1, TERMS(37483));
    TRUN R = RUN(D.PATH(), PROGRAM("termsecul"));
    ASSERT_EQ(R.STATUS, 0) << LASTLINE(R.OUT);
    const std::string TABLE = READFILE(D.FILE("rocotabl.txt"));
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J) {
        if (I == J) continue;
        const std::string T = READFILE(D.FILE(PAIRNAME(SECUL, I, J)));
        EXPECT_TRUE(ISCLOSED(T, I, J)) << PAIRNAME(SECUL, I, J);
        EXPECT_TRUE(HASLINE(T, BEFORELINE(37483, I, J, 1))) << PAIRNAME(SECUL, I, J);
        // The secular term, and for I > J its mirror image as well.
        EXPECT_EQ(TABLECOUNT(TABLE, I, J), I > J ? 2 : 0) << I << "-" << J;
      }
  }
  {
    SCOPED_TRACE("puf01.txt of 37484 terms");
    TSCRATCH D;
    WRITEEMPTYSERIES(D.PATH());
    WRITESERIES(D.PATH(), 1, TERMS(37484));
    TRUN R = RUN(D.PATH(), PROGRAM("termsecul"));
    EXPECT_EQ(R.STATUS, 217);
    const std::string REPORT = LASTLINE(R.OUT);
    EXPECT_TRUE(CONTAINS(REPORT, "Range check error")) << REPORT;
    EXPECT_TRUE(CONTAINS(REPORT, "pair 2-1")) << REPORT;
    std::vector<std::string> WANT = SERIESNAMES();
    for (int J = 2; J <= 8; ++J) WANT.push_back(PAIRNAME(SECUL, 1, J));
    WANT.push_back("roco0201.txt");
    WANT.push_back("rocotabl.txt");
    std::sort(WANT.begin(), WANT.end());
    EXPECT_EQ(LISTDIR(D.PATH()), WANT);
    for (int J = 2; J <= 8; ++J) {
      const std::string T = READFILE(D.FILE(PAIRNAME(SECUL, 1, J)));
      EXPECT_TRUE(ISCLOSED(T, 1, J)) << PAIRNAME(SECUL, 1, J);
      EXPECT_TRUE(HASLINE(T, BEFORELINE(37484, 1, J, 1))) << PAIRNAME(SECUL, 1, J);
    }
    EXPECT_FALSE(ISCLOSED(READFILE(D.FILE("roco0201.txt")), 2, 1));
    const std::string TABLE = READFILE(D.FILE("rocotabl.txt"));
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J) EXPECT_EQ(TABLECOUNT(TABLE, I, J), 0) << I << "-" << J;
  }
}

// ---------------------------------------------------------------------------
// The series files are only read: after a good run, a failed run and a run
// cut by the file size limit, each is byte for byte as before and keeps
// its modification time to the nanosecond.

TEST(FaultsSeries, SeriesFilesAreNeverWritten) {
  TSCRATCH D;
  COPYSERIES(DATASET("tiny"), D.PATH());
  // A bad code letter in the first term of puf05.txt (column 75).
  std::string P5 = READFILE(D.FILE("puf05.txt"));
  size_t FIRST = 0;
  for (int L = 0; L < 3; ++L) FIRST = P5.find('\n', FIRST) + 1;
  ASSERT_TRUE(P5[FIRST + 74] == 'C' || P5[FIRST + 74] == 'S') << P5.substr(FIRST, 90);
  const std::string GOODP5 = P5;
  P5[FIRST + 74] = 'X';
  struct timespec PAST[2] = {{1000000000, 123456789}, {1000000000, 987654321}};
  std::map<std::string, std::string> BYTES;
  for (const std::string& N : SERIESNAMES()) {
    ASSERT_EQ(::utimensat(AT_FDCWD, D.FILE(N).c_str(), PAST, 0), 0) << N;
    BYTES[N] = READFILE(D.FILE(N));
  }
  auto UNTOUCHED = [&](const std::string& WHEN) {
    for (const std::string& N : SERIESNAMES()) {
      const struct timespec M = MTIME(D.FILE(N));
      EXPECT_EQ(M.tv_sec, PAST[1].tv_sec) << N << " after " << WHEN;
      EXPECT_EQ(M.tv_nsec, PAST[1].tv_nsec) << N << " after " << WHEN;
      EXPECT_EQ(READFILE(D.FILE(N)), BYTES[N]) << N << " after " << WHEN;
    }
  };
  TRUN R = RUN(D.PATH(), PROGRAM("termall"));
  EXPECT_EQ(R.STATUS, 0) << LASTLINE(R.OUT);
  UNTOUCHED("a good run");

  WRITEFILE(D.FILE("puf05.txt"), P5);
  BYTES["puf05.txt"] = P5;
  ASSERT_EQ(::utimensat(AT_FDCWD, D.FILE("puf05.txt").c_str(), PAST, 0), 0);
  R = RUN(D.PATH(), PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 217);
  EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "Invalid term code")) << LASTLINE(R.OUT);
  EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "puf05.txt")) << LASTLINE(R.OUT);
  UNTOUCHED("a run that fails on puf05.txt");

  WRITEFILE(D.FILE("puf05.txt"), GOODP5);
  BYTES["puf05.txt"] = GOODP5;
  ASSERT_EQ(::utimensat(AT_FDCWD, D.FILE("puf05.txt").c_str(), PAST, 0), 0);
  R = RUN(D.PATH(), "ulimit -f 16; trap '' XFSZ; " + PROGRAM("termall"));
  EXPECT_EQ(R.STATUS, 217);
  EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "Disk write error")) << LASTLINE(R.OUT);
  UNTOUCHED("a run under ulimit -f");
}

// ---------------------------------------------------------------------------
// The end of a good run.

// A complete run ends with status 0 and writes nothing to standard error
// (under AddressSanitizer: nothing freed too early at exit either).
TEST(FaultsExit, GoodRunEndsWithStatusZeroAndNothingOnStandardError) {
  for (const TPROG& P : {SECUL, ALL}) {
    SCOPED_TRACE(P.NAME);
    TSCRATCH D;
    COPYSERIES(DATASET("tiny"), D.PATH());
    TRUN R = RUN(D.PATH(), PROGRAM(P.NAME));
    EXPECT_EQ(R.STATUS, 0);
    EXPECT_TRUE(R.ERR.empty()) << R.ERR.substr(0, 600);
  }
}
