// unahead: the main thread before the work ahead (see unahead.hpp).
#include "unahead.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "unfatal.hpp"
#include "unoutfil.hpp"

namespace {

TRELEASER RELEASER = nullptr;
thread_local bool AHEAD = false;

}  // namespace

void SETRELEASER(TRELEASER R) { RELEASER = R; }

void WORKSAHEAD() {
  AHEAD = true;
  SETTHREADTHROWS(true);
}

bool RELEASEAHEAD() { return !AHEAD && RELEASER != nullptr && RELEASER(); }

int OPENFILE(int DIRFD, const char* NAME, int FLAGS, mode_t MODE) {
  const int F = ::openat(DIRFD, NAME, FLAGS, MODE);
  if (F >= 0 && AHEAD) {
    const int SPARE = ::fcntl(F, F_DUPFD_CLOEXEC, 0);
    if (SPARE >= 0) {
      ::close(SPARE);
      return F;
    }
    ::close(F);
    errno = EMFILE;
    return -1;
  }
  if (F >= 0 || (errno != EMFILE && errno != ENFILE && errno != ENOMEM)) return F;
  const int E = errno;
  if (!RELEASEAHEAD()) {
    errno = E;
    return -1;
  }
  return ::openat(DIRFD, NAME, FLAGS, MODE);
}

void CREATEOUTPUT(TTEXTOUT& T, const std::string& NAME, TOUTLOCK* LOCK) {
  if (!T.HASBUFFERS()) {
    if (!TRYTWICE([&T] { return T.OBTAINBUFFERS(); })) MEMORYERROR("the output buffers", TTEXTOUT::BUFFERBYTES);
    (void)TRYTWICE([&T] { return T.STARTWRITER(); });
  }
  int F = LOCK != nullptr ? LOCK->OPENED(NAME) : -1;
  if (F < 0) F = OPENFILE(AT_FDCWD, NAME.c_str(), OUTPUTFLAGS, OUTPUTMODE);
  T.OPENED(OUTPUTOF(F, NAME, LOCK), NAME, LOCK);
}

void NOSTORAGE() {
  if (!RELEASEAHEAD()) MEMORYERRORNOALLOC();
}
