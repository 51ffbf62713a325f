// The cuts as settings: at values other than the defaults, the one-pass
// pipeline against the stages, every byte; thresholds that fall exactly on
// a row's estimate and period cuts exactly on a term's frequency, against
// the rule read from the rows themselves; the command line's values.
#include <cstring>
#include <vector>

#include "pipelinejob.hpp"
#include "unfucuts.hpp"
#include "unfugate.hpp"
#include "unfuperi.hpp"

namespace {

using Cuts = TPIPELINETEST;

TCUTS CUTSOF(const char* PROGRAM, TCUTOPTION O, const char* VALUE) {
  TCUTS C = DEFAULTCUTS(PROGRAMNAMED(PROGRAM));
  std::string WHY;
  EXPECT_TRUE(SETCUT(C, O, VALUE, WHY)) << VALUE << ": " << WHY;
  return C;
}

// Every cut at values on either side of its default, with and without the
// estimate column, in each program that has it.
TEST_F(Cuts, SameBytesInStagesAndOnePass) {
  GENERATE(SANITIZED || EMULATED ? "tiny" : "small", 4);
  struct TSETTING {
    const TPROG* P;
    TCUTOPTION O;
    const char* VALUE;
  };
  const TSETTING SETTINGS[] = {
      {&ALL, TCUTOPTION::THRESHOLD, "0"},         {&ALL, TCUTOPTION::THRESHOLD, "1e-12"},
      {&SHORT, TCUTOPTION::THRESHOLD, "1e-20"},   {&SHORT, TCUTOPTION::THRESHOLD, "1e300"},
      {&SHORT, TCUTOPTION::PERIODCUT, "1"},       {&SECUL, TCUTOPTION::PERIODCUT, "100"},
      {&SECUL, TCUTOPTION::PERIODCUT, "500"},     {&SHORT, TCUTOPTION::PERIODCUT, "1e6"},
      {&SHORT, TCUTOPTION::MAXORDER, "-1"},       {&SHORT, TCUTOPTION::MAXORDER, "3"},
      {&SHORT, TCUTOPTION::MAXORDER, "14"},       {&ALL, TCUTOPTION::ORDERBOUND, "0"},
      {&ALL, TCUTOPTION::ORDERBOUND, "4"},        {&ALL, TCUTOPTION::ORDERBOUND, "127"},
      {&ALL, TCUTOPTION::ESTIMATES, ""},          {&SHORT, TCUTOPTION::ESTIMATES, ""},
  };
  for (const TSETTING& S : SETTINGS) {
    SCOPED_TRACE(std::string(S.P->NAME) + " " + S.VALUE);
    TCUTS C = CUTSOF(S.P->NAME, S.O, S.VALUE);
    EXPECTSAME(*S.P, false, &C);
    if (S.O != TCUTOPTION::ESTIMATES && S.P != &SECUL) {
      C.ESTIMATES = true;
      EXPECTSAME(*S.P, false, &C);
    }
  }
}

// The rows of series file N in DIR as the reader gives them.
std::vector<TROWVAR> ROWSOF(const fs::path& DIR, int N) {
  const fs::path BACK = fs::current_path();
  fs::current_path(DIR);
  RESETSERIES();
  std::vector<TROWVAR> R;
  const TSERIESFILE& S = LOADEDSERIES(N);
  for (int32_t M = 0; M < S.COUNT; ++M) {
    TROWVAR T = RECNUL;
    T.AMP = S.ROWS.AMPS[static_cast<size_t>(M)];
    T.MEC = S.ROWS.FIELDS[static_cast<size_t>(M)].MEC;
    T.MAR = S.ROWS.FIELDS[static_cast<size_t>(M)].MAR;
    R.push_back(T);
  }
  RESETSERIES();
  fs::current_path(BACK);
  return R;
}

// The count of the second count line of block N in a per-pair file.
long BLOCKCOUNT(const std::string& TEXT, int N) {
  std::istringstream IN(TEXT);
  std::string L;
  for (int K = 0; std::getline(IN, L);)
    if (L.find("before terms number") != std::string::npos && ++K == N) {
      std::getline(IN, L);
      return std::stol(L.substr(0, 10));
    }
  return -1;
}

// A threshold equal to the estimate of rows of series file 2 for pair
// (2, 5): those rows are dropped (|A| must exceed it), and only those,
// against the threshold one value below; counted from the rows.
TEST_F(Cuts, ThresholdExactlyOnAnEstimate) {
  GENERATE("tiny", 6);
  const std::vector<TROWVAR> ROWS = ROWSOF(DIR, 2);
  const TVARIANT& V = PROGRAMNAMED("termall");
  const TGATING G{&AXIPO[2], &AXIPO[5], FAMUS[5], V.ORDERBOUND, 0.0_EXT};
  std::vector<TEXTENDED> EST;
  for (const TROWVAR& R : ROWS) {
    const long S = static_cast<long>(R.MEC[1]) + R.MEC[2] + R.MEC[3] + R.MEC[4];
    EST.push_back(EXTABS(AMPESTIMATE(R.AMP, R.MEC[5], R.MEC[6], S, G)));
  }
  int TRIED = 0;
  for (size_t X = 0; X < EST.size() && TRIED < 3; X += EST.size() / 3 + 1, ++TRIED) {
    const TEXTENDED T = EST[X];
    TCUTS AT = DEFAULTCUTS(V), BELOW = AT;
    AT.THRESHOLD = T;
    BELOW.THRESHOLD = NEXTTOWARD(T, 0.0_EXT);
    long ABOVE = 0, EQUAL = 0;
    for (TEXTENDED E : EST) ABOVE += E > T, EQUAL += SAMEBITS(E, T);
    SCOPED_TRACE(HEXOF(T));
    EXPECTSAME(ALL, false, &AT);
    TFILES A = RUNJOB(DIR, ALL, TPIPELINEMODE::FUSED, &AT);
    TFILES B = RUNJOB(DIR, ALL, TPIPELINEMODE::FUSED, &BELOW);
    EXPECT_EQ(BLOCKCOUNT(A["robo0205.txt"], 2), ABOVE);
    EXPECT_EQ(BLOCKCOUNT(B["robo0205.txt"], 2), ABOVE + EQUAL);
    EXPECT_GE(EQUAL, 1);
  }
}

// A period cut whose frequency is exactly that of a term of pair (6, 5):
// termsecul keeps the terms below it and not that one, counted from the
// rows; termshort the same as the stages.
TEST_F(Cuts, PeriodCutExactlyOnAFrequency) {
  GENERATE("tiny", 7);
  const std::vector<TROWVAR> ROWS = ROWSOF(DIR, 3);
  const TVARIANT& V = PROGRAMNAMED("termsecul");
  int FOUND = 0;
  for (size_t X = 0; X < ROWS.size() && FOUND < 2; ++X) {
    const TEXTENDED Q = EXTABS(FREQUENCYOF(5, 6, ROWS[X].MAR[1], ROWS[X].MAR[4]));
    if (!(Q > 0.0_EXT)) continue;
    // The years whose frequency is Q: near 2 pi / (Q * 365.25), a few
    // values on either side.
    TCUTS C = DEFAULTCUTS(V);
    TEXTENDED Y = TWOPIEXT / (Q * YEARDAYS);
    for (int K = 0; K < 8; ++K) Y = NEXTTOWARD(Y, 0.0_EXT);
    bool HIT = false;
    for (int K = 0; K < 17 && !HIT; ++K, Y = NEXTTOWARD(Y, EXTMAX)) {
      C.PERIODCUT = Y;
      HIT = SAMEBITS(C.THRESHOLDFREQUENCY(), Q);
    }
    if (!HIT) continue;
    ++FOUND;
    SCOPED_TRACE(HEXOF(C.PERIODCUT));
    long BELOW = 0;
    for (const TROWVAR& R : ROWS) BELOW += EXTABS(FREQUENCYOF(5, 6, R.MAR[1], R.MAR[4])) < Q;
    EXPECTSAME(SECUL, false, &C);
    TFILES A = RUNJOB(DIR, SECUL, TPIPELINEMODE::FUSED, &C);
    EXPECT_EQ(BLOCKCOUNT(A["roco0605.txt"], 3), BELOW);
    TCUTS S = DEFAULTCUTS(PROGRAMNAMED("termshort"));
    S.PERIODCUT = C.PERIODCUT;
    EXPECTSAME(SHORT, false, &S);
  }
  EXPECT_GE(FOUND, 1);
}

// The command line's values: decimal text rounded once, as the series are
// (the default's own text gives the default's bits), and the refusals.
TEST(CutValues, ReadAndRefused) {
  const TVARIANT& V = PROGRAMNAMED("termall");
  EXPECT_TRUE(ISDEFAULT(V, CUTSOF("termall", TCUTOPTION::THRESHOLD, "1e-16")));
  EXPECT_TRUE(ISDEFAULT(V, CUTSOF("termall", TCUTOPTION::THRESHOLD, "0.0000000000000001")));
  EXPECT_TRUE(ISDEFAULT(PROGRAMNAMED("termsecul"), CUTSOF("termsecul", TCUTOPTION::PERIODCUT, "2e2")));
  EXPECT_FALSE(ISDEFAULT(V, CUTSOF("termall", TCUTOPTION::THRESHOLD, "1.0000000000000001e-16")));
  EXPECT_FALSE(ISDEFAULT(V, CUTSOF("termall", TCUTOPTION::ESTIMATES, "")));
  struct TBAD {
    TCUTOPTION O;
    const char* VALUE;
    const char* WHY;
  };
  const TBAD BAD[] = {
      {TCUTOPTION::THRESHOLD, "", "is not a number"},
      {TCUTOPTION::THRESHOLD, "abc", "is not a number"},
      {TCUTOPTION::THRESHOLD, "nan", "is not a number"},
      {TCUTOPTION::THRESHOLD, "inf", "is not a number"},
      {TCUTOPTION::THRESHOLD, "1e-12x", "has characters after the number"},
      {TCUTOPTION::THRESHOLD, "1e-12 ", "has characters after the number"},
      {TCUTOPTION::THRESHOLD, "1e4933", "is beyond the extended range"},
      {TCUTOPTION::THRESHOLD, "-1e-3", "is negative"},
      {TCUTOPTION::PERIODCUT, "0", "is zero"},
      {TCUTOPTION::PERIODCUT, "-200", "is negative"},
      {TCUTOPTION::PERIODCUT, "1e4930", "makes the threshold frequency zero"},
      {TCUTOPTION::PERIODCUT, "1e-4940", "makes the threshold frequency infinite"},
      {TCUTOPTION::ORDERBOUND, "128", "is outside -128..127"},
      {TCUTOPTION::ORDERBOUND, "-129", "is outside -128..127"},
      {TCUTOPTION::ORDERBOUND, "2.5", "is not a whole number"},
      {TCUTOPTION::ORDERBOUND, "ten", "is not a number"},
  };
  for (const TBAD& B : BAD) {
    TCUTS C = DEFAULTCUTS(V);
    std::string WHY;
    EXPECT_FALSE(SETCUT(C, B.O, B.VALUE, WHY)) << B.VALUE;
    EXPECT_EQ(WHY, B.WHY) << B.VALUE;
    EXPECT_TRUE(ISDEFAULT(V, C)) << B.VALUE;
  }
}

}  // namespace
