// The cut options on the command line: every refusal is status 2, one line
// on standard error that names the option and the value, and nothing read
// or written; the settings file is written by a run with other settings,
// removed by a default run, and a failure with it is the I/O error.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

TEST(CutOptions, RefusedBeforeAnythingIsReadOrWritten) {
  struct TCASE {
    const char* PROGRAM;
    const char* ARGS;
    const char* SAID;  // in the line on standard error
  };
  const TCASE CASES[] = {
      {"termall", "--threshold abc", "--threshold 'abc' is not a number"},
      {"termall", "--threshold 1e-12x", "--threshold '1e-12x' has characters after the number"},
      {"termshort", "--threshold nan", "--threshold 'nan' is not a number"},
      {"termshort", "--threshold inf", "--threshold 'inf' is not a number"},
      {"termall", "--threshold 1e5000", "--threshold '1e5000' is beyond the extended range"},
      {"termall", "--threshold=-1e-20", "--threshold '-1e-20' is negative"},
      {"termshort", "--period-cut 0", "--period-cut '0' is zero"},
      {"termsecul", "--period-cut -3", "--period-cut '-3' is negative"},
      {"termsecul", "--period-cut 1e4931", "--period-cut '1e4931' makes the threshold frequency zero"},
      {"termshort", "--period-cut 1e-4940", "--period-cut '1e-4940' makes the threshold frequency infinite"},
      {"termshort", "--max-order 128", "--max-order '128' is outside -128..127"},
      {"termall", "--order-bound -129", "--order-bound '-129' is outside -128..127"},
      {"termall", "--order-bound 3.5", "--order-bound '3.5' is not a whole number"},
      {"termall", "--threshold", "--threshold needs a value"},
      {"termall", "--threshold 1 --threshold 2", "'--threshold' repeats an option given before"},
      {"termsecul", "--threshold 1e-12", "--threshold is not an option of termsecul"},
      {"termsecul", "--estimates", "--estimates is not an option of termsecul"},
      {"termall", "--period-cut 100", "--period-cut is not an option of termall"},
      {"termall", "--max-order 5", "--max-order is not an option of termall"},
      {"termshort", "--order-bound 5", "--order-bound is not an option of termshort"},
      {"termall", "--threshold \"$(printf '1\\n2\\033')\"", "--threshold '1\\n2\\x1B' has characters after the number"},
      {"termcuts", "--thresholds 1e-6,,1e-8", "'' is not a number"},
      {"termcuts", "--period-cut 0", "--period-cut '0' is zero"},
      {"termcuts", "--threshold 1e-6", "unexpected argument '--threshold'"},
  };
  TSCRATCH S, O;
  ASSERT_EQ(RUN(S.PATH(), TOOL("seriesgen") + " --scale tiny --seed 2 . > /dev/null").STATUS, 0);
  const std::vector<std::string> BEFORE = LISTDIR(S.PATH());
  for (const TCASE& C : CASES) {
    SCOPED_TRACE(std::string(C.PROGRAM) + " " + C.ARGS);
    const std::string OUT = std::string(C.PROGRAM) == "termcuts" ? "" : " --output " + O.PATH();
    const TRUN R = RUN(S.PATH(), "exec " + PROGRAM(C.PROGRAM) + OUT + " " + C.ARGS);
    EXPECT_EQ(R.STATUS, 2);
    EXPECT_EQ(R.OUT, "");
    EXPECT_NE(R.ERR.find(std::string(C.PROGRAM) + ": "), std::string::npos) << R.ERR;
    EXPECT_NE(R.ERR.find(C.SAID), std::string::npos) << R.ERR;
    EXPECT_TRUE(R.ERR.size() >= 2 && R.ERR.compare(R.ERR.size() - 2, 2, "\r\n") == 0) << R.ERR;
    EXPECT_TRUE(LISTDIR(O.PATH()).empty());
    EXPECT_EQ(LISTDIR(S.PATH()), BEFORE);
  }
}

TEST(CutOptions, SettingsFileFollowsTheRun) {
  TSCRATCH S, O;
  ASSERT_EQ(RUN(S.PATH(), TOOL("seriesgen") + " --scale tiny --seed 2 . > /dev/null").STATUS, 0);
  const std::string BASE = PROGRAM("termall") + " --quiet --series " + S.PATH() + " --output " + O.PATH();
  ASSERT_EQ(RUN(O.PATH(), BASE).STATUS, 0);
  const std::string DEFAULTTABLE = READFILE(O.FILE("robotabl.txt"));
  EXPECT_FALSE(EXISTS(O.FILE("robo.settings")));
  // The default's own value is the default: no settings file, the same
  // tables.
  ASSERT_EQ(RUN(O.PATH(), BASE + " --threshold 0.0000000000000001 --order-bound 10").STATUS, 0);
  EXPECT_FALSE(EXISTS(O.FILE("robo.settings")));
  EXPECT_EQ(READFILE(O.FILE("robotabl.txt")), DEFAULTTABLE);
  ASSERT_EQ(RUN(O.PATH(), BASE + " --threshold 1e-12 --estimates").STATUS, 0);
  EXPECT_EQ(READFILE(O.FILE("robo.settings")),
            "pairterms settings\r\nprogram termall\r\nversion " + SPLITLINES(RUN(O.PATH(), PROGRAM("termall") +
                                                                                    " --version").OUT)[0]
                                                                      .substr(8) +
                "\r\nthreshold 1e-12\r\norder-bound 10\r\nestimates yes\r\n");
  ASSERT_EQ(RUN(O.PATH(), BASE).STATUS, 0);
  EXPECT_FALSE(EXISTS(O.FILE("robo.settings")));
  EXPECT_EQ(READFILE(O.FILE("robotabl.txt")), DEFAULTTABLE);
  // A settings file that cannot be written or removed: the I/O error,
  // before the first per-pair file.
  fs::remove(O.FILE("robotabl.txt"));
  for (const std::string& ARGS : {std::string(" --threshold 1e-10"), std::string("")}) {
    fs::create_directories(O.FILE("robo.settings/in"));
    for (auto& E : fs::directory_iterator(O.PATH()))
      if (E.path().filename() != "robo.settings") fs::remove(E.path());
    const TRUN R = RUN(O.PATH(), BASE + ARGS);
    EXPECT_EQ(R.STATUS, 217) << R.OUT;
    EXPECT_NE(R.OUT.find("robo.settings"), std::string::npos) << R.OUT;
    EXPECT_EQ(LISTDIR(O.PATH()), std::vector<std::string>{"robo.settings"});
    fs::remove_all(O.FILE("robo.settings"));
  }
}

}  // namespace
