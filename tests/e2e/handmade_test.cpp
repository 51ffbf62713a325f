// The three programs over small hand-made series, every expected line
// worked out by hand from the planet data:
//   FAMUS[J] = k^2 / (mass ratio):  1 4.9125e-11  2 7.2435e-10  5 2.8253e-7
//   VALAN (rad/day): 3 1.720217855e-2, 5 1.450346717e-3, 6 5.835877770e-4,
//                    8 1.043880573e-4
//   P = 2 pi / (Q * 365.25):  VALAN[3] -> 1.0000, VALAN[5] -> 11.8609,
//   VALAN[6] -> 29.4770, VALAN[8] -> 164.7930, VALAN[1] -> 0.2408,
//   2 VALAN[5] - 5 VALAN[6] = -1.7245e-5 -> -997.5051 (|Q| < 2 pi / 73050
//   = 8.6012e-5, the only secular pair of that combination; (3,4) gives
//   -1.5188).
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "harness.hpp"

namespace {

struct TPROG {
  const char* NAME;
  const char* PREFIX;
  const char* TABLE;
  const char* CLOSE;
  const char* KIND;  // "short p. ", "secular ", ""
};
const TPROG SHORT{"termshort", "roho", "rohotabl.txt", "      short p. terms number", "short p. "};
const TPROG SECUL{"termsecul", "roco", "rocotabl.txt", "      secular terms number", "secular "};
const TPROG ALL{"termall", "robo", "robotabl.txt", "      terms number", ""};

std::string PAIRNAME(const TPROG& P, int I, int J) { return FMT("%s%02d%02d.txt", P.PREFIX, I, J); }

std::string JOIN(const std::vector<std::string>& L) {
  std::string S;
  for (const std::string& X : L) S += X + "\r\n";
  return S;
}

// Blocks 4..27 of a pair whose series files 4..27 are empty.
void EMPTYBLOCKS(std::vector<std::string>& E, int I, int J, int FROM, int K, int L) {
  for (int N = FROM; N <= 27; ++N) {
    E.push_back(FMT("%10d%4d%4d%4d  before terms number", 0, I, J, N));
    E.push_back(FMT("%10d%12d         terms number", 0, K));
    E.push_back(FMT("%10d%12d  after  terms number", 0, L));
  }
}

// Compares a file line by line (for readable failures), then byte for byte.
void EXPECTFILE(const std::string& PATH, const std::vector<std::string>& E) {
  ASSERT_TRUE(EXISTS(PATH)) << PATH;
  const std::string GOT = READFILE(PATH);
  const std::vector<std::string> L = SPLITLINES(GOT);
  for (size_t K = 0; K < E.size() && K < L.size(); ++K) EXPECT_EQ(L[K], E[K]) << PATH << " line " << K + 1;
  EXPECT_EQ(L.size(), E.size()) << PATH;
  // Same lines: then every one must end with CR LF, the last included.
  if (L == E) {
    EXPECT_TRUE(GOT == JOIN(E)) << PATH << ": line ends differ";
  }
}

// Console of a complete run, from the pair totals K[I][J].
std::string CONSOLEOF(const TPROG& P, const int (&K)[9][9]) {
  std::vector<std::string> E;
  for (int I = 1; I <= 8; ++I) {
    int L = 0;
    for (int J = 1; J <= 8; ++J) {
      if (J == I) continue;
      L += K[I][J];
      E.push_back(FMT("%4d  perturbed  planet is %s", I, NAMES[I]));
      E.push_back(FMT("%4d  perturbing planet is %s", J, NAMES[J]));
      E.push_back(FMT("%4d%4d%15d  our number of %sterms", I, J, K[I][J], P.KIND));
      E.push_back(FMT("%4d%4d%15d  all number of %sterms", I, J, L, P.KIND));
    }
  }
  return JOIN(E);
}

// Count table in a program's layout (TA, TB, TC, TD, TE, TG).
std::string TABLEOF(int TA, int TB, int TC, int TD, int TE, int TG, const int (&K)[9][9]) {
  std::string H(static_cast<size_t>(TA), ' ');
  for (int Y = 1; Y <= 8; ++Y) H += FMT("%*d%*s", TB, Y, TC, "");
  std::vector<std::string> E{H};
  for (int X = 1; X <= 8; ++X) {
    std::string R = FMT("%*d  ", TD, X);
    int T = 0;
    for (int Y = 1; Y <= 8; ++Y) {
      R += FMT("%*d ", TE, K[X][Y]);
      T += K[X][Y];
    }
    E.push_back(R + FMT("%*d", TG, T));
  }
  return JOIN(E);
}

const std::vector<int> Z6{0, 0, 0, 0, 0, 0};

// ---------------------------------------------------------------------------
// Set A: file 1 three terms, file 2 five terms, file 3 three terms of
// orders 8, 9 and -3; files 4..27 empty. Every term's amplitude estimate is
// far above the limit for every pair, so the selection alone decides:
//   file 1: r1 Q = 0 (secular), r2 Q = VALAN[NPA] (short), r3 order 9, Q = 0
//   file 2: s1 Q = 2 VALAN[NPA] - 5 VALAN[NPB] (secular only for 5-6),
//           s2 Q = 0, s3 Q = VALAN[NPB], s4 Q = VALAN[NPA], s5 Q = -VALAN[NPA]
//   file 3: t1..t3 Q = 0
// Pair totals (P56: the pair is 5-6 or 6-5; [I>J] mirrored file 1 rows):
//   termshort 2[I>J] + 3 + (1 - P56)   (r2 twice; s1, s3, s4, s5)
//   termsecul 4[I>J] + 1 + P56 + 3     (r1, r3 twice; s2, s1; t1..t3)
//   termall   6[I>J] + 5 + 3
class HANDMADESETA : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    D = std::make_unique<TSCRATCH>();
    WRITEEMPTYSERIES(D->PATH());
    WRITESERIES(D->PATH(), 1,
                {TERMLINE("  2.7182818284590452e-03", {1, 2, 0, 0, 0, 0}, Z6, 'C'),
                 TERMLINE(" -1.2500000000000000e-04", {0, 0, 0, 0, 1, -1}, {1, 0, 0, 0, 0, 0}, 'S'),
                 TERMLINE("  7.0000000000000000e-06", {9, 0, 0, 0, 0, 0}, Z6, 'C')});
    WRITESERIES(D->PATH(), 2,
                {TERMLINE("  1.0000000000000000e+02", Z6, {2, 0, 0, -5, 0, 0}, 'S'),
                 TERMLINE("  3.0000000000000000e-04", Z6, Z6, 'C'),
                 TERMLINE("  4.0000000000000000e-03", {0, 1, 1, 0, 2, 0}, {0, 0, 0, 1, 0, 0}, 'C'),
                 TERMLINE(" -5.0000000000000000e-02", Z6, {1, 3, -2, 0, 7, -8}, 'S'),
                 TERMLINE("  5.0000000000000000e-02", Z6, {-1, 0, 0, 0, 0, 0}, 'C')});
    WRITESERIES(D->PATH(), 3,
                {TERMLINE("  1.0000000000000000e+00", {2, 2, 2, 2, 0, 0}, Z6, 'C'),
                 TERMLINE("  1.0000000000000000e+00", {3, 2, 2, 2, 0, 0}, Z6, 'S'),
                 TERMLINE(" -1.0000000000000000e+00", {-3, 0, 0, 0, 0, 0}, Z6, 'C')});
    for (const TPROG* P : {&SHORT, &SECUL, &ALL}) RUNS.push_back(RUN(D->PATH(), PROGRAM(P->NAME)));
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J) {
        if (I == J) continue;
        const int M = I > J ? 1 : 0, P56 = (I + J == 11 && I * J == 30) ? 1 : 0;
        KSHORT[I][J] = 2 * M + 3 + (1 - P56);
        KSECUL[I][J] = 4 * M + 1 + P56 + 3;
        KALL[I][J] = 6 * M + 8;
      }
  }
  static void TearDownTestSuite() {
    D.reset();
    RUNS.clear();
  }
  static std::string PATHOF(const std::string& NAME) { return D->FILE(NAME); }

  static std::unique_ptr<TSCRATCH> D;
  static std::vector<TRUN> RUNS;  // termshort, termsecul, termall
  static int KSHORT[9][9], KSECUL[9][9], KALL[9][9];
};
std::unique_ptr<TSCRATCH> HANDMADESETA::D;
std::vector<TRUN> HANDMADESETA::RUNS;
int HANDMADESETA::KSHORT[9][9], HANDMADESETA::KSECUL[9][9], HANDMADESETA::KALL[9][9];

TEST_F(HANDMADESETA, AllProgramsCompleteWithStatusZero) {
  ASSERT_EQ(RUNS.size(), 3u);
  for (const TRUN& R : RUNS) {
    EXPECT_EQ(R.STATUS, 0) << R.OUT;
    EXPECT_EQ(R.ERR, "");
  }
}

// termsecul, pair 6-5: the mirrored file-1 rows, the resonance 2:5 of
// Jupiter and Saturn as a secular term, the zero frequency, the orders of
// file 3 untouched. L starts at 4 * 8 = 32 (pairs 6-1 .. 6-4).
TEST_F(HANDMADESETA, TermseculPairSixFiveWholeFile) {
  std::vector<std::string> E{
      "   6  perturbed  planet is       Saturn",
      "   5  perturbing planet is      Jupiter",
      "         3   6   5   1  before terms number",
      "         4           4         terms number",
      "         4          36  after  terms number",
      "  5  6   2.7182818284590452e-03    1   2   0   0   0   0    0   0   0   0   0   0  C      0.00",
      "  5  6   7.0000000000000000e-06    9   0   0   0   0   0    0   0   0   0   0   0  C      0.00",
      "  6  5  -2.7182818284590452e-03    1   2   0   0   0   0    0   0   0   0   0   0  C      0.00",
      "  6  5  -7.0000000000000000e-06    9   0   0   0   0   0    0   0   0   0   0   0  C      0.00",
      "         5   6   5   2  before terms number",
      "         2           6         terms number",
      "         2          38  after  terms number",
      "  5  6   1.0000000000000000e+02    0   0   0   0   0   0    2   0   0  -5   0   0  S   -997.51",
      "  5  6   3.0000000000000000e-04    0   0   0   0   0   0    0   0   0   0   0   0  C      0.00",
      "         3   6   5   3  before terms number",
      "         3           9         terms number",
      "         3          41  after  terms number",
      "  5  6   1.0000000000000000e+00    2   2   2   2   0   0    0   0   0   0   0   0  C      0.00",
      "  5  6   1.0000000000000000e+00    3   2   2   2   0   0    0   0   0   0   0   0  S      0.00",
      "  5  6  -1.0000000000000000e+00   -3   0   0   0   0   0    0   0   0   0   0   0  C      0.00",
  };
  EMPTYBLOCKS(E, 6, 5, 4, 9, 41);
  E.push_back("         9   6   5      secular terms number");
  EXPECTFILE(PATHOF("roco0605.txt"), E);
}

// termshort, pair 6-5: order 9 dropped before the block count, sine and
// cosine exchanged (S with the amplitude negated), the periods of VALAN[5]
// and VALAN[6], the secular 2:5 term and file 3 (all secular) gone.
// L starts at 4 * 6 = 24.
TEST_F(HANDMADESETA, TermshortPairSixFiveWholeFile) {
  std::vector<std::string> E{
      "   6  perturbed  planet is       Saturn",
      "   5  perturbing planet is      Jupiter",
      "         2   6   5   1  before terms number",
      "         2           2         terms number",
      "         2          26  after  terms number",
      "  5  6   1.2500000000000000e-04    0   0   0   0   1  -1    1   0   0   0   0   0  C    11.86",
      "  6  5  -1.2500000000000000e-04    0   0   0   0   1  -1    1   0   0   0   0   0  C    29.48",
      "         5   6   5   2  before terms number",
      "         3           5         terms number",
      "         3          29  after  terms number",
      "  5  6   4.0000000000000000e-03    0   1   1   0   2   0    0   0   0   1   0   0  S    29.48",
      "  5  6   5.0000000000000000e-02    0   0   0   0   0   0    1   3  -2   0   7  -8  C    11.86",
      "  5  6   5.0000000000000000e-02    0   0   0   0   0   0   -1   0   0   0   0   0  S   -11.86",
      "         2   6   5   3  before terms number",
      "         0           5         terms number",
      "         0          29  after  terms number",
  };
  EMPTYBLOCKS(E, 6, 5, 4, 5, 29);
  E.push_back("         5   6   5      short p. terms number");
  EXPECTFILE(PATHOF("roho0605.txt"), E);
}

// termall, pair 6-5: every row, unchanged, without periods. L starts at
// 4 * 14 = 56.
TEST_F(HANDMADESETA, TermallPairSixFiveWholeFile) {
  std::vector<std::string> E{
      "   6  perturbed  planet is       Saturn",
      "   5  perturbing planet is      Jupiter",
      "         3   6   5   1  before terms number",
      "         6           6         terms number",
      "         6          62  after  terms number",
      "  5  6   2.7182818284590452e-03    1   2   0   0   0   0    0   0   0   0   0   0  C",
      "  5  6  -1.2500000000000000e-04    0   0   0   0   1  -1    1   0   0   0   0   0  S",
      "  5  6   7.0000000000000000e-06    9   0   0   0   0   0    0   0   0   0   0   0  C",
      "  6  5  -2.7182818284590452e-03    1   2   0   0   0   0    0   0   0   0   0   0  C",
      "  6  5   1.2500000000000000e-04    0   0   0   0   1  -1    1   0   0   0   0   0  S",
      "  6  5  -7.0000000000000000e-06    9   0   0   0   0   0    0   0   0   0   0   0  C",
      "         5   6   5   2  before terms number",
      "         5          11         terms number",
      "         5          67  after  terms number",
      "  5  6   1.0000000000000000e+02    0   0   0   0   0   0    2   0   0  -5   0   0  S",
      "  5  6   3.0000000000000000e-04    0   0   0   0   0   0    0   0   0   0   0   0  C",
      "  5  6   4.0000000000000000e-03    0   1   1   0   2   0    0   0   0   1   0   0  C",
      "  5  6  -5.0000000000000000e-02    0   0   0   0   0   0    1   3  -2   0   7  -8  S",
      "  5  6   5.0000000000000000e-02    0   0   0   0   0   0   -1   0   0   0   0   0  C",
      "         3   6   5   3  before terms number",
      "         3          14         terms number",
      "         3          70  after  terms number",
      "  5  6   1.0000000000000000e+00    2   2   2   2   0   0    0   0   0   0   0   0  C",
      "  5  6   1.0000000000000000e+00    3   2   2   2   0   0    0   0   0   0   0   0  S",
      "  5  6  -1.0000000000000000e+00   -3   0   0   0   0   0    0   0   0   0   0   0  C",
  };
  EMPTYBLOCKS(E, 6, 5, 4, 14, 70);
  E.push_back("        14   6   5      terms number");
  EXPECTFILE(PATHOF("robo0605.txt"), E);
}

// Pair 5-6 (I < J): file 1 gives no rows, its block line still counts the
// rows read. L starts at 4 * pair total of 5-1 .. 5-4.
TEST_F(HANDMADESETA, FileOneGivesNoRowsWhenPerturbedPlanetIsFirst) {
  const struct {
    const TPROG* P;
    const char* READ;
    const char* L;
  } C[] = {{&SHORT, "         2   5   6   1  before terms number", "         0          24  after  terms number"},
           {&SECUL, "         3   5   6   1  before terms number", "         0          32  after  terms number"},
           {&ALL, "         3   5   6   1  before terms number", "         0          56  after  terms number"}};
  for (const auto& X : C) {
    const std::vector<std::string> L = SPLITLINES(READFILE(PATHOF(PAIRNAME(*X.P, 5, 6))));
    ASSERT_GE(L.size(), 6u) << X.P->NAME;
    EXPECT_EQ(L[2], X.READ) << X.P->NAME;
    EXPECT_EQ(L[3], "         0           0         terms number") << X.P->NAME;
    EXPECT_EQ(L[4], X.L) << X.P->NAME;
    EXPECT_EQ(L[5], std::string("         5   5   6   2  before terms number")) << X.P->NAME;
  }
  // In termsecul the 2:5 term is secular for 5-6 too, with the same period.
  const std::vector<std::string> S = SPLITLINES(READFILE(PATHOF("roco0506.txt")));
  ASSERT_GE(S.size(), 10u);
  EXPECT_EQ(S[8], "  5  6   1.0000000000000000e+02    0   0   0   0   0   0    2   0   0  -5   0   0  S   -997.51");
}

// Periods of one year (VALAN[3], NPA = 3) and of Neptune (VALAN[8], NPB = 8),
// and the 2:5 term as a short-period term for a pair other than 5-6.
TEST_F(HANDMADESETA, PeriodsOfEarthAndNeptune) {
  const std::vector<std::string> H = SPLITLINES(READFILE(PATHOF("roho0403.txt")));
  ASSERT_GE(H.size(), 14u);
  EXPECT_EQ(H[7], "         5   4   3   2  before terms number");
  EXPECT_EQ(H[8].substr(0, 10), "         4");
  EXPECT_EQ(H[10], "  3  4  -1.0000000000000000e+02    0   0   0   0   0   0    2   0   0  -5   0   0  C    -1.52");
  EXPECT_EQ(H[11], "  3  4   4.0000000000000000e-03    0   1   1   0   2   0    0   0   0   1   0   0  S     1.88");
  EXPECT_EQ(H[12], "  3  4   5.0000000000000000e-02    0   0   0   0   0   0    1   3  -2   0   7  -8  C     1.00");
  EXPECT_EQ(H[13], "  3  4   5.0000000000000000e-02    0   0   0   0   0   0   -1   0   0   0   0   0  S    -1.00");

  const std::vector<std::string> N = SPLITLINES(READFILE(PATHOF("roho0708.txt")));
  ASSERT_GE(N.size(), 11u);
  EXPECT_EQ(N[5], "         5   7   8   2  before terms number");
  EXPECT_EQ(N[6].substr(0, 10), "         4");
  EXPECT_EQ(N[9], "  7  8   4.0000000000000000e-03    0   1   1   0   2   0    0   0   0   1   0   0  S   164.79");

  // termsecul keeps only the zero frequency of file 2 for 7-8.
  const std::vector<std::string> S = SPLITLINES(READFILE(PATHOF("roco0708.txt")));
  ASSERT_GE(S.size(), 10u);
  EXPECT_EQ(S[5], "         5   7   8   2  before terms number");
  EXPECT_EQ(S[6], "         1           1         terms number");
  EXPECT_EQ(S[8], "  7  8   3.0000000000000000e-04    0   0   0   0   0   0    0   0   0   0   0   0  C      0.00");
  EXPECT_EQ(S[9], "         3   7   8   3  before terms number");
}

TEST_F(HANDMADESETA, ConsoleOfEachProgram) {
  EXPECT_EQ(RUNS[0].OUT, CONSOLEOF(SHORT, KSHORT));
  EXPECT_EQ(RUNS[1].OUT, CONSOLEOF(SECUL, KSECUL));
  EXPECT_EQ(RUNS[2].OUT, CONSOLEOF(ALL, KALL));
  // Spot check of the layout itself.
  const std::vector<std::string> L = RUNS[0].LINES();
  ASSERT_GE(L.size(), 4u);
  EXPECT_EQ(L[0], "   1  perturbed  planet is      Mercury");
  EXPECT_EQ(L[1], "   2  perturbing planet is        Venus");
  EXPECT_EQ(L[2], "   1   2              4  our number of short p. terms");
  EXPECT_EQ(L[3], "   1   2              4  all number of short p. terms");
}

TEST_F(HANDMADESETA, CountTables) {
  // termshort by hand: row X holds 6 for Y < X and 4 for Y > X, except
  // 5-6 (3) and 6-5 (5).
  EXPECTFILE(PATHOF("rohotabl.txt"),
             {"         1      2      3      4      5      6      7      8 ",
              " 1       0      4      4      4      4      4      4      4       28",
              " 2       6      0      4      4      4      4      4      4       30",
              " 3       6      6      0      4      4      4      4      4       32",
              " 4       6      6      6      0      4      4      4      4       34",
              " 5       6      6      6      6      0      3      4      4       35",
              " 6       6      6      6      6      5      0      4      4       37",
              " 7       6      6      6      6      6      6      0      4       40",
              " 8       6      6      6      6      6      6      6      0       42"});
  EXPECT_EQ(READFILE(PATHOF("rocotabl.txt")), TABLEOF(4, 5, 1, 2, 5, 6, KSECUL));
  EXPECT_EQ(READFILE(PATHOF("robotabl.txt")), TABLEOF(5, 6, 3, 3, 8, 10, KALL));
  const std::vector<std::string> T = SPLITLINES(READFILE(PATHOF("robotabl.txt")));
  ASSERT_EQ(T.size(), 9u);
  EXPECT_EQ(T[0], "          1        2        3        4        5        6        7        8   ");
  EXPECT_EQ(T[1], "  1         0        8        8        8        8        8        8        8         56");
}

// ---------------------------------------------------------------------------
// Set B: the amplitude test, file 2 alone, pair 1-2 (J = 2, NPA = 1, NPB = 2;
// FAMUS[2] = 7.2435e-10, VALAX[1] = 0.3870986, VALAX[2] = 0.7233316):
//   b1  2.4e-7  order 0            A = 1.738e-16  kept
//   b2  2.4e-7  order 1            A = 0.869e-16  dropped (halved)
//   b3  7.0e-8  order 0            A = 0.507e-16  dropped
//   b4  7.0e-8  MEC5 = -1          A = 1.310e-16  kept (/ VALAX[1])
//   b5  2.4e-7  MEC6 = 3           A = 0.658e-16  dropped (* VALAX[2]^3)
//   b6  2.4e-7  order -3           A = 1.738e-16  kept (no halving)
//   b7 -2.4e-7  order 0            |A| = 1.738e-16 kept
//   b8  0       Q = 0              dropped (not above the limit)
//   b9  1e-30   Q = 0              dropped
//   b10 1.0e-4  order 10           A = 7.07e-17 (2^-10) dropped by termall
//   b11 1.0e-4  order 11           A = 7.24e-14 (no halving) kept by termall
// All but b8, b9 have Q = VALAN[1] (period 0.24, short); termsecul copies
// every row and keeps b8, b9; termshort drops b10, b11 by their order.
class HANDMADESETB : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    D = std::make_unique<TSCRATCH>();
    WRITEEMPTYSERIES(D->PATH());
    const std::vector<int> M1{1, 0, 0, 0, 0, 0};
    WRITESERIES(D->PATH(), 2,
                {TERMLINE("  2.4000000000000000e-07", Z6, M1, 'C'),
                 TERMLINE("  2.4000000000000000e-07", {0, 0, 1, 0, 0, 0}, M1, 'C'),
                 TERMLINE("  7.0000000000000000e-08", Z6, M1, 'C'),
                 TERMLINE("  7.0000000000000000e-08", {0, 0, 0, 0, -1, 0}, M1, 'C'),
                 TERMLINE("  2.4000000000000000e-07", {0, 0, 0, 0, 0, 3}, M1, 'C'),
                 TERMLINE("  2.4000000000000000e-07", {0, -3, 0, 0, 0, 0}, M1, 'C'),
                 TERMLINE(" -2.4000000000000000e-07", Z6, M1, 'S'),
                 TERMLINE("  0.0000000000000000e+00", Z6, Z6, 'C'),
                 TERMLINE("  1.0000000000000000e-30", Z6, Z6, 'S'),
                 TERMLINE("  1.0000000000000000e-04", {10, 0, 0, 0, 0, 0}, M1, 'C'),
                 TERMLINE("  1.0000000000000000e-04", {5, 6, 0, 0, 0, 0}, M1, 'C')});
    for (const TPROG* P : {&SHORT, &SECUL, &ALL}) RUNS.push_back(RUN(D->PATH(), PROGRAM(P->NAME)));
  }
  static void TearDownTestSuite() {
    D.reset();
    RUNS.clear();
  }
  static std::unique_ptr<TSCRATCH> D;
  static std::vector<TRUN> RUNS;
};
std::unique_ptr<TSCRATCH> HANDMADESETB::D;
std::vector<TRUN> HANDMADESETB::RUNS;

TEST_F(HANDMADESETB, TermallAmplitudeTest) {
  ASSERT_EQ(RUNS[2].STATUS, 0) << RUNS[2].OUT;
  std::vector<std::string> E{
      "   1  perturbed  planet is      Mercury",
      "   2  perturbing planet is        Venus",
      "         0   1   2   1  before terms number",
      "         0           0         terms number",
      "         0           0  after  terms number",
      "        11   1   2   2  before terms number",
      "         5           5         terms number",
      "         5           5  after  terms number",
      "  1  2   2.4000000000000000e-07    0   0   0   0   0   0    1   0   0   0   0   0  C",
      "  1  2   7.0000000000000000e-08    0   0   0   0  -1   0    1   0   0   0   0   0  C",
      "  1  2   2.4000000000000000e-07    0  -3   0   0   0   0    1   0   0   0   0   0  C",
      "  1  2  -2.4000000000000000e-07    0   0   0   0   0   0    1   0   0   0   0   0  S",
      "  1  2   1.0000000000000000e-04    5   6   0   0   0   0    1   0   0   0   0   0  C",
  };
  EMPTYBLOCKS(E, 1, 2, 3, 5, 5);
  E.push_back("         5   1   2      terms number");
  EXPECTFILE(D->FILE("robo0102.txt"), E);
}

TEST_F(HANDMADESETB, TermshortAmplitudeTest) {
  ASSERT_EQ(RUNS[0].STATUS, 0) << RUNS[0].OUT;
  std::vector<std::string> E{
      "   1  perturbed  planet is      Mercury",
      "   2  perturbing planet is        Venus",
      "         0   1   2   1  before terms number",
      "         0           0         terms number",
      "         0           0  after  terms number",
      "         9   1   2   2  before terms number",
      "         4           4         terms number",
      "         4           4  after  terms number",
      "  1  2   2.4000000000000000e-07    0   0   0   0   0   0    1   0   0   0   0   0  S     0.24",
      "  1  2   7.0000000000000000e-08    0   0   0   0  -1   0    1   0   0   0   0   0  S     0.24",
      "  1  2   2.4000000000000000e-07    0  -3   0   0   0   0    1   0   0   0   0   0  S     0.24",
      "  1  2   2.4000000000000000e-07    0   0   0   0   0   0    1   0   0   0   0   0  C     0.24",
  };
  EMPTYBLOCKS(E, 1, 2, 3, 4, 4);
  E.push_back("         4   1   2      short p. terms number");
  EXPECTFILE(D->FILE("roho0102.txt"), E);
}

TEST_F(HANDMADESETB, TermseculCopiesEveryAmplitude) {
  ASSERT_EQ(RUNS[1].STATUS, 0) << RUNS[1].OUT;
  std::vector<std::string> E{
      "   1  perturbed  planet is      Mercury",
      "   2  perturbing planet is        Venus",
      "         0   1   2   1  before terms number",
      "         0           0         terms number",
      "         0           0  after  terms number",
      "        11   1   2   2  before terms number",
      "         2           2         terms number",
      "         2           2  after  terms number",
      "  1  2   0.0000000000000000e+00    0   0   0   0   0   0    0   0   0   0   0   0  C      0.00",
      "  1  2   1.0000000000000000e-30    0   0   0   0   0   0    0   0   0   0   0   0  S      0.00",
  };
  EMPTYBLOCKS(E, 1, 2, 3, 2, 2);
  E.push_back("         2   1   2      secular terms number");
  EXPECTFILE(D->FILE("roco0102.txt"), E);
}

// The estimate uses FAMUS of the perturbing planet: for 2-1 (J = 1,
// FAMUS[1] = 4.9125e-11, same NPA and NPB) b1, b6 and b7 give 1.18e-17 and
// b4 0.89e-17, all dropped; only b11 (4.9e-15) stays in termall.
TEST_F(HANDMADESETB, EstimateUsesPerturbingPlanetMass) {
  const std::vector<std::string> L = SPLITLINES(READFILE(D->FILE("robo0201.txt")));
  ASSERT_GE(L.size(), 9u);
  EXPECT_EQ(L[5], "        11   2   1   2  before terms number");
  EXPECT_EQ(L[6], "         1           1         terms number");
  EXPECT_EQ(L[8], "  1  2   1.0000000000000000e-04    5   6   0   0   0   0    1   0   0   0   0   0  C");
  EXPECT_EQ(L[9], "         0   2   1   3  before terms number");
}

}  // namespace
