// Reports that say what really happened: a failure that has a cause of its
// own is named by it rather than by the kind of the operation, and the
// line of a term stays right beyond 2^31 lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness.hpp"

namespace fs = std::filesystem;

namespace {

std::string LASTLINE(const std::string& OUT) {
  const std::vector<std::string> L = SPLITLINES(OUT);
  return L.empty() ? std::string() : L.back();
}

bool CONTAINS(const std::string& S, const std::string& T) { return S.find(T) != std::string::npos; }

}  // namespace

// No space left, on an output file and on the console: that is the report's
// kind, with the file named.
TEST(Reports, NoSpaceLeftIsNamedAsSuch) {
  TSCRATCH D;
  for (const std::string& N : LISTDIR(DATADIR() + "/tiny/series"))
    fs::copy_file(DATADIR() + "/tiny/series/" + N, D.FILE(N));
  fs::create_symlink("/dev/full", D.FILE("robo0203.txt"));
  TRUN R = RUN(D.PATH(), PROGRAM("termall"));
  EXPECT_EQ(R.STATUS, 217);
  EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "fatal error 217: No space left on device: cannot write robo0203.txt"))
      << LASTLINE(R.OUT);
  fs::remove(D.FILE("robo0203.txt"));
  R = RUN(D.PATH(), PROGRAM("termall") + " > /dev/full");
  EXPECT_EQ(R.STATUS, 217);
  EXPECT_TRUE(CONTAINS(R.ERR, "fatal error 217: No space left on device: cannot write standard output")) << R.ERR;
}

// A term after 2^31 blank lines: a failure at that term names its line.
TEST(Reports, LineNumbersBeyondTwoToThe31) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "2 GiB of line ends take too long to read under AddressSanitizer";
#endif
  TSCRATCH D;
  WRITEEMPTYSERIES(D.PATH());
  const long BLANK = (1L << 31) + 5;
  {
    const std::string P = D.FILE("puf02.txt");
    WRITEFILE(P, "series 2, far down\r\n       1\r\ncolumns\r\n");
    const int F = ::open(P.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(F, 0);
    const std::string LF(size_t{1} << 20, '\n');
    for (long K = 0; K < BLANK; K += static_cast<long>(LF.size())) {
      const size_t N = static_cast<size_t>(std::min<long>(BLANK - K, static_cast<long>(LF.size())));
      ASSERT_EQ(::write(F, LF.data(), N), static_cast<ssize_t>(N));
    }
    // An axis exponent outside -30..30, which termall's amplitude test
    // refuses.
    const std::string T = TERMLINE("  1.0000000000000000e+00", {0, 0, 0, 0, 40, 0}, {1, 0, 0, -1, 0, 0}, 'C') + "\r\n";
    ASSERT_EQ(::write(F, T.data(), T.size()), static_cast<ssize_t>(T.size()));
    ::close(F);
  }
  const TRUN R = RUN(D.PATH(), PROGRAM("termall"));
  EXPECT_EQ(R.STATUS, 217);
  EXPECT_TRUE(CONTAINS(LASTLINE(R.OUT), "(pair 1-2, puf02.txt, term 1 at line " + std::to_string(3 + BLANK + 1) + ")"))
      << LASTLINE(R.OUT);
}
