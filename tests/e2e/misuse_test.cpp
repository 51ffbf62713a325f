// The promises kept under misuse: series files deleted, renamed, replaced
// or rewritten while a run writes its pairs; two runs into one folder at
// once; runs killed at any moment; names that would break report lines;
// standard output that is a series file; help that cannot be written. The
// races are run many times.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

using TFILES = std::map<std::string, std::string>;

// Every file of DIR but those of the series.
TFILES OUTPUTS(const std::string& DIR) {
  TFILES F;
  for (const std::string& N : LISTDIR(DIR))
    if (N.rfind("puf", 0) != 0) F[N] = READFILE(DIR + "/" + N);
  return F;
}

// A sample of series files, made once per seed.
std::string SAMPLE(const std::string& SCALE, int SEED) {
  static std::map<std::string, std::string> MADE;
  const std::string KEY = SCALE + std::to_string(SEED);
  if (!MADE.count(KEY)) {
    static std::vector<std::unique_ptr<TSCRATCH>> KEEP;
    KEEP.push_back(std::make_unique<TSCRATCH>());
    const std::string D = KEEP.back()->PATH();
    EXPECT_EQ(RUN(D, TOOL("seriesgen") + " --scale " + SCALE + FMT(" --seed %d . > /dev/null", SEED)).STATUS, 0);
    MADE[KEY] = D;
  }
  return MADE[KEY];
}

void COPYDIR(const std::string& FROM, const std::string& TO) {
  for (const std::string& N : LISTDIR(FROM)) fs::copy_file(FROM + "/" + N, TO + "/" + N);
}

// Reads from FD until TEXT holds N line ends.
std::string READLINES(int FD, int N) {
  std::string S;
  char B[4096];
  while (std::count(S.begin(), S.end(), '\n') < N) {
    const ssize_t R = ::read(FD, B, sizeof B);
    if (R <= 0) break;
    S.append(B, static_cast<size_t>(R));
  }
  return S;
}

// Once the first pair is written, every series file has been read: then
// they are deleted, renamed, replaced by a copy moved over them, or
// rewritten in place; the run ends as an undisturbed one, to the byte.
TEST(Misuse, SeriesChangedDuringTheWritingNeverEndARun) {
  const std::string SERIES = SAMPLE("small", 11);
  TSCRATCH G;
  ASSERT_EQ(RUN(G.PATH(), PROGRAM("termsecul") + " --series " + SERIES + " > console.txt").STATUS, 0);
  const TFILES GOOD = OUTPUTS(G.PATH());
  const char* const KINDS[] = {"delete", "rename", "replace", "rewrite"};
  for (int K = 0; K < 4 * 6; ++K) {
    const std::string KIND = KINDS[K % 4];
    SCOPED_TRACE(KIND + FMT(" %d", K / 4));
    TSCRATCH S, O, AUX;
    COPYDIR(SERIES, S.PATH());
    int P[2];
    ASSERT_EQ(::pipe2(P, O_CLOEXEC), 0);
    ASSERT_GE(::fcntl(P[1], F_SETPIPE_SZ, 4096), 0);
    const TCHILD C = STARTSHELL(O.PATH(), "exec " + PROGRAM("termsecul") + " --series " + S.PATH(), P[1],
                                AUX.FILE("err"));
    ::close(P[1]);
    // The console's first pair: its head line, its perturbing planet and
    // its two totals.
    std::string CONSOLE = READLINES(P[0], 4);
    for (int N = 1; N <= 27; ++N) {
      const std::string F = S.FILE(FMT("puf%02d.txt", N));
      if (KIND == "delete") {
        fs::remove(F);
      } else if (KIND == "rename") {
        fs::rename(F, F + ".old");
      } else if (KIND == "replace") {
        fs::copy_file(F, F + ".new");
        fs::rename(F + ".new", F);
      } else {
        WRITEFILE(F, "rewritten\r\n");
      }
    }
    CONSOLE += DRAIN(P[0]);
    ::close(P[0]);
    EXPECT_EQ(C.STATUS(), 0) << READFILE(AUX.FILE("err"));
    TFILES GOT = OUTPUTS(O.PATH());
    GOT["console.txt"] = CONSOLE;
    EXPECT_TRUE(GOT == GOOD);
  }
}

// Two runs of one program into one folder at once, from different series:
// one of them is refused, or they follow one another, and the folder is
// the work of one run alone, count table and pair files alike.
TEST(Misuse, TwoRunsIntoOneFolderNeverMix) {
  const std::string A = SAMPLE("small", 12), B = SAMPLE("tiny", 13);
  std::map<std::string, TFILES> GOOD;
  for (const std::string& S : {A, B}) {
    TSCRATCH G;
    ASSERT_EQ(RUN(G.PATH(), PROGRAM("termall") + " --quiet --series " + S).STATUS, 0);
    GOOD[S] = OUTPUTS(G.PATH());
  }
  int REFUSED = 0;
  for (int K = 0; K < 12; ++K) {
    SCOPED_TRACE(K);
    TSCRATCH O, AUX;
    const int NUL = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const TCHILD C1 = STARTSHELL(O.PATH(), "exec " + PROGRAM("termall") + " --quiet --series " + A, NUL, AUX.FILE("1"));
    const TCHILD C2 = STARTSHELL(O.PATH(), "exec " + PROGRAM("termall") + " --quiet --series " + B, NUL, AUX.FILE("2"));
    ::close(NUL);
    const int S1 = C1.STATUS(), S2 = C2.STATUS();
    ASSERT_TRUE((S1 == 0 || S1 == 2) && (S2 == 0 || S2 == 2))
        << S1 << " " << S2 << "\n" << READFILE(AUX.FILE("1")) << READFILE(AUX.FILE("2"));
    ASSERT_NE(S1 + S2, 4);
    for (const auto& [STATUS, ERR] : {std::pair{S1, AUX.FILE("1")}, std::pair{S2, AUX.FILE("2")}})
      if (STATUS == 2) {
        ++REFUSED;
        EXPECT_NE(READFILE(ERR).find("another run of termall is writing in this folder"), std::string::npos)
            << READFILE(ERR);
      }
    const TFILES GOT = OUTPUTS(O.PATH());
    EXPECT_TRUE(GOT == GOOD[A] || GOT == GOOD[B]);
  }
  EXPECT_GT(REFUSED, 0);
}

// Runs killed at random moments: the count table is missing or a
// complete table of the planets done, never empty; the next run, which no
// killed run blocks, takes away the new table a killed run left.
TEST(Misuse, AKilledRunLeavesNoEmptyCountTable) {
  const std::string SERIES = SAMPLE("tiny", 14);
  TSCRATCH G;
  // The kills fall anywhere within the time of a whole run, as long as it
  // takes in this build (the sanitizers, an emulator).
  const auto START = std::chrono::steady_clock::now();
  ASSERT_EQ(RUN(G.PATH(), PROGRAM("termall") + " --quiet --series " + SERIES).STATUS, 0);
  const auto WHOLE = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - START);
  const std::vector<std::string> FULL = SPLITLINES(READFILE(G.FILE("robotabl.txt")));
  std::mt19937 RANDOM(14);
  int TABLES = 0;
  for (int K = 0; K < 60; ++K) {
    SCOPED_TRACE(K);
    TSCRATCH O, AUX;
    const int NUL = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const TCHILD C = STARTSHELL(O.PATH(), "exec " + PROGRAM("termall") + " --quiet --series " + SERIES, NUL,
                                AUX.FILE("err"));
    ::close(NUL);
    std::this_thread::sleep_for(std::chrono::microseconds(RANDOM() % (WHOLE.count() + 1)));
    ::kill(C.PID, SIGKILL);
    C.STATUS();
    if (EXISTS(O.FILE("robotabl.txt"))) {
      ++TABLES;
      const std::vector<std::string> T = SPLITLINES(READFILE(O.FILE("robotabl.txt")));
      ASSERT_EQ(T.size(), FULL.size());
      // Rows of the planets done as in the full table, the others zeros.
      size_t DONE = 1;
      while (DONE < T.size() && T[DONE] == FULL[DONE]) ++DONE;
      for (size_t X = DONE; X < T.size(); ++X)
        EXPECT_EQ(T[X].find_first_not_of(" 0", 3), std::string::npos) << T[X];
    }
    ASSERT_EQ(RUN(O.PATH(), PROGRAM("termall") + " --quiet --series " + SERIES).STATUS, 0);
    EXPECT_FALSE(EXISTS(O.FILE("robotabl.txt.new")));
    EXPECT_EQ(READFILE(O.FILE("robotabl.txt")), READFILE(G.FILE("robotabl.txt")));
  }
  EXPECT_GT(TABLES, 0);
}

// The count table keeps its permissions; one that is a link is written
// through; one that may not be written is the I/O error, as before.
TEST(Misuse, TheCountTableAsTheUserMadeIt) {
  const std::string SERIES = SAMPLE("tiny", 15);
  TSCRATCH O, T;
  const std::string RUNS = PROGRAM("termsecul") + " --quiet --series " + SERIES;
  ASSERT_EQ(RUN(O.PATH(), RUNS).STATUS, 0);
  const std::string TABLE = READFILE(O.FILE("rocotabl.txt"));
  fs::permissions(O.FILE("rocotabl.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(RUN(O.PATH(), RUNS).STATUS, 0);
  EXPECT_EQ(fs::status(O.FILE("rocotabl.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::remove(O.FILE("rocotabl.txt"));
  fs::create_symlink(T.FILE("table"), O.FILE("rocotabl.txt"));
  ASSERT_EQ(RUN(O.PATH(), RUNS).STATUS, 0);
  EXPECT_TRUE(fs::is_symlink(O.FILE("rocotabl.txt")));
  EXPECT_EQ(READFILE(T.FILE("table")), TABLE);
  if (::geteuid() != 0) {
    fs::remove(O.FILE("rocotabl.txt"));
    WRITEFILE(O.FILE("rocotabl.txt"), "kept\r\n");
    fs::permissions(O.FILE("rocotabl.txt"), fs::perms::owner_read);
    const TRUN R = RUN(O.PATH(), RUNS);
    EXPECT_EQ(R.STATUS, 217);
    EXPECT_NE(R.OUT.find("cannot create rocotabl.txt"), std::string::npos) << R.OUT;
    EXPECT_EQ(READFILE(O.FILE("rocotabl.txt")), "kept\r\n");
  }
}

// Names from outside stay inside their line, escaped; a refusal is never
// cut short of its reason.
TEST(Misuse, ReportsStayOneLine) {
  TSCRATCH D;
  const std::string ODD = D.FILE("sp ace\nnew\tline\x1b[2K");
  fs::create_directories(ODD);
  const TRUN R = RUN(D.PATH(), PROGRAM("termall") + " --quiet --series '" + ODD + "'");
  EXPECT_EQ(R.STATUS, 217);
  EXPECT_EQ(SPLITLINES(R.OUT).size(), 1u) << R.OUT;
  EXPECT_NE(R.OUT.find("sp ace\\nnew\\tline\\x1B[2K"), std::string::npos) << R.OUT;
  EXPECT_EQ(R.OUT.find('\x1b'), std::string::npos);
  const std::string LONG(3000, 'x');
  const TRUN L = RUN(D.PATH(), PROGRAM("termshort") + " --series " + LONG);
  EXPECT_EQ(L.STATUS, 2);
  EXPECT_NE(L.ERR.find(LONG + "': File name too long\r\n"), std::string::npos) << L.ERR.size();
}

// Standard output that is a series file, or that takes nothing: the
// series file is not written to; the help has its failure said.
TEST(Misuse, StandardOutputThatIsASeriesFileOrFull) {
  const std::string SERIES = SAMPLE("tiny", 16);
  TSCRATCH S, O;
  COPYDIR(SERIES, S.PATH());
  const std::string BEFORE = READFILE(S.FILE("puf03.txt"));
  for (const char* P : {"termshort", "termsecul", "termall", "termcuts"}) {
    const TRUN R = RUN(O.PATH(), PROGRAM(P) + " --series " + S.PATH() + " >> " + S.FILE("puf03.txt"));
    EXPECT_EQ(R.STATUS, 217) << P;
    EXPECT_NE(R.ERR.find("standard output is the series file puf03.txt"), std::string::npos) << R.ERR;
    EXPECT_EQ(READFILE(S.FILE("puf03.txt")), BEFORE) << P;
    EXPECT_TRUE(LISTDIR(O.PATH()).empty()) << P;
  }
  for (const std::string& P : {PROGRAM("termshort"), PROGRAM("termsecul"), PROGRAM("termall"), PROGRAM("termcuts"),
                                PROGRAM("seriescheck"), TOOL("seriesgen")})
    for (const char* A : {" --help", " --version"}) {
      const TRUN R = RUN(O.PATH(), P + A + " > /dev/full");
      EXPECT_NE(R.STATUS, 0) << P << A;
      EXPECT_EQ(SPLITLINES(R.ERR).size(), 1u) << P << A << ": " << R.ERR;
      EXPECT_NE(R.ERR.find("No space left on device"), std::string::npos) << P << A << ": " << R.ERR;
    }
}

}  // namespace
