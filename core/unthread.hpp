// unthread: a thread on a stack of its own. The stack, of the size asked
// for, is obtained with the thread (a block of unbigmem, its lowest page
// kept from use so that an overflow faults) and given back when the thread
// is joined. START makes one attempt. A stack that the system keeps for later threads would still
// count against an address-space limit, and a later thread would or would
// not find it there by chance.
#pragma once

#include <pthread.h>

#include <cstddef>

#include "unbigmem.hpp"

class TTHREAD {
 public:
  TTHREAD() = default;
  ~TTHREAD() { JOIN(); }
  TTHREAD(const TTHREAD&) = delete;
  TTHREAD& operator=(const TTHREAD&) = delete;

  // Runs F(ARG) on a new thread with a stack of STACKBYTES; false, with
  // nothing held, when no stack or no thread can be had.
  bool START(void (*F)(void*), void* ARG, size_t STACKBYTES) noexcept;
  // Waits for the thread to end and gives its stack back.
  void JOIN() noexcept;
  bool RUNNING() const { return LIVE; }

 private:
  static void* TRAMPOLINE(void* SELF);
  pthread_t ID{};
  bool LIVE = false;
  void (*FUNC)(void*) = nullptr;
  void* ARG = nullptr;
  TBIGBLOCK STACK;
};
