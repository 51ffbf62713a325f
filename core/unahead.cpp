// unahead: the main thread before the work ahead (see unahead.hpp).
#include "unahead.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "unfatal.hpp"

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

void NOSTORAGE() {
  if (!RELEASEAHEAD()) MEMORYERRORNOALLOC();
}
