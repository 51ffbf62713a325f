// seriescheck end to end: every defect of damaged copies of generated
// series, with its file, line, column and kind; over series damaged at
// random, agreement with what the three programs do on the same files;
// files of very many defects in bounded memory, their findings in order
// and at most 100 of a kind unless --all; a report that cannot be
// written; names and texts from outside kept on one line.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "harness.hpp"

namespace {

namespace fs = std::filesystem;

const std::vector<const char*> PROGS = TERMPROGRAMS();

std::string SERIESFILE(const std::string& DIR, int N) { return DIR + FMT("/puf%02d.txt", N); }

// The lines of series file N, split at LF (a CR before it kept), and back.
std::vector<std::string> LINESOF(const std::string& DIR, int N) {
  const std::string S = READFILE(SERIESFILE(DIR, N));
  std::vector<std::string> L;
  size_t P = 0;
  for (size_t E; (E = S.find('\n', P)) != std::string::npos; P = E + 1) L.push_back(S.substr(P, E - P));
  if (P < S.size()) L.push_back(S.substr(P));
  return L;
}
void PUTLINES(const std::string& DIR, int N, const std::vector<std::string>& L, bool LASTENDS = true) {
  std::string S;
  for (size_t X = 0; X < L.size(); ++X) S += L[X] + (X + 1 < L.size() || LASTENDS ? "\n" : "");
  WRITEFILE(SERIESFILE(DIR, N), S);
}

// Cell K (1..12: MEC[1..6], MAR[1..6]) of a generated term line set to V
// (a value of four characters runs into the field before it).
void SETCELL(std::string& L, int K, int V) { L.replace(20 + 4 * K, 4, FMT("%4d", V)); }

void GENERATE(const std::string& DIR, int SEED) {
  const TRUN R = RUN(DIR, TOOL("seriesgen") + FMT(" --scale tiny --seed %d .", SEED));
  ASSERT_EQ(R.STATUS, 0) << R.OUT << R.ERR;
}

// The lines of a seriescheck report, without their line ends.
std::vector<std::string> REPORTLINES(const TRUN& R) { return SPLITLINES(R.OUT); }

bool CONTAINS(const std::string& S, const std::string& P) { return S.find(P) != std::string::npos; }

// Defects and warnings of several kinds in several files, each reported
// once, in the order of the files, with its place and kind; a clean folder
// gives none and status 0, warnings alone status 1.
TEST(SeriesCheck, EveryDefectOfADamagedFolder) {
  TSCRATCH D;
  GENERATE(D.PATH(), 7);
  const TRUN CLEAN = RUN(D.PATH(), PROGRAM("seriescheck"));
  EXPECT_EQ(CLEAN.STATUS, 0) << CLEAN.OUT;
  ASSERT_EQ(REPORTLINES(CLEAN).size(), 28u) << CLEAN.OUT;
  EXPECT_TRUE(CONTAINS(REPORTLINES(CLEAN)[27], "27 files")) << CLEAN.OUT;
  EXPECT_TRUE(CONTAINS(REPORTLINES(CLEAN)[27], "0 errors, 0 warnings")) << CLEAN.OUT;
  EXPECT_EQ(RUN(D.PATH(), PROGRAM("seriescheck") + " --quiet").OUT, "");

  std::vector<std::string> WANT;
  // File 7: two warnings only.
  std::vector<std::string> L = LINESOF(D.PATH(), 7);
  SETCELL(L[20], 1, 0), SETCELL(L[20], 2, 0), SETCELL(L[20], 3, 0), SETCELL(L[20], 4, 1);
  SETCELL(L[20], 5, 31);
  L[22] = L[6];
  PUTLINES(D.PATH(), 7, L);
  WANT.push_back("puf07.txt:21:43: warning: Range check error: axis exponent 31 is outside -30..30 (MEC[5]); "
                 "stops termshort and termall");
  WANT.push_back("puf07.txt:23:1: warning: Repeated term: the term of line 7 again, exactly");
  const TRUN WARNED = RUN(D.PATH(), PROGRAM("seriescheck") + " --quiet");
  EXPECT_EQ(WARNED.STATUS, 1);
  EXPECT_EQ(REPORTLINES(WARNED), WANT);

  // File 3: an order out of range in file 3 stops termall too, but with
  // an order above 8 termshort keeps it out of its amplitude test.
  L = LINESOF(D.PATH(), 3);
  SETCELL(L[4], 1, 100), SETCELL(L[4], 2, 100);
  SETCELL(L[5], 1, 9), SETCELL(L[5], 2, 0), SETCELL(L[5], 3, 0), SETCELL(L[5], 4, 0), SETCELL(L[5], 6, -31);
  PUTLINES(D.PATH(), 3, L);
  // File 5: three defects, each on its own line.
  L = LINESOF(D.PATH(), 5);
  L[5].replace(24, 4, "  x7");
  L[9][L[9].size() - 2] = 'X';
  SETCELL(L[12], 6, 300);
  PUTLINES(D.PATH(), 5, L);
  // File 9: a count that is too small.
  L = LINESOF(D.PATH(), 9);
  L[1] = "      10\r";
  PUTLINES(D.PATH(), 9, L);
  const size_t AMPCOL = L[13].find_first_not_of(' ') + 1;
  // File 11: two terms fewer than the count says.
  L = LINESOF(D.PATH(), 11);
  L.resize(L.size() - 2);
  PUTLINES(D.PATH(), 11, L);
  const size_t HELD = L.size() - 3;
  // File 13: one line ends with LF alone.
  L = LINESOF(D.PATH(), 13);
  L[3].pop_back();
  PUTLINES(D.PATH(), 13, L);
  // File 1: an order out of range stops termshort alone.
  L = LINESOF(D.PATH(), 1);
  SETCELL(L[3], 2, -99), SETCELL(L[3], 3, -99);
  PUTLINES(D.PATH(), 1, L);

  WANT.insert(WANT.begin(),
              {"puf01.txt:4:1: warning: Range check error: order MEC[1]+MEC[2]+MEC[3]+MEC[4] " +
                   std::to_string(-198 + std::stoi(L[3].substr(24, 4)) + std::stoi(L[3].substr(36, 4))) +
                   " is outside -128..127; stops termshort",
               "puf03.txt:5:1: warning: Range check error: order MEC[1]+MEC[2]+MEC[3]+MEC[4] " +
                   std::to_string(200 + std::stoi(LINESOF(D.PATH(), 3)[4].substr(32, 4)) +
                                  std::stoi(LINESOF(D.PATH(), 3)[4].substr(36, 4))) +
                   " is outside -128..127; stops termshort and termall",
               "puf03.txt:6:46: warning: Range check error: axis exponent -31 is outside -30..30 (MEC[6]); stops "
               "termall",
               "puf05.txt:6:27: error: Invalid numeric format: MEC[1] \"x7\" is not a number",
               "puf05.txt:10:75: error: Invalid term code: 'X' (88) stands where the code letter S or C is "
               "expected",
               "puf05.txt:13:46: error: Range check error: MEC[6] 300 is outside -128..127"});
  WANT.push_back(FMT("puf09.txt:14:%zu: warning: Count too small: after the 10 terms that line 2 counts, the text "
                     "reads as %zu more terms, which no program reads",
                     AMPCOL, LINESOF(D.PATH(), 9).size() - 13));
  WANT.push_back(FMT("puf11.txt:%zu:1: error: Read past end of file: the file ends where the amplitude of term %zu "
                     "is expected: it states %zu terms and holds %zu",
                     HELD + 4, HELD + 1, HELD + 2, HELD));
  WANT.push_back("puf13.txt:4:1: warning: Mixed line ends: 1 line ends with LF alone, " +
                 std::to_string(LINESOF(D.PATH(), 13).size() - 1) +
                 " with CR LF; this is the first line that ends with LF alone");
  const TRUN R = RUN(D.PATH(), PROGRAM("seriescheck"));
  EXPECT_EQ(R.STATUS, 2);
  std::vector<std::string> GOT, SUMMARY;
  for (const std::string& X : REPORTLINES(R)) (CONTAINS(X, "error: ") || CONTAINS(X, "warning: ") ? GOT : SUMMARY).push_back(X);
  EXPECT_EQ(GOT, WANT);
  ASSERT_EQ(SUMMARY.size(), 28u);
  EXPECT_TRUE(CONTAINS(SUMMARY[4], "puf05.txt: ") && CONTAINS(SUMMARY[4], ", 3 errors, 0 warnings")) << SUMMARY[4];
  EXPECT_TRUE(CONTAINS(SUMMARY[10], FMT("puf11.txt: %zu terms, ", HELD))) << SUMMARY[10];
  EXPECT_TRUE(CONTAINS(SUMMARY[27], "4 errors, 7 warnings")) << SUMMARY[27];
}

// File 1 beyond half a table: every program stops at its first mirrored
// pair, unless termshort's order filter keeps few enough of its terms.
TEST(SeriesCheck, FirstFileTooLargeToMirror) {
  for (int HIGH : {0, 1}) {
    SCOPED_TRACE(HIGH);
    TSCRATCH D;
    WRITEEMPTYSERIES(D.PATH());
    std::vector<std::string> T;
    for (int X = 0; X < 37484; ++X)
      T.push_back(TERMLINE(FMT("  1.%016de-05", X), {X < HIGH ? 9 : 0, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}, 'C'));
    WRITESERIES(D.PATH(), 1, T);
    const TRUN R = RUN(D.PATH(), PROGRAM("seriescheck") + " --quiet");
    const std::string LINE = std::to_string(4 + 74967 - 37484);
    const std::string PLACE = "puf01.txt:" + LINE + ":1: ";
    const std::string WHAT = "Range check error: row 74968 is outside 1..74967: the file's 37484 terms and their "
                             "mirror images are more than a table holds (pair 2-1)";
    if (HIGH == 0) {
      EXPECT_EQ(R.STATUS, 2);
      EXPECT_EQ(R.OUT, PLACE + "error: " + WHAT + "\r\n");
    } else {
      EXPECT_EQ(R.STATUS, 1);
      EXPECT_EQ(R.OUT, PLACE + "warning: " + WHAT + "; stops termsecul and termall\r\n");
    }
    for (const char* P : PROGS) {
      const TRUN G = RUN(D.PATH(), PROGRAM(P) + " --quiet");
      const bool STOPS = HIGH == 0 || std::string(P) != "termshort";
      EXPECT_EQ(G.STATUS, STOPS ? 217 : 0) << P;
      if (STOPS) {
        EXPECT_TRUE(CONTAINS(G.OUT, "row 74968 is outside 1..74967 (pair 2-1, puf01.txt, term 37484 at line " +
                                        LINE + ")"))
            << G.OUT;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Agreement with the programs over series damaged at random.

// What one program's fatal report says: the kind and the first line
// number named.
struct TSTOP {
  std::string KIND;
  long LINE = 0;
};
TSTOP STOPOF(const std::string& REPORT) {
  TSTOP S;
  const std::string MARK = "fatal error 217: ";
  const size_t K = REPORT.find(MARK);
  if (K == std::string::npos) return S;
  const size_t E = REPORT.find(": ", K + MARK.size());
  S.KIND = REPORT.substr(K + MARK.size(), E - K - MARK.size());
  const size_t L = REPORT.find("line ", E);
  if (L != std::string::npos) S.LINE = std::atol(REPORT.c_str() + L + 5);
  return S;
}

struct TLINE {
  bool ERROR;
  long LINE;
  std::string KIND;
  std::string STOPS;
};
// The findings of seriescheck on file NAME.
std::vector<TLINE> FINDINGS(const TRUN& R, const std::string& NAME) {
  std::vector<TLINE> V;
  for (const std::string& X : REPORTLINES(R)) {
    if (X.rfind(NAME + ":", 0) != 0) continue;
    const size_t P = X.find_first_not_of("0123456789:", NAME.size()) + 1;  // after "NAME:L:C: "
    const bool ERROR = X.compare(P, 7, "error: ") == 0;
    const size_t K = P + (ERROR ? 7 : 9);
    TLINE F{ERROR, std::atol(X.c_str() + NAME.size() + 1), X.substr(K, X.find(": ", K) - K), ""};
    const size_t S = X.rfind("; stops ");
    if (S != std::string::npos) F.STOPS = X.substr(S + 8);
    V.push_back(F);
  }
  return V;
}

// One random damage of series file N in DIR.
void DAMAGE(const std::string& DIR, int N, std::mt19937& G) {
  std::vector<std::string> L = LINESOF(DIR, N);
  if (L.size() < 5) return;
  auto PICK = [&](size_t LO, size_t HI) { return std::uniform_int_distribution<size_t>(LO, HI)(G); };
  const size_t T = PICK(3, L.size() - 1);  // a term line
  std::string& X = L[T];
  bool LASTENDS = true;
  switch (PICK(0, 11)) {
    case 0:  // a character of a field
      if (X.size() > 4) X[PICK(0, X.size() - 4)] = "x.+-eE,;#0"[PICK(0, 9)];
      break;
    case 1:  // an integer out of range
      SETCELL(X, static_cast<int>(PICK(1, 12)), PICK(0, 1) ? static_cast<int>(PICK(128, 999)) : -static_cast<int>(PICK(129, 999)));
      break;
    case 2:  // the code letter
      X[X.size() - 2] = "sSCcXZ 1"[PICK(0, 7)];
      break;
    case 3:  // the file cut short, maybe within a line
      L.resize(T + 1);
      if (PICK(0, 1)) {
        X.resize(PICK(0, X.size()));
        LASTENDS = false;
      }
      break;
    case 4:  // the count too large or too small
    case 5:
      L[1] = FMT("%8ld\r", std::atol(L[1].c_str()) + (PICK(0, 1) ? 1 : -1) * static_cast<long>(PICK(1, 3)));
      break;
    case 6:  // an axis exponent without a power
      SETCELL(X, static_cast<int>(PICK(5, 6)), PICK(0, 1) ? static_cast<int>(PICK(31, 127)) : -static_cast<int>(PICK(31, 99)));
      break;
    case 7:  // an order out of range
      SETCELL(X, 1, PICK(0, 1) ? 100 : -99), SETCELL(X, 2, PICK(0, 1) ? 100 : -99), SETCELL(X, 3, PICK(0, 1) ? -99 : 0);
      break;
    case 8:  // a low order with an axis exponent without a power
      for (int K = 1; K <= 4; ++K) SETCELL(X, K, 0);
      SETCELL(X, 5, 40);
      break;
    case 9:  // two term lines joined
      if (T + 1 < L.size()) {
        X.pop_back();
        X += L[T + 1];
        L.erase(L.begin() + static_cast<long>(T) + 1);
      }
      break;
    case 10:  // a line end without CR
      X.pop_back();
      break;
    case 11:  // a term repeated
      X = L[PICK(3, L.size() - 1)];
      break;
  }
  PUTLINES(DIR, N, L, LASTENDS);
}

// seriescheck reports an error on a file exactly when all three programs
// stop on it, and then names the defect at which they stop; when only some
// stop, its warnings name exactly those, each at a place where that program
// stops. PAIRTERMS_CHECK_CASES sets the number of cases (default 24).
TEST(SeriesCheck, AgreesWithTheProgramsOnRandomDamage) {
  const char* E = std::getenv("PAIRTERMS_CHECK_CASES");
  const int CASES = E != nullptr ? std::atoi(E) : 24;
  TSCRATCH BASE;
  GENERATE(BASE.PATH(), 11);
  for (int C = 0; C < CASES; ++C) {
    std::mt19937 G(static_cast<unsigned>(C));
    const int N = std::uniform_int_distribution<int>(0, 3)(G) == 0 ? 1 : std::uniform_int_distribution<int>(1, 27)(G);
    TSCRATCH D;
    for (int F = 1; F <= 27; ++F) fs::copy_file(SERIESFILE(BASE.PATH(), F), SERIESFILE(D.PATH(), F));
    const int DAMAGES = std::uniform_int_distribution<int>(1, 3)(G);
    for (int X = 0; X < DAMAGES; ++X) DAMAGE(D.PATH(), N, G);
    const std::string NAME = FMT("puf%02d.txt", N);
    SCOPED_TRACE(FMT("case %d, %s", C, NAME.c_str()));

    const TRUN CHECK = RUN(D.PATH(), PROGRAM("seriescheck") + " --quiet");
    const std::vector<TLINE> F = FINDINGS(CHECK, NAME);
    EXPECT_EQ(F.size(), REPORTLINES(CHECK).size()) << CHECK.OUT;  // no other file has findings
    TSCRATCH O;
    std::set<std::string> STOPPED;
    std::vector<TSTOP> FIRST(PROGS.size());
    for (size_t P = 0; P < PROGS.size(); ++P) {
      const TRUN R = RUN(D.PATH(), PROGRAM(PROGS[P]) + " --quiet --output " + O.PATH());
      ASSERT_TRUE(R.STATUS == 0 || R.STATUS == 217) << R.OUT;
      if (R.STATUS == 217) {
        STOPPED.insert(PROGS[P]);
        FIRST[P] = STOPOF(R.OUT);
        EXPECT_TRUE(CONTAINS(R.OUT, NAME)) << R.OUT;
      }
    }
    const TLINE* ERROR = nullptr;
    for (const TLINE& X : F)
      if (X.ERROR && ERROR == nullptr) ERROR = &X;
    EXPECT_EQ(ERROR != nullptr, STOPPED.size() == 3) << CHECK.OUT;
    EXPECT_EQ(CHECK.STATUS, ERROR != nullptr ? 2 : F.empty() ? 0 : 1) << CHECK.OUT;
    if (ERROR != nullptr) {
      for (size_t P = 0; P < PROGS.size(); ++P) {
        EXPECT_EQ(FIRST[P].KIND, ERROR->KIND) << PROGS[P] << "\n" << CHECK.OUT;
        EXPECT_EQ(FIRST[P].LINE, ERROR->LINE) << PROGS[P] << "\n" << CHECK.OUT;
      }
      continue;
    }
    std::set<std::string> NAMED;
    for (const TLINE& X : F)
      for (const char* P : PROGS)
        if (CONTAINS(X.STOPS, P)) NAMED.insert(P);
    EXPECT_EQ(NAMED, STOPPED) << CHECK.OUT;
    for (size_t P = 0; P < PROGS.size(); ++P) {
      if (!STOPPED.count(PROGS[P])) continue;
      bool AT = false;
      for (const TLINE& X : F) AT = AT || (X.LINE == FIRST[P].LINE && X.KIND == FIRST[P].KIND && CONTAINS(X.STOPS, PROGS[P]));
      EXPECT_TRUE(AT) << PROGS[P] << " stops at line " << FIRST[P].LINE << "\n" << CHECK.OUT;
    }
  }
}

// ---------------------------------------------------------------------------
// Files of very many defects, and the report's own failures.

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif

// Series file N in DIR without a count, then LINES lines that each hold a
// defect (an amplitude that is not a number).
void WRITEDEFECTS(const std::string& DIR, int N, long LINES) {
  std::string S = "h\r\nx\r\nc\r\n";
  S.reserve(S.size() + 3 * static_cast<size_t>(LINES));
  for (long X = 0; X < LINES; ++X) S += "x\r\n";
  WRITEFILE(SERIESFILE(DIR, N), S);
}

// The peak resident memory (KiB) of SHELLCOMMAND run in DIR, its output
// dropped.
long PEAKKB(const std::string& DIR, const std::string& SHELLCOMMAND) {
  const pid_t P = ::fork();
  if (P == 0) {
    if (::chdir(DIR.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout) ||
        !std::freopen("/dev/null", "w", stderr))
      _exit(126);
    ::execl("/bin/sh", "sh", "-c", SHELLCOMMAND.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int ST = 0;
  struct rusage U {};
  while (::wait4(P, &ST, 0, &U) < 0) {
  }
  EXPECT_TRUE(WIFEXITED(ST) && WEXITSTATUS(ST) == 2) << SHELLCOMMAND;
  return U.ru_maxrss;
}

// Eight times as many defects take no more memory, in file 1 (read twice:
// it may hold more terms than its mirror images leave room for) and in
// another, whether the findings are listed or counted.
TEST(SeriesCheck, ManyDefectsInBoundedMemory) {
  if (EMULATED() || SANITIZED) GTEST_SKIP() << "the emulator's or the sanitizers' own memory";
  TSCRATCH D;
  WRITEEMPTYSERIES(D.PATH());
  for (int N : {1, 2}) {
    for (const char* OPTION : {"", " --all"}) {
      SCOPED_TRACE(FMT("puf%02d.txt%s", N, OPTION));
      WRITEDEFECTS(D.PATH(), N, 50000);
      const long FEW = PEAKKB(D.PATH(), PROGRAM("seriescheck") + OPTION);
      WRITEDEFECTS(D.PATH(), N, 400000);
      const long MANY = PEAKKB(D.PATH(), PROGRAM("seriescheck") + OPTION);
      EXPECT_LT(MANY - FEW, 4096) << FEW << " KiB for 50,000 defects, " << MANY << " KiB for 400,000";
    }
    WRITESERIES(D.PATH(), N, {});
  }
}

// The place of a finding line: its line and column, 0 for the file as a
// whole; -1 for any other line.
std::pair<long, long> PLACEOF(const std::string& X) {
  long L = 0, C = 0;
  if (std::sscanf(X.c_str(), "puf%*2d.txt:%ld:%ld:", &L, &C) == 2) return {L, C};
  return CONTAINS(X, ": error: ") || CONTAINS(X, ": warning: ") ? std::pair<long, long>{0, 0}
                                                                  : std::pair<long, long>{-1, -1};
}

// Findings of several kinds at random places of one file, some of them
// made out of their order (the line ends, counted first; a term cut short
// whose reading runs into the next line, read again): listed by line and
// column, the first 100 of a kind and a line that counts the rest, or
// with --all every one, the same first.
TEST(SeriesCheck, FindingsInOrderAtMost100OfAKind) {
  TSCRATCH D;
  WRITEEMPTYSERIES(D.PATH());
  auto TERM = [](int X, int MEC5) {
    return TERMLINE(FMT("  1.%016de-05", X), {1, 0, 0, 0, MEC5, 0}, {1, 0, 0, 0, 0, 0}, 'C');
  };
  std::vector<std::string> T;
  for (int X = 0; X < 130; ++X) {  // not a number
    T.push_back(TERM(X, 0));
    T.back()[4] = 'x';
  }
  for (int X = 0; X < 120; ++X) T.push_back(TERM(7, 0));                      // repeats
  for (int X = 0; X < 5; ++X) T.push_back(TERM(1000 + X, 31));                // stops two programs
  for (int X = 0; X < 40; ++X) T.push_back(TERM(2000 + X, 0));
  std::shuffle(T.begin(), T.end(), std::mt19937(3));
  // A term cut short: its reading takes the next term's amplitude for
  // MAR[6], and then reads that line again, a repeat.
  T.insert(T.begin() + 150, {TERM(7, 0).substr(0, 68), TERM(7, 0)});
  WRITESERIES(D.PATH(), 2, T);
  std::vector<std::string> L = LINESOF(D.PATH(), 2);
  L[200].pop_back();  // a line end without CR
  PUTLINES(D.PATH(), 2, L);

  const TRUN ALL = RUN(D.PATH(), PROGRAM("seriescheck") + " --all");
  const TRUN SOME = RUN(D.PATH(), PROGRAM("seriescheck"));
  EXPECT_EQ(ALL.STATUS, 2);
  EXPECT_EQ(SOME.STATUS, 2);
  // "error: KIND" or "warning: KIND".
  auto KINDOF = [](const std::string& X) {
    const size_t K = X.find(CONTAINS(X, ": error: ") ? ": error: " : ": warning: ") + 2;
    const size_t E = X.find(": ", X.find(": ", K) + 2);
    return X.substr(K, E - K);
  };
  std::vector<std::string> LISTED;  // --all, the findings alone
  std::pair<long, long> LAST{0, 0};
  std::map<std::string, int> KINDS;
  for (const std::string& X : REPORTLINES(ALL)) {
    const std::pair<long, long> P = PLACEOF(X);
    if (P.first < 0) continue;
    EXPECT_LE(LAST, P) << X;
    LAST = P;
    LISTED.push_back(X);
    ++KINDS[KINDOF(X)];
  }
  // The line read again: the repeat at its start, then the defect that the
  // term before met there.
  const std::string REREAD = FMT("puf02.txt:%d:", 4 + 151);
  std::vector<std::string> ON;
  for (const std::string& X : LISTED)
    if (X.rfind(REREAD, 0) == 0) ON.push_back(X);
  ASSERT_EQ(ON.size(), 2u) << ALL.OUT;
  EXPECT_TRUE(CONTAINS(ON[0], ":1: warning: Repeated term: ")) << ON[0];
  EXPECT_TRUE(CONTAINS(ON[1], ":3: error: Invalid numeric format: MAR[6] ")) << ON[1];
  EXPECT_TRUE(CONTAINS(ALL.OUT, FMT("puf02.txt:%d:1: warning: Mixed line ends: ", 201))) << ALL.OUT;
  EXPECT_EQ(KINDS["error: Invalid numeric format"], 131);
  EXPECT_EQ(KINDS["warning: Repeated term"], 120);
  EXPECT_EQ(KINDS["warning: Range check error"], 5);
  EXPECT_EQ(KINDS["warning: Mixed line ends"], 1);
  EXPECT_TRUE(CONTAINS(ALL.OUT, "puf02.txt: 297 terms, orders 1..1, ")) << ALL.OUT;
  EXPECT_TRUE(CONTAINS(ALL.OUT, ", 131 errors, 126 warnings\r\n")) << ALL.OUT;
  EXPECT_FALSE(CONTAINS(ALL.OUT, "not listed"));

  // Without --all: the first 100 of each kind, in the same order, and the
  // rest counted after them, before the summary.
  std::vector<std::string> FIRST;
  std::map<std::string, int> SEEN;
  for (const std::string& X : LISTED)
    if (++SEEN[KINDOF(X)] <= 100) FIRST.push_back(X);
  std::vector<std::string> GOT = REPORTLINES(SOME);
  GOT.erase(std::remove_if(GOT.begin(), GOT.end(), [](const std::string& X) { return !X.starts_with("puf02.txt"); }),
            GOT.end());
  ASSERT_EQ(GOT.size(), FIRST.size() + 3) << SOME.OUT;
  EXPECT_EQ(std::vector<std::string>(GOT.begin(), GOT.begin() + static_cast<long>(FIRST.size())), FIRST);
  const std::set<std::string> MORE(GOT.begin() + static_cast<long>(FIRST.size()), GOT.end() - 1);
  EXPECT_EQ(MORE, (std::set<std::string>{
                      "puf02.txt: Invalid numeric format: 31 more errors not listed (--all lists every one)",
                      "puf02.txt: Repeated term: 20 more warnings not listed (--all lists every one)"}));
  EXPECT_TRUE(CONTAINS(GOT.back(), ", 131 errors, 126 warnings")) << GOT.back();
}

// A report that cannot be written: status 3, and one line that says why
// on standard error, unless the reader of a pipe has gone; --help and
// --version alike.
TEST(SeriesCheck, AReportThatCannotBeWrittenHasItsOwnStatus) {
  TSCRATCH D;
  GENERATE(D.PATH(), 3);
  if (::access("/dev/full", W_OK) == 0) {
    for (const char* ARGS : {"", " --help", " --version"}) {
      const TRUN R = RUN(D.PATH(), PROGRAM("seriescheck") + ARGS + " >/dev/full");
      EXPECT_EQ(R.STATUS, 3) << ARGS;
      EXPECT_EQ(R.ERR, "seriescheck: cannot write the report: No space left on device\r\n") << ARGS;
    }
  }
  WRITEDEFECTS(D.PATH(), 2, 30000);
  const TRUN R = RUN(D.PATH(), "(" + PROGRAM("seriescheck") + " --all 2>err.txt; echo $? >status.txt) | head -1");
  EXPECT_TRUE(R.OUT.starts_with("puf01.txt: ") && R.OUT.find("\r\n") == R.OUT.size() - 2) << R.OUT;
  EXPECT_EQ(READFILE(D.FILE("status.txt")), "3\n");
  EXPECT_EQ(READFILE(D.FILE("err.txt")), "");
}

// A folder named with a line feed and an escape sequence, a field with a
// backslash and character 127, an option with an escape: every report
// stays one line, nothing in it steers a terminal, nothing is cut short.
TEST(SeriesCheck, NamesAndTextsFromOutsideStayOneLine) {
  TSCRATCH D;
  const std::string NAME = "nl\nfake: error: injected\x1b[2K", SHOWN = "nl\\nfake: error: injected\\x1B[2K";
  ASSERT_EQ(::mkdir(D.FILE(NAME).c_str(), 0755), 0);
  WRITESERIES(D.FILE(NAME), 1,
              {TERMLINE("1.0\\x\x7f", {1, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0}, 'S')});
  const TRUN R = RUN(D.PATH(), PROGRAM("seriescheck") + " --series '" + NAME + "'");
  EXPECT_EQ(R.STATUS, 2);
  const std::vector<std::string> LINES = REPORTLINES(R);
  ASSERT_EQ(LINES.size(), 2u * 27 + 1) << R.OUT;
  for (const std::string& X : LINES) {
    EXPECT_TRUE(X.starts_with("puf") || X.starts_with("total: ")) << X;
    for (unsigned char B : X) EXPECT_TRUE(B >= 32 && B != 127) << X;
  }
  EXPECT_EQ(LINES[0], "puf01.txt:4:1: error: Invalid numeric format: the amplitude \"1.0\\\\x\\x7F\" is not a number");
  EXPECT_TRUE(CONTAINS(LINES[2], "No such file or directory in the series folder /")) << LINES[2];
  EXPECT_TRUE(CONTAINS(LINES[2], "/" + SHOWN + ", which should hold")) << LINES[2];
  EXPECT_TRUE(CONTAINS(LINES.back(), "/" + SHOWN + ", 1 term, 27 errors, 0 warnings")) << LINES.back();

  // Refused before any file is read: one line on standard error.
  const std::string LONG = D.PATH() + "/" + std::string(250, 'a') + "/" + std::string(3000, 'b');
  const std::pair<std::string, std::string> REFUSED[] = {
      {" --series '" + NAME + "/none'", "cannot use the series folder '" + SHOWN + "/none': No such file or directory"},
      {" '--colour=\x1b[31m'", "unexpected argument '--colour=\\x1B[31m'"},
      {" --series " + LONG, "cannot use the series folder '" + LONG + "': No such file or directory"},
  };
  for (const auto& [ARGS, WHY] : REFUSED) {
    const TRUN X = RUN(D.PATH(), PROGRAM("seriescheck") + ARGS);
    EXPECT_EQ(X.STATUS, 2);
    EXPECT_EQ(X.OUT, "");
    EXPECT_EQ(SPLITLINES(X.ERR).at(0), "seriescheck: " + WHY);
    EXPECT_TRUE(X.ERR.ends_with("\r\n")) << X.ERR;
  }
}

}  // namespace

// termshort's order limit as a setting: a term of order 10 with an axis
// exponent outside the tables stops termall alone by default, and
// termshort too under --max-order 10; seriescheck says so when it is given
// the same limit.
TEST(SeriesCheck, TheOrderLimitOfTermshortAsASetting) {
  TSCRATCH D, O;
  WRITEEMPTYSERIES(D.PATH());
  WRITESERIES(D.PATH(), 4, {TERMLINE("  1.0000000000000000e-05", {10, 0, 0, 0, 31, 0}, {1, 0, 0, 0, 0, 0}, 'C')});
  for (const char* LIMIT : {"", " --max-order 10"}) {
    SCOPED_TRACE(LIMIT);
    const TRUN C = RUN(D.PATH(), PROGRAM("seriescheck") + " --quiet" + LIMIT);
    const TRUN S = RUN(D.PATH(), PROGRAM("termshort") + " --quiet --output " + O.PATH() + LIMIT);
    const bool STOPS = *LIMIT != '\0';
    EXPECT_EQ(S.STATUS, STOPS ? 217 : 0) << S.OUT;
    EXPECT_EQ(C.STATUS, 1) << C.OUT;
    EXPECT_NE(C.OUT.find(STOPS ? "stops termshort and termall" : "stops termall\r"), std::string::npos) << C.OUT;
  }
}
