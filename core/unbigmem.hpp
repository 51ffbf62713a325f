// unbigmem: large blocks of memory straight from the system.
//
// TBIGBLOCK holds one mapping of at least BYTES bytes, starting on a 2 MiB
// boundary (unless the address space is too short for the room that
// takes), that reads as zeros. With POPULATE it is marked for large
// pages, so that where the system grants them one page fault brings in
// 2 MiB (a page fault is a costly event on some virtual machines), and
// every page is obtained at once: a failure to obtain them is told then
// rather than met later. Without, each page is obtained when first
// written. OBTAIN makes one attempt and never throws; a caller that may
// release other work first and try again does so itself (see unahead).
//
// TBIGARRAY<T> is an array of COUNT trivially copyable T in a block of
// the second kind: for large tables of which little may be used, whose
// zero bytes mean "empty".
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

class TBIGBLOCK {
 public:
  TBIGBLOCK() = default;
  TBIGBLOCK(const TBIGBLOCK&) = delete;
  TBIGBLOCK& operator=(const TBIGBLOCK&) = delete;
  TBIGBLOCK(TBIGBLOCK&& O) noexcept
      : BASE(std::exchange(O.BASE, nullptr)), BYTES(std::exchange(O.BYTES, 0)) {}
  TBIGBLOCK& operator=(TBIGBLOCK&& O) noexcept {
    if (this != &O) {
      RELEASE();
      BASE = std::exchange(O.BASE, nullptr);
      BYTES = std::exchange(O.BYTES, 0);
    }
    return *this;
  }
  ~TBIGBLOCK() { RELEASE(); }

  bool OBTAIN(size_t N, bool POPULATE) noexcept;
  void RELEASE() noexcept;
  char* DATA() const { return static_cast<char*>(BASE); }
  size_t SIZE() const { return BYTES; }

 private:
  void* BASE = nullptr;
  size_t BYTES = 0;
};

template <typename T>
class TBIGARRAY {
 public:
  bool OBTAIN(size_t COUNT) noexcept {
    N = 0;
    if (COUNT > SIZE_MAX / sizeof(T) || !BLOCK.OBTAIN(COUNT * sizeof(T), false)) {
      BLOCK.RELEASE();
      return false;
    }
    N = COUNT;
    return true;
  }
  T& operator[](size_t I) { return data()[I]; }
  const T& operator[](size_t I) const { return data()[I]; }
  T* data() const { return reinterpret_cast<T*>(BLOCK.DATA()); }
  size_t size() const { return N; }

 private:
  TBIGBLOCK BLOCK;
  size_t N = 0;
};
