// unthread: a thread on a stack of its own (see unthread.hpp).
#include "unthread.hpp"

#include <sys/mman.h>

namespace {

constexpr size_t GUARDBYTES = 4096;

}  // namespace

void* TTHREAD::TRAMPOLINE(void* SELF) {
  TTHREAD* const T = static_cast<TTHREAD*>(SELF);
  T->FUNC(T->ARG);
  return nullptr;
}

bool TTHREAD::START(void (*F)(void*), void* A, size_t STACKBYTES) noexcept {
  JOIN();
  if (!STACK.OBTAIN(STACKBYTES + GUARDBYTES, false)) return false;
  (void)::mprotect(STACK.DATA(), GUARDBYTES, PROT_NONE);
  FUNC = F;
  ARG = A;
  pthread_attr_t AT;
  bool OK = ::pthread_attr_init(&AT) == 0;
  if (OK) {
    OK = ::pthread_attr_setstack(&AT, STACK.DATA() + GUARDBYTES, STACK.SIZE() - GUARDBYTES) == 0 &&
         ::pthread_create(&ID, &AT, TRAMPOLINE, this) == 0;
    ::pthread_attr_destroy(&AT);
  }
  if (!OK) STACK.RELEASE();
  LIVE = OK;
  return OK;
}

void TTHREAD::JOIN() noexcept {
  if (!LIVE) return;
  (void)::pthread_join(ID, nullptr);
  LIVE = false;
  STACK.RELEASE();
}
