// The series and output folders, --quiet, and the fatal report as a user
// sees it: on standard error too unless that shows standard output, a
// missing series file with the folder searched, characters with their
// codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "harness.hpp"

namespace {

namespace fs = std::filesystem;

const std::vector<const char*> PROGS = TERMPROGRAMS();

// Every file of DIR with its bytes.
std::map<std::string, std::string> FILES(const std::string& DIR) {
  std::map<std::string, std::string> M;
  for (const std::string& N : LISTDIR(DIR)) M[N] = READFILE(DIR + "/" + N);
  return M;
}

std::map<std::string, std::string> WITHOUTSERIES(std::map<std::string, std::string> M) {
  for (auto I = M.begin(); I != M.end();) I = I->first.rfind("puf", 0) == 0 ? M.erase(I) : std::next(I);
  return M;
}

void COPYSET(const std::string& SET, const std::string& TO) {
  for (const auto& E : fs::directory_iterator(DATADIR() + "/" + SET + "/series"))
    fs::copy_file(E.path(), TO + "/" + E.path().filename().string());
}

std::string REALPATH(const std::string& P) { return fs::canonical(P).string(); }

bool CONTAINS(const std::string& S, const std::string& P) { return S.find(P) != std::string::npos; }

// On every public conformance set, a run with --series and --output, from
// a third folder and with the options in either order, writes the same
// bytes as a run in the series folder, with the same console and status,
// and leaves the series folder and the folder it runs in as they were.
// With --quiet the files are the same and the console keeps only a fatal
// report.
TEST(FolderOptions, SameBytesAsARunInTheFolder) {
  for (const char* SET : {"tiny", "err-code", "err-truncated"}) {
    for (const char* P : PROGS) {
      SCOPED_TRACE(std::string(SET) + " " + P);
      TSCRATCH PLAIN;
      COPYSET(SET, PLAIN.PATH());
      const TRUN A = RUN(PLAIN.PATH(), PROGRAM(P));
      const auto WANT = WITHOUTSERIES(FILES(PLAIN.PATH()));
      ASSERT_FALSE(WANT.empty());

      TSCRATCH S, O, W;
      COPYSET(SET, S.PATH());
      const auto SERIES = FILES(S.PATH());
      const std::string ARGS[] = {" --series " + S.PATH() + " --output " + O.PATH(),
                                  " --output=" + O.PATH() + " --series=" + S.PATH(),
                                  " --quiet --output " + O.PATH() + " --series " + S.PATH()};
      for (int X = 0; X < 3; ++X) {
        SCOPED_TRACE(ARGS[X]);
        fs::remove_all(O.PATH());
        fs::create_directory(O.PATH());
        const TRUN B = RUN(W.PATH(), PROGRAM(P) + ARGS[X]);
        EXPECT_EQ(B.STATUS, A.STATUS);
        EXPECT_EQ(B.ERR, A.ERR);
        if (X < 2)
          EXPECT_EQ(B.OUT, A.OUT);
        else
          EXPECT_EQ(B.OUT, A.STATUS == 0 ? "" : A.LINES().back() + "\r\n");
        EXPECT_EQ(FILES(O.PATH()), WANT);
        EXPECT_EQ(FILES(S.PATH()), SERIES);
        EXPECT_TRUE(LISTDIR(W.PATH()).empty());
      }
      // Outputs written beside the series, as a plain run does.
      const TRUN C = RUN(W.PATH(), PROGRAM(P) + " --series " + S.PATH() + " --output " + S.PATH());
      EXPECT_EQ(C.STATUS, A.STATUS);
      EXPECT_EQ(WITHOUTSERIES(FILES(S.PATH())), WANT);
      for (const auto& [NAME, BYTES] : SERIES) EXPECT_EQ(READFILE(S.FILE(NAME)), BYTES) << NAME;
    }
  }
}

// A folder that cannot be used: status 2 and one line on standard error
// naming it, before anything is read or written.
TEST(FolderOptions, UnusableFolderIsRefusedBeforeAnyOutput) {
  TSCRATCH S, O;
  COPYSET("tiny", S.PATH());
  WRITEFILE(O.FILE("plain"), "x");
  const std::string MISSING = O.FILE("missing"), NOTDIR = O.FILE("plain");
  for (const char* P : PROGS) {
    for (const std::string& ARGS :
         {" --series " + MISSING, " --series " + NOTDIR + " --output " + O.PATH(), " --output " + NOTDIR + "/below",
          " --series " + S.PATH() + " --output " + NOTDIR, std::string(" --series="), std::string(" --output"),
          " --series " + S.PATH() + " --series " + S.PATH()}) {
      SCOPED_TRACE(std::string(P) + ARGS);
      const TRUN R = RUN(O.PATH(), PROGRAM(P) + ARGS);
      EXPECT_EQ(R.STATUS, 2);
      EXPECT_EQ(R.OUT, "");
      EXPECT_EQ(SPLITLINES(R.ERR).size(), 1u) << R.ERR;
      EXPECT_TRUE(CONTAINS(R.ERR, P)) << R.ERR;
      EXPECT_EQ(LISTDIR(O.PATH()), (std::vector<std::string>{"plain"}));
    }
    const TRUN R = RUN(O.PATH(), PROGRAM(P) + " --output " + NOTDIR + "/below");
    EXPECT_TRUE(CONTAINS(R.ERR, NOTDIR + "/below")) << R.ERR;
  }
}

// A missing output folder is made with its parents, as mkdir -p makes
// it; a folder named relative to the current one is that one.
TEST(FolderOptions, MissingOutputFolderIsMade) {
  TSCRATCH S, O;
  COPYSET("tiny", S.PATH());
  for (const char* P : PROGS) {
    SCOPED_TRACE(P);
    const TRUN R = RUN(O.PATH(), PROGRAM(P) + " --quiet --series " + S.PATH() + " --output new/" + P);
    EXPECT_EQ(R.STATUS, 0) << R.ERR;
    EXPECT_EQ(LISTDIR(O.FILE(std::string("new/") + P)).size(), 57u);
    const TRUN AGAIN = RUN(O.PATH(), PROGRAM(P) + " --quiet --series " + S.PATH() + " --output new/" + P);
    EXPECT_EQ(AGAIN.STATUS, 0) << AGAIN.ERR;
  }
}

// The fatal report on standard output, and on standard error too when
// that is another file; once only when standard error shows standard
// output.
TEST(FatalReport, OnStandardErrorUnlessItIsStandardOutput) {
  TSCRATCH D;
  COPYSET("err-code", D.PATH());
  for (const char* P : PROGS) {
    SCOPED_TRACE(P);
    const TRUN APART = RUN(D.PATH(), PROGRAM(P));
    ASSERT_EQ(APART.STATUS, 217);
    const std::string REPORT = APART.LINES().back() + "\r\n";
    EXPECT_TRUE(CONTAINS(REPORT, "Invalid term code")) << REPORT;
    EXPECT_EQ(APART.ERR, REPORT);

    const TRUN JOINED = RUN(D.PATH(), PROGRAM(P) + " 2>&1");
    EXPECT_EQ(JOINED.STATUS, 217);
    EXPECT_EQ(JOINED.OUT, APART.OUT);
    EXPECT_EQ(JOINED.ERR, "");

    // The same file named twice: shown once.
    const TRUN TWICE = RUN(D.PATH(), PROGRAM(P) + " >> log 2>> log; cat log; rm log");
    EXPECT_EQ(TWICE.OUT, APART.OUT);
  }
}

// A missing series file is reported with the folder searched and the
// files expected there; a folder without any with that said.
TEST(FatalReport, MissingSeriesFileNamesTheFolder) {
  TSCRATCH EMPTY, S, W;
  COPYSET("tiny", S.PATH());
  fs::remove(S.FILE("puf05.txt"));
  for (const char* P : PROGS) {
    SCOPED_TRACE(P);
    const TRUN A = RUN(EMPTY.PATH(), PROGRAM(P));
    EXPECT_EQ(A.STATUS, 217);
    EXPECT_TRUE(CONTAINS(A.LINES().back(), "File not found: cannot open puf01.txt")) << A.OUT;
    EXPECT_TRUE(CONTAINS(A.LINES().back(), "the series folder " + REALPATH(EMPTY.PATH()) +
                                               " holds none of puf01.txt .. puf27.txt"))
        << A.OUT;

    const TRUN B = RUN(W.PATH(), PROGRAM(P) + " --quiet --series " + S.PATH() + " --output " + W.PATH());
    EXPECT_EQ(B.STATUS, 217);
    EXPECT_EQ(SPLITLINES(B.OUT).size(), 1u) << B.OUT;
    EXPECT_TRUE(CONTAINS(B.OUT, "cannot open puf05.txt: No such file or directory in the series folder " +
                                    REALPATH(S.PATH()) + ", which should hold puf01.txt .. puf27.txt"))
        << B.OUT;
  }
}

// A character in a report: printable with its code, else the code alone.
TEST(FatalReport, CharactersShownWithTheirCodes) {
  for (const auto& [CODE, SHOWN] : std::vector<std::pair<char, std::string>>{{'X', "'X' (88)"},
                                                                             {'\t', "character 9"}}) {
    TSCRATCH D;
    WRITEEMPTYSERIES(D.PATH());
    WRITESERIES(D.PATH(), 3, {TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, CODE)});
    const TRUN R = RUN(D.PATH(), PROGRAM("termall"));
    EXPECT_EQ(R.STATUS, 217);
    EXPECT_TRUE(CONTAINS(R.LINES().back(), "puf03.txt line 4: " + SHOWN + " stands where the code letter"))
        << R.OUT;
  }
}

}  // namespace
