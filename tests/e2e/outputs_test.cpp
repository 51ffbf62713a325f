// Outputs that are not plain files of their own: names linked to a series
// file or elsewhere, /dev/null, FIFOs with and without a reader, a socket;
// and a console or an output that is a non-blocking pipe read late. A
// series file is never written, opening an output never waits, and a full
// pipe is waited for rather than taken for a failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

std::string EXPECTED(const std::string& PROG, const std::string& NAME) {
  return READFILE(DATADIR() + "/tiny/expected/" + PROG + "/" + NAME);
}

void COPYSERIES(const std::string& TO) {
  for (const std::string& N : LISTDIR(DATADIR() + "/tiny/series"))
    fs::copy_file(DATADIR() + "/tiny/series/" + N, TO + "/" + N);
}

std::map<std::string, std::string> SERIESBYTES(const std::string& DIR) {
  std::map<std::string, std::string> M;
  for (const std::string& N : LISTDIR(DIR))
    if (N.rfind("puf", 0) == 0 && fs::is_regular_file(DIR + "/" + N)) M[N] = READFILE(DIR + "/" + N);
  return M;
}

std::string LASTLINE(const std::string& OUT) {
  const std::vector<std::string> L = SPLITLINES(OUT);
  return L.empty() ? std::string() : L.back();
}

bool CONTAINS(const std::string& S, const std::string& T) { return S.find(T) != std::string::npos; }

// The console of a failed run is the good console up to the report.
void EXPECTGOODUPTOREPORT(const TRUN& R, const std::string& PROG) {
  const std::string GOOD = EXPECTED(PROG, "console.txt");
  const size_t HEAD = R.OUT.size() - std::min(R.OUT.size(), LASTLINE(R.OUT).size() + 2);
  EXPECT_EQ(GOOD.compare(0, HEAD, R.OUT, 0, HEAD), 0) << "console lines before the report differ";
}

TCHILD START(const std::string& DIR, const std::string& PROG, int OUT, const std::string& ERRFILE) {
  return STARTSHELL(DIR, "exec " + PROGRAM(PROG), OUT, ERRFILE);
}

}  // namespace

// ---------------------------------------------------------------------------
// Names linked to a series file: refused before anything is written.

TEST(OutputNames, NameLinkedToASeriesFileIsRefusedAndTheSeriesFileKept) {
  struct TCASE {
    const char* PROG;
    const char* OUTPUT;
    const char* SERIES;
    bool HARD;
  };
  for (const TCASE& C : {TCASE{"termshort", "roho0102.txt", "puf03.txt", false},
                         TCASE{"termall", "robo0305.txt", "puf27.txt", true},
                         TCASE{"termsecul", "rocotabl.txt", "puf01.txt", false}}) {
    SCOPED_TRACE(std::string(C.OUTPUT) + (C.HARD ? " hard-linked to " : " a symbolic link to ") + C.SERIES);
    TSCRATCH D;
    COPYSERIES(D.PATH());
    const auto BEFORE = SERIESBYTES(D.PATH());
    if (C.HARD)
      fs::create_hard_link(D.FILE(C.SERIES), D.FILE(C.OUTPUT));
    else
      fs::create_symlink(C.SERIES, D.FILE(C.OUTPUT));
    const TRUN R = RUN(D.PATH(), PROGRAM(C.PROG));
    EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
    const std::string L = LASTLINE(R.OUT);
    EXPECT_TRUE(CONTAINS(L, "File access denied")) << L;
    EXPECT_TRUE(CONTAINS(L, std::string(C.OUTPUT) + " is the series file " + C.SERIES)) << L;
    EXPECTGOODUPTOREPORT(R, C.PROG);
    const auto AFTER = SERIESBYTES(D.PATH());
    for (const auto& [N, BYTES] : BEFORE) EXPECT_TRUE(AFTER.count(N) && AFTER.at(N) == BYTES) << N << " was written";
    EXPECT_EQ(fs::is_symlink(D.FILE(C.OUTPUT)), !C.HARD);
  }
  // The same with the series and the outputs in folders of their own.
  TSCRATCH D;
  fs::create_directory(D.FILE("series"));
  fs::create_directory(D.FILE("out"));
  COPYSERIES(D.FILE("series"));
  const auto BEFORE = SERIESBYTES(D.FILE("series"));
  fs::create_symlink("../series/puf05.txt", D.FILE("out/robo0102.txt"));
  const TRUN R = RUN(D.PATH(), PROGRAM("termall") + " --series series --output out");
  EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
  EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "robo0102.txt is the series file puf05.txt")) << LASTLINE(R.OUT);
  EXPECT_EQ(SERIESBYTES(D.FILE("series")), BEFORE);
}

// Links that lead anywhere else are written through, as before: to an
// existing file, to a file that the run creates, to a hard-linked file and
// to /dev/null (a table a user does not want).
TEST(OutputNames, LinksElsewhereAndDevNullAreWritten) {
  TSCRATCH D, AWAY;
  COPYSERIES(D.PATH());
  WRITEFILE(AWAY.FILE("old.txt"), "an earlier text, longer than nothing, that the run replaces\r\n");
  WRITEFILE(AWAY.FILE("hard.txt"), "x");
  fs::create_symlink(AWAY.FILE("old.txt"), D.FILE("roco0102.txt"));
  fs::create_symlink(AWAY.FILE("new.txt"), D.FILE("roco0103.txt"));
  fs::create_hard_link(AWAY.FILE("hard.txt"), D.FILE("roco0104.txt"));
  fs::create_symlink("/dev/null", D.FILE("roco0105.txt"));
  fs::create_symlink("/dev/null", D.FILE("rocotabl.txt"));
  const TRUN R = RUN(D.PATH(), PROGRAM("termsecul"));
  EXPECT_EQ(R.STATUS, 0) << LASTLINE(R.OUT);
  EXPECT_EQ(R.OUT, EXPECTED("termsecul", "console.txt"));
  EXPECT_EQ(READFILE(AWAY.FILE("old.txt")), EXPECTED("termsecul", "roco0102.txt"));
  EXPECT_EQ(READFILE(AWAY.FILE("new.txt")), EXPECTED("termsecul", "roco0103.txt"));
  EXPECT_EQ(READFILE(AWAY.FILE("hard.txt")), EXPECTED("termsecul", "roco0104.txt"));
  EXPECT_EQ(READFILE(D.FILE("roco0106.txt")), EXPECTED("termsecul", "roco0106.txt"));
  for (const char* N : {"roco0102.txt", "roco0103.txt", "roco0105.txt", "rocotabl.txt"})
    EXPECT_TRUE(fs::is_symlink(D.FILE(N))) << N;
}

// ---------------------------------------------------------------------------
// Opening never waits: a FIFO that no process reads and a socket end the
// run at once with an I/O error that says what the name is.

TEST(OutputNames, FifoWithoutReaderAndSocketFailAtOnce) {
  for (const std::string WHAT : {"FIFO", "socket"}) {
    SCOPED_TRACE(WHAT);
    TSCRATCH D;
    COPYSERIES(D.PATH());
    const std::string NAME = WHAT == "FIFO" ? "roco0102.txt" : "roco0301.txt";
    int SOCK = -1;
    if (WHAT == "FIFO") {
      ASSERT_EQ(::mkfifo(D.FILE(NAME).c_str(), 0644), 0);
    } else {
      SOCK = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un A{};
      A.sun_family = AF_UNIX;
      ASSERT_LT(D.FILE(NAME).size(), sizeof A.sun_path);
      std::strcpy(A.sun_path, D.FILE(NAME).c_str());
      ASSERT_EQ(::bind(SOCK, reinterpret_cast<sockaddr*>(&A), sizeof A), 0);
    }
    const TRUN R = RUN(D.PATH(), "timeout 20 " + PROGRAM("termsecul"));
    if (SOCK >= 0) ::close(SOCK);
    ASSERT_NE(R.STATUS, 124) << "the program waits on " << NAME;
    EXPECT_EQ(R.STATUS, 217) << R.OUT << R.ERR;
    const std::string L = LASTLINE(R.OUT);
    EXPECT_TRUE(CONTAINS(L, "File access denied")) << L;
    EXPECT_TRUE(CONTAINS(L, NAME + (WHAT == "FIFO" ? " is a FIFO that no process reads" : " is a socket"))) << L;
    EXPECTGOODUPTOREPORT(R, "termsecul");
  }
}

// ---------------------------------------------------------------------------
// Pipes read late: the console a non-blocking pipe of one page (a parent
// that reads it after a while), in a good run and in one that fails; an
// output a FIFO whose reader starts late. Everything arrives, in full.

TEST(NonBlockingOutputs, PipesReadLateGetEverything) {
  for (const bool FAILS : {false, true}) {
    SCOPED_TRACE(FAILS ? "run that fails on puf05.txt" : "good run");
    TSCRATCH D, AUX;
    COPYSERIES(D.PATH());
    if (FAILS) fs::remove(D.FILE("puf05.txt"));
    int P[2];
    ASSERT_EQ(::pipe2(P, O_NONBLOCK | O_CLOEXEC), 0);
    ASSERT_GE(::fcntl(P[1], F_SETPIPE_SZ, 4096), 0);
    const TCHILD C = START(D.PATH(), "termsecul", P[1], AUX.FILE("err"));
    ::close(P[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const std::string OUT = DRAIN(P[0]);
    ::close(P[0]);
    const int STATUS = C.STATUS();
    const std::string ERR = READFILE(AUX.FILE("err"));
    if (!FAILS) {
      EXPECT_EQ(STATUS, 0) << LASTLINE(OUT) << ERR;
      EXPECT_EQ(OUT, EXPECTED("termsecul", "console.txt"));
    } else {
      EXPECT_EQ(STATUS, 217) << LASTLINE(OUT) << ERR;
      EXPECT_TRUE(CONTAINS(LASTLINE(OUT), "File not found")) << LASTLINE(OUT);
      EXPECT_TRUE(CONTAINS(LASTLINE(OUT), "puf05.txt")) << LASTLINE(OUT);
    }
    EXPECT_EQ(ERR, FAILS ? LASTLINE(OUT) + "\r\n" : "");
  }
  TSCRATCH D, AUX;
  COPYSERIES(D.PATH());
  ASSERT_EQ(::mkfifo(D.FILE("roco0102.txt").c_str(), 0644), 0);
  const int R = ::open(D.FILE("roco0102.txt").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(R, 0);
  ASSERT_GE(::fcntl(R, F_SETPIPE_SZ, 4096), 0);
  const int OUT = ::open(AUX.FILE("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const TCHILD C = START(D.PATH(), "termsecul", OUT, AUX.FILE("err"));
  ::close(OUT);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  // Read once the program has written (a FIFO that no writer has opened
  // yet reads as ended).
  pollfd W{R, POLLIN, 0};
  ASSERT_EQ(::poll(&W, 1, 30000), 1) << "nothing written to the FIFO";
  const std::string FIFO = DRAIN(R);
  ::close(R);
  EXPECT_EQ(C.STATUS(), 0) << READFILE(AUX.FILE("out")) << READFILE(AUX.FILE("err"));
  EXPECT_EQ(FIFO, EXPECTED("termsecul", "roco0102.txt"));
  EXPECT_EQ(READFILE(AUX.FILE("out")), EXPECTED("termsecul", "console.txt"));
}
