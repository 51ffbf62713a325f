// Properties of complete runs over generated series (two seeds), for the
// three programs side by side: the layout of every line, the counts and
// their running totals against the rows and the count table and console,
// the rows against the series files they come from, the selection as a
// partition of the rows between termshort and termsecul, the periods, and
// the files a run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "harness.hpp"

namespace {

// Mean motions (rad/day) to ten digits; the limit frequency 2 pi / 73050.
const long double VALAN[9] = {0,
                              7.142480717E-2L,
                              2.796249062E-2L,
                              1.720217855E-2L,
                              9.146154646E-3L,
                              1.450346717E-3L,
                              5.835877770E-4L,
                              2.046978184E-4L,
                              1.043880573E-4L};
const long double TWOPI = 6.28318530717958647692528676655900577L;
const long double LIMIT = TWOPI / 73050.0L;

struct TPROG {
  const char* NAME;
  const char* PREFIX;
  const char* TABLE;
  const char* CLOSE;
  const char* KIND;
  int PW;  // period width, 0: none
  int TA, TB, TC, TD, TE, TG;
};
const TPROG SHORT{"termshort", "roho", "rohotabl.txt", "      short p. terms number", "short p. ", 7,
                  4, 6, 1, 2, 6, 8};
const TPROG SECUL{"termsecul", "roco", "rocotabl.txt", "      secular terms number", "secular ", 8,
                  4, 5, 1, 2, 5, 6};
const TPROG ALL{"termall", "robo", "robotabl.txt", "      terms number", "", 0, 5, 6, 3, 3, 8, 10};
const TPROG* const PROGS[3] = {&SHORT, &SECUL, &ALL};

// The layouts above are this test's own reading of the programs; the
// programs take theirs from the table of the programs, which must agree.
TEST(Layouts, AgreeWithTheTableOfThePrograms) {
  for (const TPROG* P : PROGS) {
    const TVARIANT& V = PROGRAMNAMED(P->NAME);
    EXPECT_STREQ(V.PREFIX, P->PREFIX);
    EXPECT_STREQ(V.TABLENAME, P->TABLE);
    EXPECT_STREQ(V.CLOSETEXT, P->CLOSE);
    EXPECT_EQ(std::string(V.OURTEXT), std::string("  our number of ") + P->KIND + "terms");
    EXPECT_EQ(V.PERIODWIDTH, P->PW);
    const TTABLELAYOUT& T = V.LAYOUT;
    EXPECT_EQ((std::vector<int>{T.HEADINDENT, T.HEADFIELD, T.HEADGAP, T.ROWFIELD, T.COUNTFIELD, T.TOTALFIELD}),
              (std::vector<int>{P->TA, P->TB, P->TC, P->TD, P->TE, P->TG}))
        << P->NAME;
  }
}

std::string PAIRNAME(const TPROG& P, int I, int J) { return FMT("%s%02d%02d.txt", P.PREFIX, I, J); }

// A right-aligned integer in S[POS, POS + W): blanks, optional minus,
// digits.
bool INTFIELD(const std::string& S, size_t POS, size_t W, long& V) {
  if (POS + W > S.size()) return false;
  size_t K = POS;
  const size_t E = POS + W;
  while (K < E && S[K] == ' ') ++K;
  bool NEG = false;
  if (K < E && S[K] == '-') {
    NEG = true;
    ++K;
  }
  if (K == E) return false;
  long X = 0;
  for (; K < E; ++K) {
    if (S[K] < '0' || S[K] > '9') return false;
    X = X * 10 + (S[K] - '0');
  }
  V = NEG ? -X : X;
  return true;
}

bool ISDIG(char C) { return C >= '0' && C <= '9'; }

// A term as the series file and the row lines write it: the 24-character
// amplitude text, MEC and MAR in width 4, the code letter.
std::string FLIPSIGN(std::string KEY) {
  KEY[1] = KEY[1] == '-' ? ' ' : '-';
  return KEY;
}

struct TTERM {
  std::string KEY;
  int ORDER = 0;
};

struct TROW {
  int NPA = 0, NPB = 0;
  std::string KEY;
  int ORDER = 0, MAR1 = 0, MAR4 = 0;
  std::string PERIOD;  // text after the two blanks
};

struct TBLOCK {
  long READ = -1, N = -1, K = -1, L = -1;
  std::vector<TROW> ROWS;
};

struct TPAIRFILE {
  bool OK = false;
  TBLOCK B[28];
  long CLOSEK = -1;
};

struct TRESULT {
  TRUN RUN;
  TPAIRFILE F[9][9];
};

std::vector<TTERM> READTERMS(const std::string& PATH) {
  std::vector<TTERM> T;
  const std::vector<std::string> L = SPLITLINES(READFILE(PATH));
  for (size_t K = 3; K < L.size(); ++K) {
    const std::string& S = L[K];
    EXPECT_EQ(S.size(), 75u) << PATH << ": " << S;
    if (S.size() < 75) continue;
    TTERM X;
    X.KEY = S.substr(0, 72) + S[74];
    long V = 0;
    for (int M = 0; M < 4; ++M) {
      EXPECT_TRUE(INTFIELD(S, 24 + 4 * static_cast<size_t>(M), 4, V)) << S;
      X.ORDER += static_cast<int>(V);
    }
    T.push_back(X);
  }
  return T;
}

// One row line; false (with a failure) when its layout is wrong.
bool PARSEROW(const TPROG& P, const std::string& S, TROW& R) {
  long V = 0;
  bool OK = S.size() >= 84 && INTFIELD(S, 0, 3, V) && V >= 1 && V <= 8;
  R.NPA = static_cast<int>(V);
  OK = OK && INTFIELD(S, 3, 3, V) && V >= 1 && V <= 8;
  R.NPB = static_cast<int>(V);
  OK = OK && S[6] == ' ' && S[7] == ' ' && (S[8] == ' ' || S[8] == '-');
  // d.dddddddddddddddde+XX in columns 10..31
  OK = OK && ISDIG(S[9]) && S[10] == '.' && S[27] == 'e' && (S[28] == '+' || S[28] == '-') && ISDIG(S[29]) &&
       ISDIG(S[30]) && S[31] == ' ' && S[56] == ' ' && S[81] == ' ' && S[82] == ' ' &&
       (S[83] == 'S' || S[83] == 'C');
  for (size_t K = 11; OK && K < 27; ++K) OK = ISDIG(S[K]);
  R.ORDER = 0;
  for (size_t M = 0; OK && M < 6; ++M) {
    OK = INTFIELD(S, 32 + 4 * M, 4, V) && V >= -128 && V <= 127;
    if (M < 4) R.ORDER += static_cast<int>(V);
  }
  for (size_t M = 0; OK && M < 6; ++M) {
    OK = INTFIELD(S, 57 + 4 * M, 4, V) && V >= -128 && V <= 127;
    if (M == 0) R.MAR1 = static_cast<int>(V);
    if (M == 3) R.MAR4 = static_cast<int>(V);
  }
  if (OK && P.PW == 0) OK = S.size() == 84;
  if (OK && P.PW > 0) {
    // Two blanks, then the period right-aligned in PW, in full if wider.
    OK = S.size() > 86 && S[84] == ' ' && S[85] == ' ';
    if (OK) {
      R.PERIOD = S.substr(86);
      const size_t W = static_cast<size_t>(P.PW);
      OK = R.PERIOD.size() > W ? R.PERIOD[0] != ' ' : R.PERIOD.size() == W;
      size_t K = 0;
      while (OK && K < R.PERIOD.size() && R.PERIOD[K] == ' ') ++K;
      if (OK && K < R.PERIOD.size() && R.PERIOD[K] == '-') ++K;
      size_t D = K;
      while (OK && K < R.PERIOD.size() && ISDIG(R.PERIOD[K])) ++K;
      OK = OK && K > D && K + 3 == R.PERIOD.size() && R.PERIOD[K] == '.' && ISDIG(R.PERIOD[K + 1]) &&
           ISDIG(R.PERIOD[K + 2]);
    }
  }
  if (!OK) {
    ADD_FAILURE() << P.NAME << ": bad row line \"" << S << "\"";
    return false;
  }
  R.KEY = S.substr(7, 24) + S.substr(32, 24) + S.substr(57, 24) + S[83];
  return true;
}

// A per-pair file: every line's layout, read into blocks.
TPAIRFILE PARSEPAIR(const TPROG& P, int I, int J, const std::string& BYTES) {
  TPAIRFILE F;
  const std::string NAME = PAIRNAME(P, I, J);
  if (BYTES.size() < 2 || BYTES.substr(BYTES.size() - 2) != "\r\n") {
    ADD_FAILURE() << NAME << " does not end with CR LF";
    return F;
  }
  const std::vector<std::string> L = SPLITLINES(BYTES);
  size_t K = 0;
  auto NEXT = [&](std::string& S) {
    if (K >= L.size()) {
      ADD_FAILURE() << NAME << " ends early";
      return false;
    }
    S = L[K++];
    if (S.find_first_of("\r\n") != std::string::npos) {
      ADD_FAILURE() << NAME << ": bare CR or LF in line " << K;
      return false;
    }
    return true;
  };
  std::string S;
  if (!NEXT(S)) return F;
  EXPECT_EQ(S, FMT("%4d  perturbed  planet is %s", I, NAMES[I])) << NAME;
  if (!NEXT(S)) return F;
  EXPECT_EQ(S, FMT("%4d  perturbing planet is %s", J, NAMES[J])) << NAME;
  for (int N = 1; N <= 27; ++N) {
    TBLOCK& B = F.B[N];
    if (!NEXT(S)) return F;
    if (!INTFIELD(S, 0, 10, B.READ) || S != FMT("%10ld%4d%4d%4d  before terms number", B.READ, I, J, N)) {
      ADD_FAILURE() << NAME << ": bad block line \"" << S << "\" for file " << N;
      return F;
    }
    if (!NEXT(S)) return F;
    if (!INTFIELD(S, 0, 10, B.N) || !INTFIELD(S, 10, 12, B.K) ||
        S != FMT("%10ld%12ld         terms number", B.N, B.K)) {
      ADD_FAILURE() << NAME << ": bad count line \"" << S << "\"";
      return F;
    }
    if (!NEXT(S)) return F;
    long N2 = -1;
    if (!INTFIELD(S, 0, 10, N2) || !INTFIELD(S, 10, 12, B.L) || N2 != B.N ||
        S != FMT("%10ld%12ld  after  terms number", B.N, B.L)) {
      ADD_FAILURE() << NAME << ": bad count line \"" << S << "\"";
      return F;
    }
    for (long M = 0; M < B.N; ++M) {
      if (!NEXT(S)) return F;
      TROW R;
      if (!PARSEROW(P, S, R)) return F;
      B.ROWS.push_back(R);
    }
  }
  if (!NEXT(S)) return F;
  if (!INTFIELD(S, 0, 10, F.CLOSEK) || S != FMT("%10ld%4d%4d%s", F.CLOSEK, I, J, P.CLOSE)) {
    ADD_FAILURE() << NAME << ": bad closing line \"" << S << "\"";
    return F;
  }
  EXPECT_EQ(K, L.size()) << NAME << ": lines after the closing line";
  F.OK = K == L.size();
  return F;
}

// One generated folder, the three programs run in it, every file read.
class INVARIANTS : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    D = std::make_unique<TSCRATCH>();
    TRUN G = RUN(D->PATH(), TOOL("seriesgen") + " --scale tiny --seed " + std::to_string(GetParam()) + " .");
    ASSERT_EQ(G.STATUS, 0) << G.ERR;
    for (int N = 1; N <= 27; ++N) {
      const std::string NAME = FMT("puf%02d.txt", N);
      SERIESBYTES[NAME] = READFILE(D->FILE(NAME));
      TERMS[N] = READTERMS(D->FILE(NAME));
    }
    for (int P = 0; P < 3; ++P) {
      RES[P] = std::make_unique<TRESULT>();
      RES[P]->RUN = RUN(D->PATH(), PROGRAM(PROGS[P]->NAME));
      ASSERT_EQ(RES[P]->RUN.STATUS, 0) << RES[P]->RUN.OUT;
      for (int I = 1; I <= 8; ++I)
        for (int J = 1; J <= 8; ++J) {
          if (I == J) continue;
          const std::string NAME = PAIRNAME(*PROGS[P], I, J);
          ASSERT_TRUE(EXISTS(D->FILE(NAME))) << NAME;
          RES[P]->F[I][J] = PARSEPAIR(*PROGS[P], I, J, READFILE(D->FILE(NAME)));
          ASSERT_TRUE(RES[P]->F[I][J].OK) << NAME;
        }
    }
  }

  // The rows a block of pair I-J draws from, NPA and NPB set: file 1 as
  // read, then mirrored when I > J; files 2..27 as read.
  std::vector<TROW> SOURCE(int I, int J, int N) const {
    std::vector<TROW> V;
    for (const TTERM& T : TERMS[N]) {
      TROW R;
      R.NPA = std::min(I, J);
      R.NPB = std::max(I, J);
      R.KEY = T.KEY;
      R.ORDER = T.ORDER;
      V.push_back(R);
    }
    if (N == 1) {
      if (I < J) return {};
      const size_t M = V.size();
      for (size_t K = 0; K < M; ++K) {
        TROW R = V[K];
        R.NPA = I;
        R.NPB = J;
        R.KEY = FLIPSIGN(R.KEY);
        V.push_back(R);
      }
    }
    return V;
  }

  std::unique_ptr<TSCRATCH> D;
  std::map<std::string, std::string> SERIESBYTES;
  std::vector<TTERM> TERMS[28];
  std::unique_ptr<TRESULT> RES[3];  // termshort, termsecul, termall
};

// termshort's row back as the series term: A sin -> -A cos undone.
std::string UNEXCHANGE(const std::string& KEY) {
  std::string K = KEY;
  if (K.back() == 'C') {
    K.back() = 'S';
    K = FLIPSIGN(K);
  } else {
    K.back() = 'C';
  }
  return K;
}

TEST_P(INVARIANTS, FilesLeftBehindAndRerun) {
  std::vector<std::string> WANT;
  for (int N = 1; N <= 27; ++N) WANT.push_back(FMT("puf%02d.txt", N));
  for (const TPROG* P : PROGS) {
    WANT.push_back(P->TABLE);
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J)
        if (I != J) WANT.push_back(PAIRNAME(*P, I, J));
  }
  std::sort(WANT.begin(), WANT.end());
  const std::vector<std::string> GOT = LISTDIR(D->PATH());
  EXPECT_EQ(GOT, WANT);
  for (const auto& [NAME, BYTES] : SERIESBYTES) EXPECT_TRUE(READFILE(D->FILE(NAME)) == BYTES) << NAME << " changed";

  // A second run over the first one's files: the same bytes everywhere.
  std::map<std::string, std::string> FIRST;
  for (const std::string& N : GOT) FIRST[N] = READFILE(D->FILE(N));
  for (int P = 0; P < 3; ++P) {
    TRUN R = RUN(D->PATH(), PROGRAM(PROGS[P]->NAME));
    EXPECT_EQ(R.STATUS, 0);
    EXPECT_TRUE(R.OUT == RES[P]->RUN.OUT) << PROGS[P]->NAME << ": console differs on the second run";
  }
  EXPECT_EQ(LISTDIR(D->PATH()), GOT);
  for (const auto& [NAME, BYTES] : FIRST) EXPECT_TRUE(READFILE(D->FILE(NAME)) == BYTES) << NAME << " differs";
}

// Counts: block lines against the series, running totals, closing lines,
// the count table and the console.
TEST_P(INVARIANTS, CountsAgreeEverywhere) {
  for (int P = 0; P < 3; ++P) {
    const TPROG& G = *PROGS[P];
    SCOPED_TRACE(G.NAME);
    long KT[9][9] = {};
    std::string CONSOLE;
    for (int I = 1; I <= 8; ++I) {
      long L = 0;
      for (int J = 1; J <= 8; ++J) {
        if (I == J) continue;
        const TPAIRFILE& F = RES[P]->F[I][J];
        long K = 0;
        for (int N = 1; N <= 27; ++N) {
          const TBLOCK& B = F.B[N];
          long READ = 0;
          for (const TTERM& T : TERMS[N]) READ += (&G != &SHORT || T.ORDER <= 8);
          EXPECT_EQ(B.READ, READ) << I << "-" << J << " file " << N;
          K += B.N;
          L += B.N;
          EXPECT_EQ(B.K, K) << I << "-" << J << " file " << N;
          EXPECT_EQ(B.L, L) << I << "-" << J << " file " << N;
          EXPECT_EQ(static_cast<long>(B.ROWS.size()), B.N);
        }
        EXPECT_EQ(F.CLOSEK, K) << I << "-" << J;
        // File 1 gives rows only when the perturbed planet is the second.
        if (I < J) {
          EXPECT_EQ(F.B[1].N, 0) << I << "-" << J;
        }
        KT[I][J] = K;
        CONSOLE += FMT("%4d  perturbed  planet is %s\r\n", I, NAMES[I]);
        CONSOLE += FMT("%4d  perturbing planet is %s\r\n", J, NAMES[J]);
        CONSOLE += FMT("%4d%4d%15ld  our number of %sterms\r\n", I, J, K, G.KIND);
        CONSOLE += FMT("%4d%4d%15ld  all number of %sterms\r\n", I, J, L, G.KIND);
      }
    }
    EXPECT_TRUE(RES[P]->RUN.OUT == CONSOLE) << "console:\n" << RES[P]->RUN.OUT.substr(0, 2000);
    EXPECT_EQ(RES[P]->RUN.ERR, "");

    std::string T(static_cast<size_t>(G.TA), ' ');
    for (int Y = 1; Y <= 8; ++Y) T += FMT("%*d%*s", G.TB, Y, G.TC, "");
    T += "\r\n";
    for (int X = 1; X <= 8; ++X) {
      T += FMT("%*d  ", G.TD, X);
      long S = 0;
      for (int Y = 1; Y <= 8; ++Y) {
        T += FMT("%*ld ", G.TE, KT[X][Y]);
        S += KT[X][Y];
      }
      T += FMT("%*ld\r\n", G.TG, S);
    }
    EXPECT_EQ(READFILE(D->FILE(G.TABLE)), T);
  }
}

// Every row comes from its series file in order: termall and termsecul
// unchanged, termshort with sine and cosine exchanged and only orders up to
// 8; file 1 mirrored after the rows read when I > J. termall's file 1
// holds all of them.
TEST_P(INVARIANTS, RowsComeFromTheirSeries) {
  for (int P = 0; P < 3; ++P) {
    const TPROG& G = *PROGS[P];
    SCOPED_TRACE(G.NAME);
    for (int I = 1; I <= 8; ++I)
      for (int J = 1; J <= 8; ++J) {
        if (I == J) continue;
        for (int N = 1; N <= 27; ++N) {
          const std::vector<TROW> SRC = SOURCE(I, J, N);
          const std::vector<TROW>& ROWS = RES[P]->F[I][J].B[N].ROWS;
          size_t S = 0;
          for (const TROW& R : ROWS) {
            const std::string KEY = &G == &SHORT ? UNEXCHANGE(R.KEY) : R.KEY;
            while (S < SRC.size() && !(SRC[S].KEY == KEY && SRC[S].NPA == R.NPA && SRC[S].NPB == R.NPB &&
                                       (&G != &SHORT || SRC[S].ORDER <= 8)))
              ++S;
            if (S == SRC.size()) {
              ADD_FAILURE() << I << "-" << J << " file " << N << ": row " << R.NPA << " " << R.NPB << " " << R.KEY
                            << " is not in order from the series";
              break;
            }
            ++S;
          }
          if (&G == &ALL && N == 1) {
            EXPECT_EQ(ROWS.size(), SRC.size()) << I << "-" << J;
            EXPECT_EQ(RES[P]->F[I][J].B[1].N, I > J ? 2 * RES[P]->F[I][J].B[1].READ : 0) << I << "-" << J;
          }
        }
      }
  }
}

// The selection: of termall's rows of orders up to 8 (the rows that pass
// the amplitude test, halving alike up to order 8), those in termsecul are
// the secular ones and all others are termshort's; no row is in both. The
// periods: one text per (NPA, NPB, MAR1, MAR4), short below 200 years,
// secular above or zero, and as the mean motions give them.
TEST_P(INVARIANTS, SelectionAndPeriods) {
  using TKEY = std::tuple<int, int, std::string>;
  std::map<std::tuple<int, int, int, int>, std::string> PERIODS[2];
  long NSHORT = 0, NSECUL = 0;
  for (int I = 1; I <= 8; ++I)
    for (int J = 1; J <= 8; ++J) {
      if (I == J) continue;
      for (int N = 1; N <= 27; ++N) {
        std::multiset<TKEY> H, S, A8;
        for (const TROW& R : RES[0]->F[I][J].B[N].ROWS) H.insert({R.NPA, R.NPB, UNEXCHANGE(R.KEY)});
        for (const TROW& R : RES[1]->F[I][J].B[N].ROWS) S.insert({R.NPA, R.NPB, R.KEY});
        for (const TROW& R : RES[2]->F[I][J].B[N].ROWS)
          if (R.ORDER <= 8) A8.insert({R.NPA, R.NPB, R.KEY});
        std::multiset<TKEY> WANT = H;
        for (const TKEY& X : A8) {
          if (S.count(X) != 0) WANT.insert(X);
          EXPECT_FALSE(H.count(X) != 0 && S.count(X) != 0) << I << "-" << J << " file " << N << ": "
                                                          << std::get<2>(X) << " both short and secular";
        }
        EXPECT_TRUE(WANT == A8) << I << "-" << J << " file " << N << ": termall " << A8.size() << " rows, termshort "
                                << H.size() << ", of them in termsecul " << WANT.size() - H.size();
        NSHORT += static_cast<long>(H.size());
        NSECUL += static_cast<long>(S.size());

        for (int P = 0; P < 2; ++P) {
          for (const TROW& R : RES[P]->F[I][J].B[N].ROWS) {
            auto [IT, NEW] = PERIODS[P].insert({{R.NPA, R.NPB, R.MAR1, R.MAR4}, R.PERIOD});
            if (!NEW) {
              EXPECT_EQ(R.PERIOD, IT->second) << PROGS[P]->NAME << " " << R.NPA << " " << R.NPB << " " << R.MAR1
                                              << " " << R.MAR4;
            }
          }
        }
      }
    }
  EXPECT_GT(NSHORT, 0);
  EXPECT_GT(NSECUL, 0);
  for (int P = 0; P < 2; ++P)
    for (const auto& [K, TEXT] : PERIODS[P]) {
      const auto [A, B, M1, M4] = K;
      EXPECT_EQ(PERIODS[1 - P].count(K), 0u) << "both short and secular: " << A << " " << B << " " << M1 << " " << M4;
      const long double Q = M1 * VALAN[A] + M4 * VALAN[B];
      const long double V = std::stold(TEXT);
      const std::string WHAT = std::string(PROGS[P]->NAME) + " " + std::to_string(A) + " " + std::to_string(B) + " " +
                               std::to_string(M1) + " " + std::to_string(M4) + ": \"" + TEXT + "\"";
      if (M1 == 0 && M4 == 0) {
        EXPECT_EQ(P, 1) << WHAT;
        EXPECT_EQ(TEXT, "    0.00") << WHAT;
        continue;
      }
      // The ten-digit mean motions leave Q uncertain by about 1e-10 of
      // its terms' size.
      const long double DQ = 1e-10L * (std::fabs(M1 * VALAN[A]) + std::fabs(M4 * VALAN[B]));
      if (std::fabs(std::fabs(Q) - LIMIT) > DQ) {
        EXPECT_EQ(P == 0, std::fabs(Q) > LIMIT) << WHAT;
      }
      const long double PM = TWOPI / (Q * 365.25L);
      EXPECT_LE(std::fabs(V - PM), 0.0051L + std::fabs(PM) * DQ / std::fabs(Q) * 2) << WHAT << " vs " << static_cast<double>(PM);
      if (P == 0) {
        EXPECT_LE(std::fabs(V), 200.0L) << WHAT;
      } else {
        EXPECT_GE(std::fabs(V), 200.0L) << WHAT;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, INVARIANTS, ::testing::Values(7, 2024));

}  // namespace
