// seriescheck's report: the texts from outside shown on one line
// (SHOWTEXT), the findings of a file put in order while holding one line
// of them, and the output that writes the files in turn holding a bounded
// amount for the others. (The limit per kind: tests/e2e/seriescheck_test.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "unchkord.hpp"
#include "unchkrep.hpp"
#include "unforstr.hpp"

namespace {

// SHOWTEXT read back: the escapes undone.
std::string UNSHOW(const std::string& S) {
  std::string R;
  for (size_t X = 0; X < S.size(); ++X) {
    if (S[X] != '\\') {
      R += S[X];
      continue;
    }
    const char E = S[++X];
    if (E == 'x') {
      R += static_cast<char>(std::stoi(S.substr(X + 1, 2), nullptr, 16));
      X += 2;
    } else {
      R += E == 'n' ? '\n' : E == 't' ? '\t' : E == 'r' ? '\r' : E;
    }
  }
  return R;
}

// Every byte string comes back from its text, which holds no control
// character; bytes 128..255 and printable ones stay as they are.
TEST(ReportTexts, ShowTextKeepsEveryReportOneLine) {
  EXPECT_EQ(SHOWTEXT("puf01.txt 1.5e-03 /tmp/séries"), "puf01.txt 1.5e-03 /tmp/séries");
  EXPECT_EQ(SHOWTEXT(std::string("a\nb\tc\rd\\e\x1b[2K\x7f\x01", 15)), "a\\nb\\tc\\rd\\\\e\\x1B[2K\\x7F\\x01");
  EXPECT_EQ(SHOWTEXT(std::string(1, '\0')), "\\x00");
  std::mt19937 G(5);
  for (int C = 0; C < 20000; ++C) {
    std::string S(G() % 24, ' ');
    for (char& B : S) B = static_cast<char>(G() % 4 == 0 ? "\n\r\t\\\x1b\x7f\x00\xff"[G() % 8] : G() % 256);
    const std::string T = SHOWTEXT(S);
    ASSERT_EQ(UNSHOW(T), S);
    for (unsigned char B : T) ASSERT_TRUE(B >= 32 && B != 127) << T;
  }
}

std::string TAG(char C, long N) {
  std::string S(1, C);
  S += std::to_string(N);
  return S;
}

// A finding for the tests: its text says which it is.
TFINDING AT(long L, long COL, const std::string& WHAT, bool ERROR = true) {
  return {ERROR, L, COL, ERROR ? "Kind E" : "Kind W", WHAT, ""};
}

// The order of the report against a plain sort of everything at the end,
// over findings made at random as a reading makes them (lines that never
// go back, columns in any order), with some known before; and nothing
// held beyond the line in hand.
TEST(ReportOrder, LineByLineAgreesWithASortAtTheEnd) {
  std::mt19937 G(11);
  for (int CASE = 0; CASE < 2000; ++CASE) {
    std::vector<TFINDING> MADE, KNOWN;
    long L = G() % 3 == 0 ? 0 : 1;
    for (int X = static_cast<int>(G() % 30); X > 0; --X) {
      L += G() % 3 == 0 ? static_cast<long>(G() % 4) : 0;
      MADE.push_back(AT(L, 1 + static_cast<long>(G() % 5), TAG('m', static_cast<long>(MADE.size())), G() % 2 == 0));
    }
    for (int X = static_cast<int>(G() % 4); X > 0; --X)
      KNOWN.push_back(AT(1 + static_cast<long>(G() % (L + 2)), 1 + static_cast<long>(G() % 3),
                         TAG('k', static_cast<long>(KNOWN.size()))));
    std::vector<TFINDING> GOT;
    TFINDINGLIST SINK(&GOT);
    TFILECHECK C;
    TINORDER ORDER(SINK, C);
    ORDER.KNOWN(KNOWN);
    for (const TFINDING& F : MADE) {
      ORDER.PUT(F);
      // Every finding made on an earlier line has gone on.
      const long BEFORE = std::count_if(MADE.begin(), MADE.end(), [&](const TFINDING& X) { return X.LINE < F.LINE; });
      const long PASSED = std::count_if(GOT.begin(), GOT.end(), [](const TFINDING& X) { return X.WHAT[0] == 'm'; });
      ASSERT_EQ(PASSED, BEFORE) << CASE;
    }
    ORDER.FINISH();
    std::vector<TFINDING> WANT = MADE;
    WANT.insert(WANT.end(), KNOWN.begin(), KNOWN.end());
    std::stable_sort(WANT.begin(), WANT.end(), [](const TFINDING& A, const TFINDING& B) {
      return A.LINE != B.LINE ? A.LINE < B.LINE : A.COLUMN < B.COLUMN;
    });
    ASSERT_EQ(GOT.size(), WANT.size()) << CASE;
    for (size_t X = 0; X < WANT.size(); ++X) ASSERT_EQ(GOT[X].WHAT, WANT[X].WHAT) << CASE << " " << X;
    EXPECT_EQ(C.ERRORS() + C.WARNINGS(), static_cast<long>(WANT.size()));
  }
}

// A scratch file as the descriptor of the output, read back whole.
struct TOUTFILE {
  std::FILE* F = std::tmpfile();
  ~TOUTFILE() { std::fclose(F); }
  int FD() const { return ::fileno(F); }
  std::string TEXT() const {
    std::string S(static_cast<size_t>(::lseek(FD(), 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(FD(), S.data(), S.size(), 0), static_cast<ssize_t>(S.size()));
    return S;
  }
};

// A part whose turn has not come is held within the limit, its thread
// waiting beyond it; the parts come out whole and in their order.
TEST(ReportOutput, LaterPartsHeldWithinTheLimitAndWrittenInTurn) {
  TOUTFILE OUTFILE;
  TREPORTOUT OUT(OUTFILE.FD(), 3, 4096);
  std::atomic<bool> DONE{false};
  std::thread LATER([&] {
    for (int X = 0; X < 20; ++X) {
      std::string T(1000, 'b');
      ASSERT_TRUE(OUT.PUT(2, T, false));
    }
    std::string T = "B";
    ASSERT_TRUE(OUT.PUT(2, T, true));
    DONE = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(DONE);  // waiting for part 1
  EXPECT_LE(OUT.MOSTHELD(), 4096u);
  for (int X = 0; X < 3; ++X) {
    std::string T(1000, 'a');
    ASSERT_TRUE(OUT.PUT(1, T, X == 2));
  }
  LATER.join();
  std::string T = "end";
  ASSERT_TRUE(OUT.PUT(3, T, true));
  EXPECT_EQ(OUTFILE.TEXT(), std::string(3000, 'a') + std::string(20000, 'b') + "B" + "end");
  EXPECT_LE(OUT.MOSTHELD(), 4096u);
  EXPECT_EQ(OUT.FAILURE(), 0);
}

// A write that fails ends the output: the part in turn learns it, and so
// does a thread that waits for its turn.
TEST(ReportOutput, AFailedWriteReleasesEveryPart) {
  const int FULL = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (FULL < 0) GTEST_SKIP() << "no /dev/full";
  TREPORTOUT OUT(FULL, 2, 10);
  std::thread LATER([&] {
    std::string T(100, 'b');
    EXPECT_TRUE(OUT.PUT(2, T, false));  // held: nothing else is
    T.assign(100, 'b');
    EXPECT_FALSE(OUT.PUT(2, T, true));  // waits, then learns of the failure
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::string T = "a";
  EXPECT_FALSE(OUT.PUT(1, T, true));
  LATER.join();
  EXPECT_EQ(OUT.FAILURE(), ENOSPC);
  ::close(FULL);
}

}  // namespace
