// The series reader: file layout, separators, line ends, end of file,
// the limits of the term fields and the fatal errors of a bad file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "testbits.hpp"
#include "unallvar.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unrowini.hpp"
#include "unrowtxt.hpp"

namespace {

struct TTERM {
  std::string AMP;
  int MEC[6];
  int MAR[6];
  char CODE;
};

// A term line in the layout of the series files.
std::string LINEOF(const TTERM& T) {
  std::string S = T.AMP;
  char B[16];
  for (int V : T.MEC) {
    std::snprintf(B, sizeof B, "%4d", V);
    S += B;
  }
  for (int V : T.MAR) {
    std::snprintf(B, sizeof B, "%4d", V);
    S += B;
  }
  S += "  ";
  S += T.CODE;
  return S;
}

const std::vector<TTERM> SAMPLE = {
    {" -2.0506896781179805e-04", {6, 1, 0, 3, 18, -19}, {-22, 1, 0, 22, 0, -1}, 'S'},
    {"  3.4584293548075861e-06", {6, 0, 1, 0, 4, -4}, {9, 0, -2, -8, 2, -1}, 'C'},
    {" -9.4049501209439686e-01", {6, 1, 2, 1, 15, -16}, {6, 1, 1, -10, 0, 2}, 'C'},
};

// A whole series file: header, count line, column line, term lines.
std::string SERIES(const std::vector<TTERM>& TERMS, const std::string& EOL,
                   long COUNT = -1) {
  std::string S = "series 01, unit sample" + EOL;
  S += "      " + std::to_string(COUNT < 0 ? static_cast<long>(TERMS.size()) : COUNT) + EOL;
  S += "      amplitude            mec(1..6)                mar(1..6)        code" + EOL;
  for (const TTERM& T : TERMS) S += LINEOF(T) + EOL;
  return S;
}

// The number N stands in S as a whole number (not part of a longer one).
bool HASNUMBER(const std::string& S, long N) {
  std::string T = std::to_string(N);
  for (size_t P = S.find(T); P != std::string::npos; P = S.find(T, P + 1)) {
    bool LEFT = P == 0 || !std::isdigit(static_cast<unsigned char>(S[P - 1]));
    bool RIGHT = P + T.size() == S.size() ||
                 !std::isdigit(static_cast<unsigned char>(S[P + T.size()]));
    if (LEFT && RIGHT && (P == 0 || S[P - 1] != '-')) return true;
  }
  return false;
}

class SeriesReader : public ::testing::Test {
 protected:
  void SetUp() override {
    SETFATALTHROWS(true);
    RECNULLO();
    std::string T = (std::filesystem::temp_directory_path() / "seriesreader-XXXXXX").string();
    ASSERT_NE(::mkdtemp(T.data()), nullptr);
    DIR = T;
    TABLE.reset(new TROWDIM);
    // A marker in every byte shows which rows the reader wrote.
    std::memset(static_cast<void*>(TABLE->DATA()), 0xA5, sizeof(TROWDIM));
    ROWS = TABLE.get();
  }
  void TearDown() override {
    std::error_code E;
    std::filesystem::remove_all(DIR, E);
  }

  std::string PREFIX() const { return DIR + "/puf"; }
  std::string NAMEOF(int N) const { return PREFIX() + BYTETOFIXSTR(static_cast<uint8_t>(N), 2) + ".txt"; }
  void PUT(int N, const std::string& BYTES) const {
    std::ofstream OUT(NAMEOF(N), std::ios::binary | std::ios::trunc);
    OUT << BYTES;
    ASSERT_TRUE(OUT.good());
  }
  int32_t READ(int N) {
    int32_t M = -7;
    try {
      REATXTONE(static_cast<uint8_t>(N), PREFIX(), M, ROWS);
    } catch (const TFATAL& F) {
      ADD_FAILURE() << "series " << N << ": " << F.REPORT;
    }
    return M;
  }
  // Reads series N and returns the fatal error it must end with.
  TFATAL FAILURE(int N) {
    try {
      int32_t M = -7;
      REATXTONE(static_cast<uint8_t>(N), PREFIX(), M, ROWS);
    } catch (const TFATAL& F) {
      return F;
    }
    ADD_FAILURE() << "series " << N << " was read without a fatal error";
    return TFATAL{"(none)", ""};
  }
  // The reading of a file holding BYTES fails with KIND.
  TFATAL EXPECTFAIL(const std::string& BYTES, const std::string& KIND) {
    PUT(3, BYTES);
    TFATAL F = FAILURE(3);
    EXPECT_EQ(F.KIND, KIND) << F.REPORT;
    EXPECT_NE(F.REPORT.find(KIND), std::string::npos) << F.REPORT;
    return F;
  }
  bool UNTOUCHED(long K) {
    const unsigned char* P = reinterpret_cast<const unsigned char*>(&(*ROWS)[K]);
    for (size_t I = 0; I < sizeof(TROWVAR); ++I)
      if (P[I] != 0xA5) return false;
    return true;
  }
  void EXPECTROW(long K, const TTERM& T) {
    const TROWVAR& R = (*ROWS)[K];
    std::string A = T.AMP;
    EXPECT_TRUE(SAMEBITS(R.AMP, LIBRARYREAD(A))) << "row " << K;
    for (int I = 1; I <= 6; ++I) {
      EXPECT_EQ(R.MEC[I], T.MEC[I - 1]) << "row " << K << " MEC " << I;
      EXPECT_EQ(R.MAR[I], T.MAR[I - 1]) << "row " << K << " MAR " << I;
    }
    EXPECT_EQ(R.FCS, T.CODE) << "row " << K;
    EXPECT_EQ(R.NPA, 0) << "row " << K;
    EXPECT_EQ(R.NPB, 0) << "row " << K;
    EXPECT_EQ(R.TXT, K - 1) << "row " << K;
  }
  void EXPECTSAMPLE() {
    for (size_t K = 0; K < SAMPLE.size(); ++K) EXPECTROW(static_cast<long>(K) + 1, SAMPLE[K]);
    EXPECT_TRUE(UNTOUCHED(static_cast<long>(SAMPLE.size()) + 1));
  }

  std::string DIR;
  std::unique_ptr<TROWDIM> TABLE;
  TROWPTR ROWS = nullptr;
};

TEST_F(SeriesReader, CrLfAndLfFilesGiveTheSameRows) {
  for (const char* EOL : {"\n", "\r\n"}) {
    SCOPED_TRACE(std::strlen(EOL) == 1 ? "LF" : "CR LF");
    PUT(1, SERIES(SAMPLE, EOL));
    std::memset(static_cast<void*>(TABLE->DATA()), 0xA5, sizeof(TROWDIM));
    EXPECT_EQ(READ(1), 3);
    EXPECTSAMPLE();
  }
  // Mixed line ends, and no line end after the last code letter.
  std::string S = SERIES(SAMPLE, "\r\n");
  S.erase(S.size() - 2);
  for (size_t P = S.find("\r\n"); P != std::string::npos; P = S.find("\r\n", P + 1))
    if (P % 2 == 0) S.erase(P, 1);
  PUT(1, S);
  EXPECT_EQ(READ(1), 3);
  EXPECTSAMPLE();
}

TEST_F(SeriesReader, NumbersMaySpreadOverLinesWithTabsAndBlanks) {
  // The first term with every number on a line of its own, the second with
  // tabs and form feeds as separators, the third split in the middle.
  std::string S = "header\r\n \t 3 and more text\r\ncolumns\r\n";
  S += "\r\n\r\n -2.0506896781179805e-04\r\n";
  for (int V : SAMPLE[0].MEC) S += "  " + std::to_string(V) + "\r\n";
  for (int I = 0; I < 5; ++I) S += std::to_string(SAMPLE[0].MAR[I]) + "\n";
  S += "-1\t\tS tail\r\n";
  S += "3.4584293548075861e-06\t6\t0\t1\t0\t4\t-4\t9\f0\v-2\t-8\t2\t-1\t C\r\n";
  S += "\t-9.4049501209439686e-01 6 1 2\r\n 1 15 -16 6 1 1\n-10 0 2 \tC\r\n";
  PUT(1, S);
  EXPECT_EQ(READ(1), 3);
  EXPECTSAMPLE();

  // The reader itself: the line of each term is where its amplitude stands,
  // and the amplitude text is the one AMPDIGITS writes.
  TSERIESREADER IN(NAMEOF(1));
  ASSERT_EQ(IN.READCOUNT(), 3);
  const long LINES[] = {6, 19, 20};
  for (int K = 0; K < 3; ++K) {
    TROWVAR R = RECNUL;
    TAMPTEXT T{};
    IN.READTERM(R, &T);
    EXPECT_EQ(IN.TERMLINE(), LINES[K]) << "term " << K + 1;
    char W[40];
    int N = AMPDIGITS(EXTABS(R.AMP), W);
    EXPECT_EQ(std::string(T.C, T.LEN), std::string(W, static_cast<size_t>(N)));
  }
  IN.CLOSE();
}

TEST_F(SeriesReader, WhatFollowsTheCodeLetterIsIgnored) {
  std::string S = SERIES(SAMPLE, "\r\n");
  // A trailing period column, and other text after the code.
  size_t P = S.find("  S\r\n");
  ASSERT_NE(P, std::string::npos);
  S = S.substr(0, P + 3) + "." + S.substr(P + 3);
  P = S.find("  C\r\n");
  S = S.substr(0, P + 3) + "  .  1 2 3 x" + S.substr(P + 3);
  PUT(1, S);
  EXPECT_EQ(READ(1), 3);
  EXPECTSAMPLE();
  // Any two characters may stand between MAR[6] and the code.
  std::vector<TTERM> T = SAMPLE;
  std::string L = LINEOF(T[0]);
  L.replace(L.size() - 2, 1, "#");  // "-1 #S"
  PUT(2, "h\n1\nc\n" + L + "\n");
  EXPECT_EQ(READ(2), 1);
  EXPECTROW(1, T[0]);
  // A carriage return without a line feed is no line end: one of the two.
  L.replace(L.size() - 2, 1, "\r");  // "-1 \rS"
  PUT(2, "h\r\n1\r\nc\r\n" + L + "\r\n");
  EXPECT_EQ(READ(2), 1);
  EXPECTROW(1, T[0]);
}

TEST_F(SeriesReader, CharacterTwentySixEndsTheFile) {
  // Exact count: what follows character 26 is not read.
  std::string S = SERIES(SAMPLE, "\r\n");
  std::string JUNK = std::string("\x1a") + LINEOF(SAMPLE[0]) + "\r\n" + "garbage\x01\xff\r\n";
  PUT(1, S + JUNK);
  EXPECT_EQ(READ(1), 3);
  EXPECTSAMPLE();
  // Character 26 right after the last code letter.
  S.erase(S.size() - 2);
  PUT(1, S + JUNK);
  EXPECT_EQ(READ(1), 3);
  EXPECTSAMPLE();

  // A count that needs the term behind character 26.
  std::vector<TTERM> TWO(SAMPLE.begin(), SAMPLE.begin() + 2);
  std::string T = SERIES(TWO, "\r\n", 3) + "\x1a" + LINEOF(SAMPLE[2]) + "\r\n";
  TFATAL F = EXPECTFAIL(T, PASTENDTEXT);
  EXPECT_TRUE(HASNUMBER(F.REPORT, 3)) << F.REPORT;
  EXPECT_TRUE(HASNUMBER(F.REPORT, 2)) << F.REPORT;
  // Character 26 inside a term, between two numbers or inside one.
  std::string U = SERIES(TWO, "\r\n", 3) + "  1.0e-01   1   2\x1a   3   4   5   6   0   0   0   0   0   1  S\r\n";
  EXPECTFAIL(U, PASTENDTEXT);
  std::string V = SERIES(TWO, "\r\n", 3) + "  1.0e-01   1   2   3   4   5   6   0   0   0   0   0   1 \x1a S\r\n";
  EXPECTFAIL(V, PASTENDTEXT);
  // Character 26 in any skipped part of a line: line 1, after the count,
  // line 3, after a code letter.
  EXPECTFAIL("head\x1a\r\n 0\r\ncolumns\r\n", PASTENDTEXT);
  EXPECTFAIL("head\r\n \x1a" "0\r\n", PASTENDTEXT);
  const std::string TERMS = LINEOF(SAMPLE[0]) + "\r\n" + LINEOF(SAMPLE[1]) + "\r\n";
  EXPECTFAIL("head\r\n 2 \x1a\r\ncolumns\r\n" + TERMS, PASTENDTEXT);
  EXPECTFAIL("head\r\n 2\r\ncol\x1a" "umns\r\n" + TERMS, PASTENDTEXT);
  EXPECTFAIL("head\r\n 2\r\ncolumns\r\n" + LINEOF(SAMPLE[0]) + ".\x1a\r\n" + LINEOF(SAMPLE[1]) + "\r\n",
             PASTENDTEXT);
}

TEST_F(SeriesReader, CountZeroReadsNoTerms) {
  // The terms after a zero count are not looked at, even when malformed.
  PUT(1, "empty\r\n      0\r\ncolumns\r\n  x y z  Q\r\n");
  EXPECT_EQ(READ(1), 0);
  for (long K : {1L, 2L, 100L, MAXARR}) EXPECT_TRUE(UNTOUCHED(K)) << K;
  PUT(2, "empty\n0");
  EXPECT_EQ(READ(2), 0);
  PUT(2, "empty\n   +0   \n");
  EXPECT_EQ(READ(2), 0);
  EXPECT_TRUE(UNTOUCHED(1));
}

TEST_F(SeriesReader, RowsStartEmptyAndKnowTheirPlace) {
  // Rows written before are overwritten in full: planets 0, TXT the place.
  for (long K = 1; K <= 3; ++K) {
    TROWVAR& R = (*ROWS)[K];
    R.NPA = 5;
    R.NPB = 7;
    R.TXT = 99;
  }
  PUT(1, SERIES(SAMPLE, "\n"));
  EXPECT_EQ(READ(1), 3);
  EXPECTSAMPLE();
}

TEST_F(SeriesReader, ExponentsAndMultipliersHoldMinus128To127) {
  TTERM T{"  1.0000000000000000e+00", {127, -128, 0, 0, -128, 127}, {-128, 127, 1, -1, 127, -128}, 'C'};
  PUT(1, "h\r\n1\r\nc\r\n  1.0e+00 127 -128 0 0 -128 127 -128 127 1 -1 127 -128  C\r\n");
  EXPECT_EQ(READ(1), 1);
  EXPECTROW(1, T);
  // Signs and leading zeros are read.
  PUT(1, "h\n1\nc\n1.0 +127 -0 007 -0128 00 +0 1 2 3 4 5 6  S\n");
  EXPECT_EQ(READ(1), 1);
  const TROWVAR& R = (*ROWS)[1];
  EXPECT_EQ(R.MEC[1], 127);
  EXPECT_EQ(R.MEC[2], 0);
  EXPECT_EQ(R.MEC[3], 7);
  EXPECT_EQ(R.MEC[4], -128);
  EXPECT_EQ(R.MAR[6], 6);

  for (const char* BAD : {"128", "-129", "255", "1000", "9223372036854775807", "-0000000000000000000000129"}) {
    for (int I = 0; I < 12; I += 5) {  // MEC[1], MEC[6], MAR[5]
      SCOPED_TRACE(std::string(BAD) + " at field " + std::to_string(I));
      std::string L = "  1.0e+00";
      for (int J = 0; J < 12; ++J) L += J == I ? std::string(" ") + BAD : std::string(" 0");
      L += "  S";
      EXPECTFAIL("h\r\n1\r\nc\r\n" + L + "\r\n", RANGETEXT);
    }
  }
}

// An integer field too long for 64 bits must stay out of range, not wrap
// around: 2^64 + 1 is far outside -128..127 but its low 64 bits make 1, and
// 20 nines come back negative (a signed overflow in READINT).
TEST_F(SeriesReader, HugeIntegerFieldsAreRangeErrorsNotWrappedValues) {
  std::string L = "  1.0e+00 18446744073709551617 0 0 0 0 0 0 0 0 0 0 0  S";
  EXPECTFAIL("h\r\n1\r\nc\r\n" + L + "\r\n", RANGETEXT);
  EXPECTFAIL("h\r\n18446744073709551617\r\nc\r\n", RANGETEXT);
  EXPECTFAIL("h\r\n99999999999999999999\r\nc\r\n", RANGETEXT);
  EXPECTFAIL("h\r\n1\r\nc\r\n 1.0 0 0 0 0 0 0 0 0 0 0 0 -99999999999999999999  S\r\n", RANGETEXT);
  EXPECTFAIL("h\r\n-18446744073709551615\r\nc\r\n", RANGETEXT);
}

// Such a field is reported as written, cut to a readable length, with its
// digit count: never as the value READINT caps it at. A field longer than
// 1 MiB is too long, not "not a number".
TEST_F(SeriesReader, ReportsShowOverlongFieldsAsWritten) {
  const std::string D30(30, '7');
  TFATAL F = EXPECTFAIL("h\r\n1\r\nc\r\n 1.0 0 0 -" + D30 + " 0 0 0  0 0 0 0 0 0  S\r\n", RANGETEXT);
  EXPECT_NE(F.REPORT.find("line 4: MEC[3] -" + std::string(23, '7') + "... (30 digits) is outside -128..127"),
            std::string::npos)
      << F.REPORT;
  F = EXPECTFAIL("h\r\n  9223372036854775807\r\nc\r\n", RANGETEXT);
  EXPECT_NE(F.REPORT.find("line 2: term count 9223372036854775807 (19 digits) is outside 0..74967"), std::string::npos)
      << F.REPORT;
  for (const TFATAL& G : {F, EXPECTFAIL("h\r\n1\r\nc\r\n 1.0 0 0 0 0 0 0  0 0 0 0 0 " + D30 + "  S\r\n", RANGETEXT)})
    EXPECT_EQ(G.REPORT.find("4611686018427387904"), std::string::npos) << G.REPORT;

  const std::string LONG((size_t{1} << 20) + 1, '5');
  for (const std::string& L : {" " + LONG + " 0 0 0 0 0 0  0 0 0 0 0 0  S", " 1.0 0 0 0 0 0 " + LONG + "  0 0 0 0 0 0  S"}) {
    F = EXPECTFAIL("h\r\n1\r\nc\r\n" + L + "\r\n", NUMFORMTEXT);
    EXPECT_NE(F.REPORT.find("\"" + std::string(40, '5') + "...\" is too long: a number field takes at most 1048576 "
                            "characters"),
              std::string::npos)
        << F.REPORT;
    EXPECT_EQ(F.REPORT.find("not a number"), std::string::npos) << F.REPORT;
  }
}

TEST_F(SeriesReader, CountOutside0To74967IsARangeError) {
  TFATAL F = EXPECTFAIL("h\r\n -1\r\nc\r\n", RANGETEXT);
  EXPECT_TRUE(HASNUMBER(F.REPORT, 74967)) << F.REPORT;
  // No term is read: with no terms present the count is still refused
  // first, and no row is written.
  EXPECTFAIL("h\r\n  74968\r\nc\r\n", RANGETEXT);
  EXPECT_TRUE(UNTOUCHED(1));
  EXPECTFAIL("h\r\n  74968\r\nc\r\n" + LINEOF(SAMPLE[0]) + "\r\n", RANGETEXT);
  EXPECT_TRUE(UNTOUCHED(1));
  EXPECTFAIL("h\r\n  9223372036854775807\r\nc\r\n", RANGETEXT);
  // The largest count is allowed: this file fails only for want of terms.
  EXPECTFAIL("h\r\n  74967\r\nc\r\n", PASTENDTEXT);
}

TEST_F(SeriesReader, CountMustBeAnInteger) {
  for (const char* C : {"abc", "12.5", "3e0", "+", "0x10", "3,", "1-"}) {
    SCOPED_TRACE(C);
    EXPECTFAIL(std::string("h\r\n  ") + C + "\r\nc\r\n" + LINEOF(SAMPLE[0]) + "\r\n", NUMFORMTEXT);
  }
}

TEST_F(SeriesReader, MissingCountIsReadPastEnd) {
  EXPECTFAIL("", PASTENDTEXT);
  EXPECTFAIL("only one line", PASTENDTEXT);
  EXPECTFAIL("only one line\r\n", PASTENDTEXT);
  EXPECTFAIL("only one line\n   \t ", PASTENDTEXT);
  // A blank line 2: the count is not taken from line 3.
  EXPECTFAIL("h\r\n\r\n 1\r\n" + LINEOF(SAMPLE[0]) + "\r\n", PASTENDTEXT);
  EXPECTFAIL("h\n   \n 1\n" + LINEOF(SAMPLE[0]) + "\n", PASTENDTEXT);
}

TEST_F(SeriesReader, TooFewTermsIsReadPastEndNamingFileCountAndTermsFound) {
  std::string S = SERIES(SAMPLE, "\r\n", 5);
  PUT(4, S);
  TFATAL F = FAILURE(4);
  EXPECT_EQ(F.KIND, PASTENDTEXT);
  EXPECT_NE(F.REPORT.find("puf04.txt"), std::string::npos) << F.REPORT;
  EXPECT_TRUE(HASNUMBER(F.REPORT, 5)) << F.REPORT;
  EXPECT_TRUE(HASNUMBER(F.REPORT, 3)) << F.REPORT;
  // The terms found before are in the table.
  for (long K = 1; K <= 3; ++K) EXPECTROW(K, SAMPLE[static_cast<size_t>(K - 1)]);
  EXPECT_TRUE(UNTOUCHED(5));

  // The last term cut short anywhere before its code letter.
  std::string FULL = SERIES(SAMPLE, "\r\n");
  std::string LAST = LINEOF(SAMPLE[2]);
  for (size_t CUT : {size_t{0}, size_t{10}, size_t{30}, LAST.size() - 3, LAST.size() - 1}) {
    SCOPED_TRACE(CUT);
    std::string T = FULL.substr(0, FULL.size() - LAST.size() - 2) + LAST.substr(0, CUT);
    TFATAL G = EXPECTFAIL(T, PASTENDTEXT);
    EXPECT_TRUE(HASNUMBER(G.REPORT, 3)) << G.REPORT;
    EXPECT_TRUE(HASNUMBER(G.REPORT, 2)) << G.REPORT;
  }
}

TEST_F(SeriesReader, CodeLetterMustStandTwoCharactersAfterMar6) {
  std::string L = LINEOF(SAMPLE[0]);  // "...  -1  S"
  std::string ONEBLANK = L.substr(0, L.size() - 3) + " S";
  std::string NEXT = LINEOF(SAMPLE[1]);
  for (const std::string EOL : {"\n", "\r\n"}) {
    SCOPED_TRACE(EOL.size() == 1 ? "LF" : "CR LF");
    const std::string HEAD = std::string("h") + EOL + "2" + EOL + "c" + EOL;
    const std::string CUT = L.substr(0, L.size() - 3);
    // One blank: the code position is the line end; the S of this line and
    // the first characters of the next line are not taken.
    EXPECTFAIL(HEAD + ONEBLANK + EOL + "S" + NEXT + EOL, TERMCODETEXT);
    // Line end right after MAR[6].
    EXPECTFAIL(HEAD + CUT + EOL + "  S" + EOL + NEXT + EOL, TERMCODETEXT);
    EXPECTFAIL(HEAD + CUT + EOL + "SS" + EOL + NEXT + EOL, TERMCODETEXT);
  }
  // A character above 32 right after MAR[6] belongs to its field, however
  // the integers stand in their columns: "-1(" is not a number.
  for (const char* GLUED : {"( S", "x S", ".5 S", "-S"}) {
    SCOPED_TRACE(GLUED);
    EXPECTFAIL("h\r\n1\r\nc\r\n" + L.substr(0, L.size() - 3) + GLUED + "\r\n", NUMFORMTEXT);
  }

  // Three blanks: the code position holds a blank.
  std::string THREE = L.substr(0, L.size() - 3) + "   S";
  TFATAL F = EXPECTFAIL("h\r\n1\r\nc\r\n" + THREE + "\r\n", TERMCODETEXT);
  EXPECT_TRUE(HASNUMBER(F.REPORT, 32)) << F.REPORT;

  // Letters other than S and C, with the character code in the report.
  for (char CODE : {'s', 'c', 'X', '1', '.'}) {
    SCOPED_TRACE(CODE);
    TTERM T = SAMPLE[0];
    T.CODE = CODE;
    TFATAL G = EXPECTFAIL(SERIES({T}, "\r\n"), TERMCODETEXT);
    EXPECT_TRUE(HASNUMBER(G.REPORT, static_cast<unsigned char>(CODE))) << G.REPORT;
  }
}

TEST_F(SeriesReader, AmplitudeMustBeADecimalNumber) {
  for (const char* A : {"inf", "-inf", "nan", "NAN", "1e99999", "-1e99999", "0x1p3", "0x10", "1.5S",
                        "--1", "+-1", ".", "e5", "1e", "1.2.3", "1,5", "1d5", "INFINITY"}) {
    SCOPED_TRACE(A);
    TFATAL F = EXPECTFAIL(std::string("h\r\n1\r\nc\r\n ") + A + "  0 0 0 0 0 0  0 0 0 0 0 0  S\r\n", NUMFORMTEXT);
    EXPECT_NE(F.REPORT.find("puf03.txt"), std::string::npos) << F.REPORT;
  }
  // A value below the range is zero, not an error.
  PUT(1, "h\r\n2\r\nc\r\n 1e-99999  0 0 0 0 0 0  0 0 0 0 0 0  S\r\n-1e-99999  0 0 0 0 0 0  0 0 0 0 0 0  C\r\n");
  EXPECT_EQ(READ(1), 2);
  EXPECT_TRUE(SAMEBITS((*ROWS)[1].AMP, 0.0_EXT));
  EXPECT_TRUE(SAMEBITS((*ROWS)[2].AMP, -0.0_EXT));
  // Integer fields are integers.
  for (const char* M : {"1.0", "1e2", "x", "0x1", "1-", "--1"}) {
    SCOPED_TRACE(M);
    EXPECTFAIL(std::string("h\r\n1\r\nc\r\n 1.0 0 0 ") + M + " 0 0 0  0 0 0 0 0 0  S\r\n", NUMFORMTEXT);
  }
}

TEST_F(SeriesReader, VeryLongAmplitudeReadsExactly) {
  // Thousands of digits, one field, rounded once.
  std::string A = "0.";
  unsigned long X = 12345;
  for (int I = 0; I < 5000; ++I) {
    X = X * 6364136223846793005UL + 1442695040888963407UL;
    A += static_cast<char>('0' + (X >> 60) % 10);
  }
  std::string B = "-31415." + A.substr(2) + "e-3";
  PUT(1, "h\r\n2\r\nc\r\n" + A + " 0 0 0 0 0 0 0 0 0 0 0 1  S\r\n" + B + "\r\n 0 0 0 0 0 0 0 0 0 0 0 1  C\r\n");
  EXPECT_EQ(READ(1), 2);
  EXPECT_TRUE(SAMEBITS((*ROWS)[1].AMP, LIBRARYREAD(A)));
  EXPECT_TRUE(SAMEBITS((*ROWS)[2].AMP, LIBRARYREAD(B)));
  EXPECT_EQ((*ROWS)[2].FCS, 'C');
}

TEST_F(SeriesReader, FieldsAndLineEndsAcrossTheReadBuffer) {
  // A long first line moves the terms over the reader's 256 KiB buffer
  // boundary at every position: fields, CR LF pairs and code letters split.
  const size_t BUF = size_t{1} << 18;
  std::string TAIL = "\r\n      3\r\ncolumns\r\n";
  for (const TTERM& T : SAMPLE) TAIL += LINEOF(T) + "\r\n";
  PUT(5, std::string(BUF, 'h'));
  int FD = ::open(NAMEOF(5).c_str(), O_WRONLY);
  ASSERT_GE(FD, 0);
  for (size_t SHIFT = 1; SHIFT <= TAIL.size() + 2; ++SHIFT) {
    SCOPED_TRACE(SHIFT);
    // The tail moves one place down each time; the line before it grows.
    const off_t AT = static_cast<off_t>(BUF - SHIFT);
    ASSERT_EQ(::pwrite(FD, TAIL.data(), TAIL.size(), AT), static_cast<ssize_t>(TAIL.size()));
    ASSERT_EQ(::ftruncate(FD, AT + static_cast<off_t>(TAIL.size())), 0);
    std::memset(static_cast<void*>(TABLE->DATA()), 0xA5, 4 * sizeof(TROWVAR));
    EXPECT_EQ(READ(5), 3);
    EXPECTSAMPLE();
    if (HasFailure()) break;
  }
  ::close(FD);
  // A term that itself is longer than the buffer.
  std::string A = "1." + std::string(BUF + 100, '0') + "1";
  PUT(5, "h\n1\nc\n" + A + "\n0 0 0 0 0 0 0 0 0 0 0 0  S\n");
  EXPECT_EQ(READ(5), 1);
  EXPECT_TRUE(SAMEBITS((*ROWS)[1].AMP, 1.0_EXT));
}

TEST_F(SeriesReader, FileOpenFailures) {
  TFATAL F = FAILURE(9);
  EXPECT_EQ(F.KIND, NOTFOUNDTEXT) << F.REPORT;
  EXPECT_NE(F.REPORT.find("puf09.txt"), std::string::npos) << F.REPORT;
  // A folder of the series file's name: refused at once.
  ASSERT_EQ(::mkdir(NAMEOF(1).c_str(), 0755), 0);
  F = FAILURE(1);
  EXPECT_EQ(F.KIND, ACCESSTEXT) << F.REPORT;
  // A named pipe without a writer: refused, not waited for.
  ASSERT_EQ(::mkfifo(NAMEOF(2).c_str(), 0644), 0);
  F = FAILURE(2);
  EXPECT_EQ(F.KIND, ACCESSTEXT) << F.REPORT;
  // A folder on the way that does not exist.
  int32_t M = 0;
  try {
    REATXTONE(1, DIR + "/none/puf", M, ROWS);
    ADD_FAILURE() << "read through a missing folder";
  } catch (const TFATAL& G) {
    EXPECT_TRUE(G.KIND == NOTFOUNDTEXT || G.KIND == PATHTEXT) << G.REPORT;
  }
}

// Terms of the usual shape, each on one line, and the same terms spelt in
// ways that only the general reading takes (fields split over lines,
// other separators, longer integer fields): the same rows, amplitude texts
// and term lines.
TEST_F(SeriesReader, OneLineTermsReadAsTheSameTermsSpeltOtherwise) {
  std::mt19937_64 G(2024);
  auto PICK = [&G](int N) { return static_cast<int>(G() % static_cast<uint64_t>(N)); };
  const char* const AMPS[] = {"-2.0506896781179805e-04", "3.4584293548075861E-06", "+1.5", ".5", "5.",
                              "000123.4500e+3", "1e27", "1.00000000000000000000e-30", "-0.0",
                              "1.8225997659412373e-4951", "12345678901234567890", "7e-28", "1.2e4900"};
  std::string ONE = "h\n", OTHER = "h\n";
  const int N = 3000;
  ONE += std::to_string(N) + "\nc\n";
  OTHER += std::to_string(N) + "\nc\n";
  std::vector<long> OTHERLINE;  // where each term starts in OTHER
  long LINE = 4;
  for (int K = 0; K < N; ++K) {
    std::string AMP = AMPS[PICK(13)];
    if (PICK(2) == 0) {
      char B[40];
      std::snprintf(B, sizeof B, "%.*Le", PICK(19), static_cast<long double>(G()) / 1e9L * (PICK(2) ? -1 : 1));
      AMP = B;
    }
    int V[12];
    for (int& X : V) X = PICK(4) == 0 ? PICK(256) - 128 : PICK(21) - 10;
    const char CODE = PICK(2) ? 'S' : 'C';
    std::string A = "  " + AMP, B;
    const bool CELLS = PICK(2) == 0 && *std::min_element(V, V + 12) >= -99;
    for (int X : V) {
      // Four columns each, or a blank or tab and the digits.
      char C[16];
      std::snprintf(C, sizeof C, CELLS ? "%4d" : (PICK(3) ? "\t%d" : " %d"), X);
      A += C;
    }
    A += "  ";
    A += CODE;
    if (PICK(4) == 0) A += " trailing text";
    ONE += A + (PICK(2) ? "\r\n" : "\n");
    // The other spelling: a blank line first, then each field on a line of
    // its own or after a form feed, integers with leading zeros.
    OTHERLINE.push_back(LINE + 1);
    B = "\n" + AMP;
    LINE += 1;
    for (int X : V) {
      if (PICK(3) == 0) {
        B += "\n";
        ++LINE;
      } else {
        B += "\f";
      }
      B += X < 0 ? "-000" : "000";
      B += std::to_string(std::abs(X));
    }
    B += "  ";
    B += CODE;
    B += '\n';
    ++LINE;
    OTHER += B;
  }
  PUT(1, ONE);
  PUT(2, OTHER);
  TSERIESREADER RA(NAMEOF(1)), RB(NAMEOF(2));
  ASSERT_EQ(RA.READCOUNT(), N);
  ASSERT_EQ(RB.READCOUNT(), N);
  for (int K = 0; K < N; ++K) {
    SCOPED_TRACE(K);
    TROWVAR X = RECNUL, Y = RECNUL;
    TAMPTEXT TX{}, TY{};
    ASSERT_NO_THROW(RA.READTERM(X, &TX));
    ASSERT_NO_THROW(RB.READTERM(Y, &TY));
    ASSERT_EQ(std::memcmp(&X, &Y, sizeof X), 0);
    ASSERT_EQ(std::string(TX.C, TX.LEN), std::string(TY.C, TY.LEN));
    ASSERT_EQ(RA.TERMLINE(), K + 4);
    ASSERT_EQ(RB.TERMLINE(), OTHERLINE[static_cast<size_t>(K)]);
  }
}

TEST_F(SeriesReader, FileNameIsPrefixAndTwoDigitNumber) {
  PUT(7, SERIES(SAMPLE, "\r\n"));
  EXPECT_TRUE(std::filesystem::exists(DIR + "/puf07.txt"));
  EXPECT_EQ(READ(7), 3);
  EXPECTSAMPLE();
  std::filesystem::rename(DIR + "/puf07.txt", DIR + "/puf7.txt");
  EXPECT_EQ(FAILURE(7).KIND, NOTFOUNDTEXT);
  std::filesystem::rename(DIR + "/puf7.txt", DIR + "/puf27.txt");
  EXPECT_EQ(READ(27), 3);
}

// A cell read character by character: the blank, then a digit last, a
// digit or a blank or a minus before it, and so on.
bool CELLBYHAND(const unsigned char* Q, int& X) {
  auto DIGIT = [](unsigned char C) { return C >= '0' && C <= '9'; };
  if (Q[0] != ' ' || !DIGIT(Q[3])) return false;
  if (DIGIT(Q[2])) {
    const int LOW = (Q[2] - '0') * 10 + (Q[3] - '0');
    if (DIGIT(Q[1])) {
      X = (Q[1] - '0') * 100 + LOW;
      return X <= 127;
    }
    X = Q[1] == '-' ? -LOW : LOW;
    return Q[1] == ' ' || Q[1] == '-';
  }
  X = Q[2] == '-' ? -(Q[3] - '0') : Q[3] - '0';
  return Q[1] == ' ' && (Q[2] == ' ' || Q[2] == '-');
}

constexpr uint32_t CELLSTEP = SANITIZED ? 7 : 1;

// Twelve cells at once: every cell of a blank and any three characters, in
// each of the twelve places among cells that read, reads as by hand; and
// a sample of cells with something else first never reads. The same for
// the vector form and the plain one.
class ReaderCells : public testing::TestWithParam<bool (*)(const unsigned char*, int8_t*)> {};
INSTANTIATE_TEST_SUITE_P(Forms, ReaderCells, testing::Values(READTWELVECELLS, READTWELVECELLSPLAIN),
                         [](const auto& I) { return I.index == 0 ? "Usual" : "Plain"; });

TEST_P(ReaderCells, EveryCellReadsAsByHand) {
  const auto READTWELVE = GetParam();
  const char* const GOOD[] = {"   0", "   7", "  -3", "  42", " -99", " 127", " 100", "  09"};
  unsigned char ROW[48];
  int8_t V[12];
  auto FILL = [&ROW, &GOOD](uint32_t K) {
    for (int I = 0; I < 12; ++I) std::memcpy(ROW + 4 * I, GOOD[(K + static_cast<uint32_t>(I)) % 8], 4);
  };
  long CELLS = 0;
  for (uint32_t K = 0; K < (uint32_t{1} << 24); K += CELLSTEP) {
    FILL(K);
    const int AT = static_cast<int>(K % 12);
    unsigned char* Q = ROW + 4 * AT;
    Q[1] = static_cast<unsigned char>(K >> 16);
    Q[2] = static_cast<unsigned char>(K >> 8);
    Q[3] = static_cast<unsigned char>(K);
    int Y = 0;
    const bool HAND = CELLBYHAND(Q, Y);
    ASSERT_EQ(READTWELVE(ROW, V), HAND) << K;
    if (HAND) {
      ++CELLS;
      ASSERT_EQ(V[AT], Y) << K;
      for (int I = 0; I < 12; ++I) {
        int Z = 0;
        if (I != AT) {
          ASSERT_TRUE(CELLBYHAND(ROW + 4 * I, Z) && V[I] == Z) << K << " " << I;
        }
      }
    }
  }
  if (CELLSTEP == 1) {
    EXPECT_EQ(CELLS, 128 + 100 + 100 + 10 + 10);
  }
  std::mt19937 G(5);
  for (uint32_t K = 0; K < 100000; ++K) {
    FILL(K);
    unsigned char* Q = ROW + 4 * (K % 12);
    for (int I = 0; I < 4; ++I) Q[I] = static_cast<unsigned char>(G() % 4 == 0 ? " -0123456789"[G() % 12] : G());
    if (Q[0] == ' ') Q[0] = static_cast<unsigned char>(G() % 2 ? '\t' : '0');
    EXPECT_FALSE(READTWELVE(ROW, V)) << int{Q[0]} << " " << int{Q[1]} << " " << int{Q[2]} << " " << int{Q[3]};
  }
}

}  // namespace
