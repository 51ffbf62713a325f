// Fatal errors end to end: status 217, one report line at the end of the
// console, and what stays on disk: the files closed before the failure
// complete and as a good run writes them, the file open at the failure
// cut after a complete line without its closing line, the count table as
// it was after the last completed perturbed planet, nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness.hpp"

namespace {

struct TPROG {
  const char* NAME;
  const char* PREFIX;
  const char* TABLE;
  const char* CLOSE;
};
const TPROG SHORT{"termshort", "roho", "rohotabl.txt", "      short p. terms number"};
const TPROG SECUL{"termsecul", "roco", "rocotabl.txt", "      secular terms number"};
const TPROG ALL{"termall", "robo", "robotabl.txt", "      terms number"};
const TPROG* const PROGS[] = {&SHORT, &SECUL, &ALL};

std::string PAIRNAME(const TPROG& P, int I, int J) { return FMT("%s%02d%02d.txt", P.PREFIX, I, J); }

// The ordered pairs in the order the programs work them.
std::vector<std::pair<int, int>> PAIRSBEFORE(int I, int J) {
  std::vector<std::pair<int, int>> V;
  for (int X = 1; X <= 8; ++X)
    for (int Y = 1; Y <= 8; ++Y) {
      if (X == Y) continue;
      if (X == I && Y == J) return V;
      V.emplace_back(X, Y);
    }
  return V;
}

// Sample data, the same in every folder.
void GENERATE(const std::string& DIR) {
  TRUN R = RUN(DIR, TOOL("seriesgen") + " --scale tiny --seed 7 .");
  ASSERT_EQ(R.STATUS, 0) << R.OUT << R.ERR;
}

std::string SERIESPATH(const std::string& DIR, int N) { return DIR + FMT("/puf%02d.txt", N); }

// Line NO (from 1) of series file N through EDIT.
template <typename TEDIT>
void EDITLINE(const std::string& DIR, int N, size_t NO, TEDIT EDIT) {
  std::vector<std::string> L = SPLITLINES(READFILE(SERIESPATH(DIR, N)));
  ASSERT_LE(NO, L.size());
  EDIT(L[NO - 1]);
  std::string S;
  for (const std::string& X : L) S += X + "\r\n";
  WRITEFILE(SERIESPATH(DIR, N), S);
}

std::map<std::string, std::string> SERIESBYTES(const std::string& DIR) {
  std::map<std::string, std::string> M;
  for (const std::string& N : LISTDIR(DIR))
    if (N.rfind("puf", 0) == 0) M[N] = READFILE(DIR + "/" + N);
  return M;
}

// Blanks, then at least one digit, then nothing else.
bool ISCOUNT(const std::string& S) {
  const size_t K = S.find_first_not_of(' ');
  return K != std::string::npos && S.find_first_not_of("0123456789", K) == std::string::npos;
}

bool ISCLOSING(const TPROG& P, const std::string& L, int I, int J) {
  return L.size() == 18 + std::string(P.CLOSE).size() && ISCOUNT(L.substr(0, 10)) &&
         L.substr(10, 8) == FMT("%4d%4d", I, J) && L.substr(18) == P.CLOSE;
}

struct TFAILURE {
  std::string KIND;
  int I, J;           // the pair at work
  bool OPEN;          // its file had been created
  std::string NAME;   // named in the report
  std::string NEXT;   // end of the good run's line that follows the cut
};

// Runs P in BAD, which must fail as F says, and (when GOOD is given) in
// GOOD, data equal to BAD up to the failure, which must succeed.
// The failed run goes to RESULT when given.
void CHECKFAILURE(const TPROG& P, const std::string& BAD, const std::string& GOOD, const TFAILURE& F,
                  TRUN* RESULT = nullptr) {
  SCOPED_TRACE(std::string(P.NAME) + ": " + F.KIND);
  const std::vector<std::string> BEFORE = LISTDIR(BAD);
  const auto SERIES = SERIESBYTES(BAD);
  const TRUN R = RUN(BAD, PROGRAM(P.NAME));
  if (RESULT != nullptr) *RESULT = R;
  TRUN G;
  if (!GOOD.empty()) {
    G = RUN(GOOD, PROGRAM(P.NAME));
    ASSERT_EQ(G.STATUS, 0) << G.OUT;
  }

  // Status and console.
  EXPECT_EQ(R.STATUS, 217) << R.OUT;
  ASSERT_GE(R.OUT.size(), 2u);
  EXPECT_EQ(R.OUT.substr(R.OUT.size() - 2), "\r\n");
  const std::vector<std::string> C = R.LINES();
  ASSERT_FALSE(C.empty());
  // Standard error, another file here, shows the report too.
  EXPECT_EQ(R.ERR, C.back() + "\r\n");
  int WITHKIND = 0;
  for (const std::string& L : C) WITHKIND += L.find(F.KIND) != std::string::npos;
  EXPECT_EQ(WITHKIND, 1) << R.OUT;
  EXPECT_NE(C.back().find(F.KIND), std::string::npos) << C.back();
  EXPECT_NE(C.back().find(F.NAME), std::string::npos) << C.back();
  const std::vector<std::pair<int, int>> DONE = PAIRSBEFORE(F.I, F.J);
  EXPECT_EQ(C.size() - 1, 4 * DONE.size() + (F.OPEN ? 2 : 0)) << R.OUT;
  if (!GOOD.empty()) {
    const std::vector<std::string> GC = G.LINES();
    for (size_t K = 0; K + 1 < C.size() && K < GC.size(); ++K) EXPECT_EQ(C[K], GC[K]) << "console line " << K + 1;
  }

  // Files: those there before, the pairs completed, the open one, the
  // table once a perturbed planet is complete.
  std::vector<std::string> WANT = BEFORE;
  for (auto [X, Y] : DONE) WANT.push_back(PAIRNAME(P, X, Y));
  if (F.OPEN) WANT.push_back(PAIRNAME(P, F.I, F.J));
  if (F.I > 1) WANT.push_back(P.TABLE);
  std::sort(WANT.begin(), WANT.end());
  WANT.erase(std::unique(WANT.begin(), WANT.end()), WANT.end());
  EXPECT_EQ(LISTDIR(BAD), WANT);
  EXPECT_TRUE(SERIESBYTES(BAD) == SERIES) << "series files changed";

  // Closed files: complete.
  std::map<std::pair<int, int>, std::string> CLOSED;
  for (auto [X, Y] : DONE) {
    const std::string N = PAIRNAME(P, X, Y);
    if (!EXISTS(BAD + "/" + N)) continue;
    const std::string B = READFILE(BAD + "/" + N);
    const std::vector<std::string> L = SPLITLINES(B);
    ASSERT_FALSE(L.empty()) << N;
    EXPECT_TRUE(ISCLOSING(P, L.back(), X, Y)) << N << ": " << L.back();
    CLOSED[{X, Y}] = L.back().substr(0, 10);
    if (!GOOD.empty()) {
      EXPECT_TRUE(B == READFILE(GOOD + "/" + N)) << N << " differs from the good run";
    }
  }

  // The open file: complete lines, no closing line, the good run's start.
  if (F.OPEN) {
    const std::string N = PAIRNAME(P, F.I, F.J);
    ASSERT_TRUE(EXISTS(BAD + "/" + N)) << N;
    const std::string B = READFILE(BAD + "/" + N);
    ASSERT_GE(B.size(), 2u) << N;
    EXPECT_EQ(B.substr(B.size() - 2), "\r\n") << N;
    for (const std::string& L : SPLITLINES(B)) EXPECT_FALSE(ISCLOSING(P, L, F.I, F.J)) << N << ": " << L;
    if (!GOOD.empty()) {
      const std::string GB = READFILE(GOOD + "/" + N);
      ASSERT_LT(B.size(), GB.size()) << N;
      EXPECT_EQ(GB.substr(0, B.size()), B) << N << " is not the start of the good run's file";
      const std::string NEXT = GB.substr(B.size(), GB.find("\r\n", B.size()) - B.size());
      EXPECT_TRUE(NEXT.size() >= F.NEXT.size() && NEXT.substr(NEXT.size() - F.NEXT.size()) == F.NEXT)
          << N << ": the good run goes on with \"" << NEXT << "\", expected \"..." << F.NEXT << "\"";
    }
  }

  // The count table: rows of the completed planets, zeros after them.
  if (F.I > 1) {
    const std::vector<std::string> T = SPLITLINES(READFILE(BAD + "/" + P.TABLE));
    ASSERT_EQ(T.size(), 9u);
    std::vector<std::string> GT;
    if (!GOOD.empty()) GT = SPLITLINES(READFILE(GOOD + "/" + P.TABLE));
    for (int X = 1; X <= 8; ++X) {
      const std::string& ROW = T[static_cast<size_t>(X)];
      if (X < F.I) {
        if (!GT.empty()) {
          EXPECT_EQ(ROW, GT[static_cast<size_t>(X)]);
        }
        // Each count as in the file's closing line.
        std::vector<long> V;
        for (size_t Q = 0; Q < ROW.size();) {
          while (Q < ROW.size() && ROW[Q] == ' ') ++Q;
          size_t E = ROW.find(' ', Q);
          if (Q < ROW.size()) V.push_back(std::stol(ROW.substr(Q, E - Q)));
          Q = E == std::string::npos ? ROW.size() : E;
        }
        ASSERT_EQ(V.size(), 10u) << ROW;
        long SUM = 0;
        for (int Y = 1; Y <= 8; ++Y) {
          SUM += V[static_cast<size_t>(Y)];
          if (Y == X) {
            EXPECT_EQ(V[static_cast<size_t>(Y)], 0);
          } else if (CLOSED.count({X, Y}) != 0) {
            EXPECT_EQ(V[static_cast<size_t>(Y)], std::stol(CLOSED[{X, Y}])) << "table " << X << "," << Y;
          }
        }
        EXPECT_EQ(V[9], SUM) << ROW;
      } else {
        // The row number, then zeros and blanks only.
        const size_t K = ROW.find_first_not_of(' ');
        EXPECT_TRUE(K != std::string::npos && ROW.compare(K, std::to_string(X).size() + 2, std::to_string(X) + "  ") == 0 &&
                    ROW.find_first_not_of(" 0", K + 3) == std::string::npos && ROW.back() == '0')
            << ROW;
        if (!GT.empty()) {
          EXPECT_EQ(ROW.size(), GT[static_cast<size_t>(X)].size()) << ROW;
        }
      }
    }
    if (!GT.empty()) {
      EXPECT_EQ(T[0], GT[0]);
    }
  }
}

// ---------------------------------------------------------------------------
// Faults of a series file: every one comes while the first pair reads the
// files, so the open file is xx0102.txt and no table exists.

TEST(FatalErrors, MissingSeriesFile) {
  TSCRATCH G;
  GENERATE(G.PATH());
  for (const TPROG* P : PROGS) {
    TSCRATCH B;
    GENERATE(B.PATH());
    std::filesystem::remove(SERIESPATH(B.PATH(), 5));
    CHECKFAILURE(*P, B.PATH(), G.PATH(),
                 {"File not found", 1, 2, true, "puf05.txt", "   1   2   5  before terms number"});
  }
}

TEST(FatalErrors, BadNumber) {
  TSCRATCH G;
  GENERATE(G.PATH());
  for (const TPROG* P : PROGS) {
    TSCRATCH B;
    GENERATE(B.PATH());
    // The amplitude of term 3: "d.dddde-XX" -> "d.ddddx-XX".
    EDITLINE(B.PATH(), 9, 6, [](std::string& L) {
      ASSERT_EQ(L[20], 'e') << L;
      L[20] = 'x';
    });
    CHECKFAILURE(*P, B.PATH(), G.PATH(),
                 {"Invalid numeric format", 1, 2, true, "puf09.txt", "   1   2   9  before terms number"});
  }
}

TEST(FatalErrors, IntegerOutOfRange) {
  TSCRATCH G;
  GENERATE(G.PATH());
  for (const TPROG* P : PROGS) {
    TSCRATCH B;
    GENERATE(B.PATH());
    EDITLINE(B.PATH(), 11, 5, [](std::string& L) { L.replace(32, 4, " 128"); });  // MEC[3] of term 2
    CHECKFAILURE(*P, B.PATH(), G.PATH(),
                 {"Range check error", 1, 2, true, "puf11.txt", "   1   2  11  before terms number"});
  }
}

// A count above 74967: nothing of that file's block is written.
TEST(FatalErrors, CountTooLarge) {
  TSCRATCH G;
  GENERATE(G.PATH());
  for (const TPROG* P : PROGS) {
    TSCRATCH B;
    GENERATE(B.PATH());
    EDITLINE(B.PATH(), 3, 2, [](std::string& L) { L = "   74968"; });
    CHECKFAILURE(*P, B.PATH(), G.PATH(),
                 {"Range check error", 1, 2, true, "puf03.txt", "   1   2   3  before terms number"});
  }
}

TEST(FatalErrors, TruncatedFile) {
  TSCRATCH G;
  GENERATE(G.PATH());
  for (const TPROG* P : PROGS) {
    TSCRATCH B;
    GENERATE(B.PATH());
    std::string S = READFILE(SERIESPATH(B.PATH(), 13));
    S.erase(S.rfind("\r\n", S.size() - 3) + 2);  // the last term line
    WRITEFILE(SERIESPATH(B.PATH(), 13), S);
    CHECKFAILURE(*P, B.PATH(), G.PATH(),
                 {"Read past end of file", 1, 2, true, "puf13.txt", "   1   2  13  before terms number"});
  }
}

TEST(FatalErrors, BadCodeLetter) {
  TSCRATCH G;
  GENERATE(G.PATH());
  for (const TPROG* P : PROGS) {
    TSCRATCH B;
    GENERATE(B.PATH());
    EDITLINE(B.PATH(), 7, 8, [](std::string& L) {
      ASSERT_TRUE(L.back() == 'S' || L.back() == 'C') << L;
      L.back() = 'X';
    });
    CHECKFAILURE(*P, B.PATH(), G.PATH(),
                 {"Invalid term code", 1, 2, true, "puf07.txt", "   1   2   7  before terms number"});
  }
}

// ---------------------------------------------------------------------------
// Faults of the term pipeline, on hand-made series.

const std::vector<int> Z6{0, 0, 0, 0, 0, 0};

// An axis exponent of 31 has no power: the amplitude test of files 2..27
// (termshort, termall) fails; termsecul does not test amplitudes, and
// file 1 is never tested.
TEST(FatalErrors, AxisExponentOutsidePowerTable) {
  TSCRATCH G;
  WRITEEMPTYSERIES(G.PATH());
  WRITESERIES(G.PATH(), 2, {TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 30, 0}, Z6, 'C')});
  for (const TPROG* P : {&SHORT, &ALL}) {
    TSCRATCH B;
    WRITEEMPTYSERIES(B.PATH());
    WRITESERIES(B.PATH(), 2, {TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 31, 0}, Z6, 'C')});
    // Cut after the block line of file 2.
    CHECKFAILURE(*P, B.PATH(), G.PATH(), {"Range check error", 1, 2, true, "puf02.txt", "         terms number"});
  }
  {
    TSCRATCH B;
    WRITEEMPTYSERIES(B.PATH());
    WRITESERIES(B.PATH(), 4, {TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 0, -31}, Z6, 'C')});
    CHECKFAILURE(ALL, B.PATH(), "", {"Range check error", 1, 2, true, "puf04.txt", ""});
  }
  TSCRATCH S;
  WRITEEMPTYSERIES(S.PATH());
  WRITESERIES(S.PATH(), 2, {TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 31, 0}, Z6, 'C')});
  TRUN R = RUN(S.PATH(), PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 0) << R.OUT;
  const std::vector<std::string> L = SPLITLINES(READFILE(S.FILE("roco0102.txt")));
  ASSERT_GE(L.size(), 9u);
  EXPECT_EQ(L[8], "  1  2   1.0000000000000000e+00    0   0   0   0  31   0    0   0   0   0   0   0  C      0.00");

  TSCRATCH ONE;
  WRITEEMPTYSERIES(ONE.PATH());
  WRITESERIES(ONE.PATH(), 1, {TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 31, -31}, Z6, 'C')});
  for (const TPROG* P : PROGS) EXPECT_EQ(RUN(ONE.PATH(), PROGRAM(P->NAME)).STATUS, 0) << P->NAME;
}

// An order of 254 does not fit the order's shortint: termshort computes it
// for every file (order filter), termall for files 2..27 (halving),
// termsecul never.
TEST(FatalErrors, OrderOutOfRange) {
  const std::vector<int> BIG{127, 127, 0, 0, 0, 0}, SMALL{4, 4, 0, 0, 0, 0};
  for (int N : {1, 3}) {
    SCOPED_TRACE("file " + std::to_string(N));
    TSCRATCH G;
    WRITEEMPTYSERIES(G.PATH());
    WRITESERIES(G.PATH(), N, {TERMLINE("  1.0000000000000000e+00", SMALL, Z6, 'C')});
    auto MAKEBAD = [&](const std::string& D) {
      WRITEEMPTYSERIES(D);
      WRITESERIES(D, N, {TERMLINE("  1.0000000000000000e+00", BIG, Z6, 'C')});
    };
    const std::string FILE = FMT("puf%02d.txt", N);
    {
      // termshort fails in the order filter, before the file's block line.
      TSCRATCH B;
      MAKEBAD(B.PATH());
      CHECKFAILURE(SHORT, B.PATH(), G.PATH(),
                   {"Range check error", 1, 2, true, FILE, FMT("%4d%4d%4d  before terms number", 1, 2, N)});
    }
    {
      TSCRATCH B;
      MAKEBAD(B.PATH());
      if (N == 1) {
        EXPECT_EQ(RUN(B.PATH(), PROGRAM("termall")).STATUS, 0);
      } else {
        // termall fails in the amplitude test, after the block line.
        CHECKFAILURE(ALL, B.PATH(), G.PATH(), {"Range check error", 1, 2, true, FILE, "         terms number"});
      }
    }
    TSCRATCH B;
    MAKEBAD(B.PATH());
    EXPECT_EQ(RUN(B.PATH(), PROGRAM("termsecul")).STATUS, 0);
  }
}

// File 1 mirrored must fit one row table: 2 * 37483 = 74966 rows do,
// 2 * 37484 = 74968 do not; the first pair that mirrors is 2-1. Each pair
// also has one secular term of file 2, so the table's row 1 is not empty.
TEST(FatalErrors, FirstFileTooLargeToMirror) {
  const std::string T = TERMLINE("  1.0000000000000000e+00", Z6, {1, 0, 0, 0, 0, 0}, 'S');  // short
  auto MAKE = [&](const std::string& D, int M) {
    WRITEEMPTYSERIES(D);
    WRITESERIES(D, 1, std::vector<std::string>(static_cast<size_t>(M), T));
    WRITESERIES(D, 2, {TERMLINE("  1.0000000000000000e+00", Z6, Z6, 'C')});
  };
  {
    TSCRATCH B;
    MAKE(B.PATH(), 37484);
    TRUN R;
    CHECKFAILURE(SECUL, B.PATH(), "", {"Range check error", 2, 1, true, "puf01.txt", ""}, &R);
    EXPECT_EQ(READFILE(B.FILE("roco0201.txt")),
              "   2  perturbed  planet is        Venus\r\n"
              "   1  perturbing planet is      Mercury\r\n"
              "     37484   2   1   1  before terms number\r\n");
    EXPECT_EQ(READFILE(B.FILE("rocotabl.txt")),
              "        1     2     3     4     5     6     7     8 \r\n"
              " 1      0     1     1     1     1     1     1     1      7\r\n"
              " 2      0     0     0     0     0     0     0     0      0\r\n"
              " 3      0     0     0     0     0     0     0     0      0\r\n"
              " 4      0     0     0     0     0     0     0     0      0\r\n"
              " 5      0     0     0     0     0     0     0     0      0\r\n"
              " 6      0     0     0     0     0     0     0     0      0\r\n"
              " 7      0     0     0     0     0     0     0     0      0\r\n"
              " 8      0     0     0     0     0     0     0     0      0\r\n");
    const std::vector<std::string> C = R.LINES();
    ASSERT_EQ(C.size(), 31u);
    EXPECT_EQ(C[28], "   2  perturbed  planet is        Venus");
    EXPECT_EQ(C[29], "   1  perturbing planet is      Mercury");
  }
  TSCRATCH B;
  MAKE(B.PATH(), 37483);
  TRUN R = RUN(B.PATH(), PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 0) << R.LINES().back();
  const std::vector<std::string> L = SPLITLINES(READFILE(B.FILE("roco0201.txt")));
  ASSERT_GE(L.size(), 5u);
  EXPECT_EQ(L[2], "     37483   2   1   1  before terms number");
  EXPECT_EQ(L[3], "         0           0         terms number");
  EXPECT_EQ(L.back(), "         1   2   1      secular terms number");
}

// ---------------------------------------------------------------------------
// An output file that cannot be created (a folder of that name) at pair
// 3-5: planets 1 and 2 are complete, 3-1 .. 3-4 closed, no file open.
TEST(FatalErrors, OutputFileCannotBeCreated) {
  TSCRATCH G;
  GENERATE(G.PATH());
  for (const TPROG* P : PROGS) {
    TSCRATCH B;
    GENERATE(B.PATH());
    const std::string N = PAIRNAME(*P, 3, 5);
    std::filesystem::create_directory(B.FILE(N));
    CHECKFAILURE(*P, B.PATH(), G.PATH(), {"File access denied", 3, 5, false, N, ""});
    EXPECT_TRUE(LISTDIR(B.FILE(N)).empty());
  }
}

}  // namespace
