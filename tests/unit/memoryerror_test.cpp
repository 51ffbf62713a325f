// Running out of storage on a thread that works ahead (the parsing of
// series files): the failure must come back as an exception that the
// thread catches, so that the program can redo the work itself and report
// it in order, even when not one more byte can be had.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <new>
#include <thread>
#include <vector>

#include "testbits.hpp"
#include "unfatal.hpp"

namespace {

TEST(MemoryError, WorkAheadGivesUpWhenNothingIsLeft) {
  if (SANITIZED) GTEST_SKIP() << "AddressSanitizer reserves more address space than a limit allows";
  if (EMULATED) GTEST_SKIP() << "the emulator does not apply limits on the address space";
  const pid_t P = ::fork();
  ASSERT_GE(P, 0);
  if (P == 0) {
    std::set_new_handler(MEMORYERRORNOALLOC);
    int CAUGHT = 0;
    std::thread T([&CAUGHT] {
      SETTHREADTHROWS(true);
      std::vector<void*> HOLD;
      HOLD.reserve(size_t{1} << 16);
      if (!LIMITADDRESSSPACE(size_t{16} << 20)) ::_exit(4);
      try {
        while (HOLD.size() < HOLD.capacity()) HOLD.push_back(::operator new(4096));
        CAUGHT = 5;  // the limit was never met
      } catch (const std::bad_alloc&) {
        CAUGHT = 1;
      } catch (...) {
        CAUGHT = 2;
      }
      for (void* X : HOLD) ::operator delete(X);
    });
    T.join();
    ::_exit(CAUGHT == 1 ? 0 : 10 + CAUGHT);
  }
  int STATUS = 0;
  ASSERT_EQ(::waitpid(P, &STATUS, 0), P);
  ASSERT_TRUE(WIFEXITED(STATUS)) << "ended by signal " << WTERMSIG(STATUS);
  EXPECT_EQ(WEXITSTATUS(STATUS), 0);
}

}  // namespace
