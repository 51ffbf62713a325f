// The reader that keeps its defects: the same kinds and texts as the fatal
// reports, the place of each, the reading going on at the next line; and
// the line ends it counts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "unfatal.hpp"
#include "unrowini.hpp"
#include "unrowtxt.hpp"
#include "unserchk.hpp"
#include "unserdir.hpp"

namespace {

const std::string HEAD = "h\r\n";
const std::string GOOD = "  1.0000000000000000e-03   1   0   0   0   2  -3   1   0   0   0   0   1  S";

class KeptDefects : public ::testing::Test {
 protected:
  void SetUp() override {
    SETFATALTHROWS(true);
    RECNULLO();
    std::string T = (std::filesystem::temp_directory_path() / "keptdefects-XXXXXX").string();
    ASSERT_NE(::mkdtemp(T.data()), nullptr);
    DIR = T;
    std::string WHY;
    ASSERT_TRUE(SETSERIESDIR(DIR, WHY)) << WHY;
  }
  void TearDown() override {
    RESETSERIESDIR();
    SETFATALTHROWS(false);
    std::error_code E;
    std::filesystem::remove_all(DIR, E);
  }
  void PUT(const std::string& BYTES) {
    std::ofstream OUT(DIR + "/puf03.txt", std::ios::binary | std::ios::trunc);
    OUT << BYTES;
  }
  // The fatal report of REATXTONE on puf03.txt.
  TFATAL FATAL() {
    TROWPTR R = new TROWDIM;
    int32_t M = 0;
    TFATAL F{"(none)"};
    try {
      REATXTONE(3, DIR + "/puf", M, R);
    } catch (const TFATAL& X) {
      F = X;
    }
    delete R;
    return F;
  }
  std::string DIR;
};

// The first defect kept is the fatal error of a plain reading: its kind,
// its text, and the line the report names.
TEST_F(KeptDefects, SameKindAndTextAsTheFatalReport) {
  const std::string CUT = GOOD.substr(0, GOOD.size() - 3);
  const std::vector<std::string> FILES = {
      HEAD + "\r\nc\r\n",                                       // no count
      HEAD + "  12x\r\nc\r\n",                                  // count not a number
      HEAD + "  74968\r\nc\r\n",                                // count too large
      HEAD + "2\r\nc\r\n" + GOOD + "\r\n",                      // a term missing
      HEAD + "1\r\nc\r\n  1.0e-3x" + GOOD.substr(24) + "\r\n",  // amplitude
      HEAD + "1\r\nc\r\n" + GOOD.substr(0, 44) + " 128" + GOOD.substr(48) + "\r\n",
      HEAD + "1\r\nc\r\n" + CUT + "  s\r\n",      // code letter
      HEAD + "1\r\nc\r\n" + CUT + " S\r\n",       // the line ends at the code
      HEAD + "1\r\nc\r\n" + CUT + "  \x01\r\n",  // not printable
      HEAD + "1\r\nc\r\n" + CUT,                  // the file ends at the code
  };
  for (const std::string& F : FILES) {
    SCOPED_TRACE(F);
    PUT(F);
    const TFATAL X = FATAL();
    TFILECHECK C = CHECKSERIESFILE(3);
    ASSERT_FALSE(C.FINDINGS.empty());
    const TFINDING& D = C.FINDINGS.front();
    EXPECT_TRUE(D.ERROR);
    EXPECT_EQ(D.KIND, X.KIND);
    const std::string TAIL = D.WHAT.substr(D.WHAT.size() > 30 ? D.WHAT.size() - 30 : 0);
    EXPECT_EQ(X.WHY.substr(X.WHY.size() - TAIL.size()), TAIL) << X.WHY << "\n" << D.WHAT;
    EXPECT_NE(X.WHY.find("line " + std::to_string(D.LINE)), std::string::npos) << X.WHY << "\n" << D.LINE;
  }
}

// One defect gives one report and the terms after it are read as usual,
// a term cut short too, whose reading runs into the next line; each at its
// line and column.
TEST_F(KeptDefects, ReadingGoesOnAtTheNextLine) {
  const std::string BADNUM = "  1.0e-3   1   0   0  x0   2  -3   1   0   0   0   0   1  S";
  const std::string RANGE = GOOD.substr(0, 48) + " 200" + GOOD.substr(52);
  const std::string SHORT = GOOD.substr(0, GOOD.size() - 7);  // MAR[6] and the code missing
  PUT(HEAD + "  7\r\nc\r\n" + GOOD + "\r\n" + BADNUM + "\r\n" + "  3.0000000000000000e-03" + GOOD.substr(24) + "\r\n" + RANGE + "\r\n" + SHORT + "\r\n" +
      "  2.0000000000000000e-03" + GOOD.substr(24) + "\r\n" + GOOD + "\r\n");
  const TFILECHECK C = CHECKSERIESFILE(3);
  ASSERT_EQ(C.FINDINGS.size(), 4u);
  auto AT = [&](size_t X, long L, long COL, const char* KIND) {
    EXPECT_EQ(C.FINDINGS[X].LINE, L) << X;
    EXPECT_EQ(C.FINDINGS[X].COLUMN, COL) << X;
    EXPECT_EQ(C.FINDINGS[X].KIND, KIND) << X;
  };
  AT(0, 5, 23, NUMFORMTEXT);  // "x0", MEC[4]
  AT(1, 7, 50, RANGETEXT);    // MAR[1] 200
  AT(2, 9, 3, NUMFORMTEXT);   // the next amplitude read as MAR[6]
  AT(3, 10, 1, "Repeated term");
  EXPECT_EQ(C.TERMS, 7);
  EXPECT_EQ(C.GOOD, 4);
}

// Line ends counted across the pieces in which the file is read: a CR at
// the end of one piece and the LF at the start of the next make one CR LF;
// nothing after character 26 counts.
TEST(LineEnds, CountedAcrossPieces) {
  TLINEENDS E;
  const std::string A = "a\r\nb\nc\r", B = "\nd\n\r\x1a\n\r\n";
  E.SEE(reinterpret_cast<const unsigned char*>(A.data()), A.size());
  E.SEE(reinterpret_cast<const unsigned char*>(B.data()), B.size());
  EXPECT_EQ(E.CRLF, 2);
  EXPECT_EQ(E.LF, 2);
  EXPECT_EQ(E.FIRSTCRLF, 1);
  EXPECT_EQ(E.FIRSTLF, 2);
}

}  // namespace
