// The command line of the three programs: --help / -h and --version answer
// and exit 0 without touching the folder; anything else is refused with
// status 2 before any file is read or written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.hpp"

namespace {

const std::vector<const char*> NAMES = TERMPROGRAMS();
const std::vector<const char*> PREFIXES = TERMPREFIXES();

// "NAME N.N.N" and a line end.
bool ISVERSION(std::string S, const std::string& NAME) {
  if (S.rfind(NAME + " ", 0) != 0) return false;
  S.erase(0, NAME.size() + 1);
  if (S.size() >= 2 && S.substr(S.size() - 2) == "\r\n") {
    S.erase(S.size() - 2);
  } else if (!S.empty() && S.back() == '\n') {
    S.pop_back();
  } else {
    return false;
  }
  int DOTS = 0;
  bool DIGIT = false;
  for (char C : S) {
    if (C == '.') {
      if (!DIGIT) return false;
      ++DOTS;
      DIGIT = false;
    } else if (C >= '0' && C <= '9') {
      DIGIT = true;
    } else {
      return false;
    }
  }
  return DOTS == 2 && DIGIT;
}

TEST(CommandLine, HelpInEmptyFolder) {
  for (size_t P = 0; P < NAMES.size(); ++P) {
    for (const char* ARG : {"--help", "-h"}) {
      SCOPED_TRACE(std::string(NAMES[P]) + " " + ARG);
      TSCRATCH D;
      TRUN R = RUN(D.PATH(), PROGRAM(NAMES[P]) + " " + ARG);
      EXPECT_EQ(R.STATUS, 0) << R.OUT << R.ERR;
      EXPECT_NE(R.OUT.find(NAMES[P]), std::string::npos) << R.OUT;
      EXPECT_NE(R.OUT.find("puf01.txt"), std::string::npos) << R.OUT;
      EXPECT_NE(R.OUT.find("puf27.txt"), std::string::npos) << R.OUT;
      EXPECT_NE(R.OUT.find(PREFIXES[P]), std::string::npos) << R.OUT;
      // The exit statuses.
      EXPECT_NE(R.OUT.find("217"), std::string::npos) << R.OUT;
      EXPECT_NE(R.OUT.find(" 0 "), std::string::npos) << R.OUT;
      EXPECT_NE(R.OUT.find(" 2 "), std::string::npos) << R.OUT;
      // The options in one list, each line of it indented, from the line
      // "Options" to --version; the note on the settings file after it.
      const std::vector<std::string> LINES = SPLITLINES(R.OUT);
      size_t X = 0;
      while (X < LINES.size() && LINES[X].rfind("Options", 0) != 0) ++X;
      ASSERT_LT(X, LINES.size()) << R.OUT;
      for (++X; X < LINES.size() && !LINES[X].empty(); ++X) EXPECT_EQ(LINES[X].rfind("  ", 0), 0u) << LINES[X];
      ASSERT_GE(X, 1u);
      EXPECT_EQ(LINES[X - 1].rfind("  --version", 0), 0u) << R.OUT;
      EXPECT_NE(R.OUT.find(std::string(PREFIXES[P]) + ".settings"), std::string::npos) << R.OUT;
      EXPECT_EQ(R.ERR, "");
      EXPECT_TRUE(LISTDIR(D.PATH()).empty());
    }
  }
}

TEST(CommandLine, HelpAndVersionLeaveSeriesAlone) {
  TSCRATCH D;
  WRITEEMPTYSERIES(D.PATH());
  const std::vector<std::string> BEFORE = LISTDIR(D.PATH());
  for (size_t P = 0; P < NAMES.size(); ++P) {
    TRUN H = RUN(D.PATH(), PROGRAM(NAMES[P]) + " --help");
    EXPECT_EQ(H.STATUS, 0) << NAMES[P];
    TRUN V = RUN(D.PATH(), PROGRAM(NAMES[P]) + " --version");
    EXPECT_EQ(V.STATUS, 0) << NAMES[P];
    EXPECT_EQ(V.ERR, "");
    EXPECT_TRUE(ISVERSION(V.OUT, NAMES[P])) << V.OUT;
  }
  EXPECT_EQ(LISTDIR(D.PATH()), BEFORE);
}

TEST(CommandLine, VersionInEmptyFolder) {
  for (size_t P = 0; P < NAMES.size(); ++P) {
    TSCRATCH D;
    TRUN R = RUN(D.PATH(), PROGRAM(NAMES[P]) + " --version");
    EXPECT_EQ(R.STATUS, 0) << NAMES[P] << ": " << R.OUT;
    EXPECT_EQ(R.OUT.rfind(std::string(NAMES[P]) + " ", 0), 0u) << R.OUT;
    EXPECT_TRUE(LISTDIR(D.PATH()).empty());
  }
}

// Refused arguments, in a folder where a run would succeed: status 2, a
// message on standard error only, no file created or changed.
TEST(CommandLine, OtherArgumentsAreRefused) {
  for (size_t P = 0; P < NAMES.size(); ++P) {
    for (const char* ARGS : {"-x", "foo", "--help extra", "--version --help", "-- --help", "--HELP", "-help", "''"}) {
      SCOPED_TRACE(std::string(NAMES[P]) + " " + ARGS);
      TSCRATCH D;
      WRITEEMPTYSERIES(D.PATH());
      WRITESERIES(D.PATH(), 2, {TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 'C')});
      const std::vector<std::string> BEFORE = LISTDIR(D.PATH());
      const std::string SERIES = READFILE(D.FILE("puf02.txt"));
      TRUN R = RUN(D.PATH(), PROGRAM(NAMES[P]) + " " + ARGS);
      EXPECT_EQ(R.STATUS, 2) << R.OUT << R.ERR;
      EXPECT_EQ(R.OUT, "");
      EXPECT_FALSE(R.ERR.empty());
      EXPECT_NE(R.ERR.find(NAMES[P]), std::string::npos) << R.ERR;
      EXPECT_EQ(LISTDIR(D.PATH()), BEFORE);
      EXPECT_EQ(READFILE(D.FILE("puf02.txt")), SERIES);
    }
  }
}

// Refused arguments do not look at the folder either: no "File not found"
// in an empty one.
TEST(CommandLine, RefusedBeforeReadingSeries) {
  for (size_t P = 0; P < NAMES.size(); ++P) {
    TSCRATCH D;
    TRUN R = RUN(D.PATH(), PROGRAM(NAMES[P]) + " foo");
    EXPECT_EQ(R.STATUS, 2) << NAMES[P];
    EXPECT_EQ(R.OUT, "");
    EXPECT_EQ(R.ERR.find("File not found"), std::string::npos) << R.ERR;
    EXPECT_TRUE(LISTDIR(D.PATH()).empty());
  }
}

// Without arguments the same folder gives a complete run (the refusals
// above are not a fault of the data).
TEST(CommandLine, NoArgumentRuns) {
  TSCRATCH D;
  WRITEEMPTYSERIES(D.PATH());
  for (size_t P = 0; P < NAMES.size(); ++P) {
    TRUN R = RUN(D.PATH(), PROGRAM(NAMES[P]));
    EXPECT_EQ(R.STATUS, 0) << NAMES[P] << ": " << R.OUT;
    EXPECT_EQ(R.ERR, "");
  }
  EXPECT_EQ(LISTDIR(D.PATH()).size(), 27u + 3u * 57u);
}

}  // namespace
