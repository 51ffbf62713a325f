// Large blocks: where they start, what they read before being written, how
// they move, and that a request the system cannot grant is told, not
// thrown; the rows of a series file laid out in one block.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>


#include <cstdint>
#include <cstring>
#include <utility>

#include "testbits.hpp"
#include "unbigmem.hpp"
#include "unsercac.hpp"

namespace {

constexpr uintptr_t LARGEPAGE = uintptr_t{2} << 20;

TEST(BigMemory, BlocksStartOnALargePageAndReadAsZeros) {
  for (bool WHOLE : {true, false}) {
    for (size_t N : {size_t{1}, size_t{4096}, size_t{4097}, (size_t{2} << 20) + 1, size_t{5} << 20}) {
      SCOPED_TRACE(N);
      TBIGBLOCK B;
      ASSERT_TRUE(B.OBTAIN(N, WHOLE));
      EXPECT_EQ(reinterpret_cast<uintptr_t>(B.DATA()) % LARGEPAGE, 0u);
      EXPECT_GE(B.SIZE(), N);
      EXPECT_EQ(B.SIZE() % 4096, 0u);
      for (size_t K = 0; K < B.SIZE(); K += 997) ASSERT_EQ(B.DATA()[K], 0) << K;
      std::memset(B.DATA(), 0x5A, B.SIZE());  // all of it is writable
      EXPECT_EQ(B.DATA()[B.SIZE() - 1], 0x5A);
    }
  }
}

TEST(BigMemory, EmptyImpossibleAndMovedBlocks) {
  TBIGBLOCK B;
  EXPECT_TRUE(B.OBTAIN(0, true));
  EXPECT_EQ(B.SIZE(), 0u);
  EXPECT_EQ(B.DATA(), nullptr);
  // More than any address space: refused without an exception.
  EXPECT_FALSE(B.OBTAIN(size_t{1} << 62, true));
  EXPECT_FALSE(B.OBTAIN(size_t{1} << 62, false));
  EXPECT_FALSE(B.OBTAIN(SIZE_MAX, true));
  EXPECT_FALSE(B.OBTAIN(SIZE_MAX - 4096, false));
  EXPECT_EQ(B.SIZE(), 0u);

  ASSERT_TRUE(B.OBTAIN(100000, true));
  B.DATA()[99999] = 7;
  char* const P = B.DATA();
  TBIGBLOCK C(std::move(B));
  EXPECT_EQ(B.DATA(), nullptr);
  EXPECT_EQ(C.DATA(), P);
  EXPECT_EQ(C.DATA()[99999], 7);
  TBIGBLOCK D;
  ASSERT_TRUE(D.OBTAIN(10, false));
  D = std::move(C);
  EXPECT_EQ(D.DATA(), P);
  // A second OBTAIN gives up the first block and starts from zeros.
  ASSERT_TRUE(D.OBTAIN(100000, true));
  EXPECT_EQ(D.DATA()[99999], 0);
}

// With an address space too short for the room that aligning takes, the
// block is still had, where it comes.
TEST(BigMemory, ShortAddressSpaceStillGetsTheBlock) {
  if (SANITIZED) GTEST_SKIP() << "AddressSanitizer reserves more address space than a limit allows";
  if (EMULATED) GTEST_SKIP() << "the emulator does not apply limits on the address space";
  const pid_t P = ::fork();
  ASSERT_GE(P, 0);
  if (P == 0) {
    const size_t N = size_t{64} << 20;
    if (!LIMITADDRESSSPACE(N + (size_t{1} << 20))) ::_exit(4);
    TBIGBLOCK B;
    if (!B.OBTAIN(N, true)) ::_exit(1);
    std::memset(B.DATA(), 1, N);
    TBIGBLOCK C;  // and nothing more than there is
    ::_exit(C.OBTAIN(N, false) ? 2 : 0);
  }
  int STATUS = 0;
  ASSERT_EQ(::waitpid(P, &STATUS, 0), P);
  ASSERT_TRUE(WIFEXITED(STATUS));
  EXPECT_EQ(WEXITSTATUS(STATUS), 0);
}

TEST(BigMemory, ArraysOfEntriesStartEmpty) {
  struct TENTRY {
    uint32_t STAMP;
    char TEXT[44];
  };
  TBIGARRAY<TENTRY> A;
  EXPECT_EQ(A.size(), 0u);
  ASSERT_TRUE(A.OBTAIN(size_t{2} << 16));
  EXPECT_EQ(A.size(), size_t{2} << 16);
  EXPECT_EQ(A[0].STAMP, 0u);
  EXPECT_EQ(A[A.size() - 1].TEXT[43], 0);
  A[12345].STAMP = 9;
  EXPECT_EQ(A.data()[12345].STAMP, 9u);
  // A count whose bytes do not fit a size: refused, not wrapped.
  EXPECT_FALSE(A.OBTAIN(size_t{1} << 60));
  EXPECT_EQ(A.size(), 0u);
}

// Every kind of row of a file gets its own aligned, disjoint, writable
// place in the file's block.
TEST(BigMemory, RowStoreKindsDoNotOverlap) {
  for (size_t COUNT : {size_t{1}, size_t{3}, size_t{74967}}) {
    SCOPED_TRACE(COUNT);
    TROWSTORE S;
    ASSERT_TRUE(S.OBTAIN(COUNT));
    struct TPART {
      const char* FROM;
      size_t BYTES;
    };
    const TPART PARTS[] = {
        {reinterpret_cast<const char*>(S.AMPS.data()), COUNT * sizeof(TEXTENDED)},
        {reinterpret_cast<const char*>(S.FIELDS.data()), COUNT * sizeof(TROWFIELDS)},
        {reinterpret_cast<const char*>(S.TESTRECS.data()), COUNT * sizeof(TTESTREC)},
        {reinterpret_cast<const char*>(S.LINES.data()), COUNT * sizeof(S.LINES[0])}};
    size_t TOTAL = 0;
    for (const TPART& A : PARTS) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(A.FROM) % 64, 0u);
      TOTAL += A.BYTES;
      for (const TPART& B : PARTS) {
        if (&A != &B) {
          EXPECT_TRUE(A.FROM + A.BYTES <= B.FROM || B.FROM + B.BYTES <= A.FROM);
        }
      }
    }
    EXPECT_GE(TROWSTORE::BYTESFOR(COUNT), TOTAL);
    EXPECT_LE(TROWSTORE::BYTESFOR(COUNT), TOTAL + 4 * 64);
    EXPECT_EQ(S.FIELDS.size(), COUNT);
    EXPECT_EQ(S.LINES.size(), COUNT);
    S.LINES[COUNT - 1] = 42;
    S.AMPS[COUNT - 1] = -1.5_EXT;
    std::memset(static_cast<void*>(&S.FIELDS[COUNT - 1]), 'x', sizeof(TROWFIELDS));
    EXPECT_EQ(S.LINES[COUNT - 1], 42);
    EXPECT_EQ(S.AMPS[COUNT - 1], -1.5_EXT);
  }
  TROWSTORE E;
  EXPECT_TRUE(E.OBTAIN(0));
  EXPECT_EQ(E.FIELDS.size(), 0u);
}

}  // namespace
