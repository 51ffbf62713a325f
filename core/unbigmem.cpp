#include "unbigmem.hpp"

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>

namespace {

constexpr size_t LARGEPAGE = size_t{2} << 20;
constexpr size_t SMALLPAGE = 4096;

size_t ROUNDUP(size_t X, size_t A) { return (X + A - 1) / A * A; }

}  // namespace

bool TBIGBLOCK::OBTAIN(size_t N, bool POPULATE) noexcept {
  RELEASE();
  if (N == 0) return true;
  if (N > SIZE_MAX - 2 * LARGEPAGE) return false;
  const size_t NEED = ROUNDUP(N, SMALLPAGE);
  // Mapped with room to start on a 2 MiB boundary, the rest given back;
  // where the address space has no room for that, as it comes.
  char* M = static_cast<char*>(
      ::mmap(nullptr, NEED + LARGEPAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  if (M != MAP_FAILED) {
    char* const START = reinterpret_cast<char*>(ROUNDUP(reinterpret_cast<uintptr_t>(M), LARGEPAGE));
    if (START > M) ::munmap(M, static_cast<size_t>(START - M));
    char* const END = M + NEED + LARGEPAGE;
    if (START + NEED < END) ::munmap(START + NEED, static_cast<size_t>(END - (START + NEED)));
    M = START;
  } else {
    M = static_cast<char*>(::mmap(nullptr, NEED, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (M == MAP_FAILED) return false;
  }
  BASE = M;
  BYTES = NEED;
  if (!POPULATE) return true;
  (void)::madvise(BASE, BYTES, MADV_HUGEPAGE);
  // A kernel without the call gets the pages on first use.
  if (::madvise(BASE, BYTES, MADV_POPULATE_WRITE) != 0 && errno != EINVAL) {
    RELEASE();
    return false;
  }
  return true;
}

void TBIGBLOCK::RELEASE() noexcept {
  if (BASE != nullptr) ::munmap(BASE, BYTES);
  BASE = nullptr;
  BYTES = 0;
}
