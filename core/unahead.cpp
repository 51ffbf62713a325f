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

namespace {

// T's buffers and writer, with the first output.
void READYOUTPUT(TTEXTOUT& T) {
  if (!T.HASBUFFERS()) {
    if (!TRYTWICE([&T] { return T.OBTAINBUFFERS(); })) MEMORYERROR("the output buffers", TTEXTOUT::BUFFERBYTES);
    (void)TRYTWICE([&T] { return T.STARTWRITER(); });
  }
}

}  // namespace

void COMPAREOUTPUT(TTEXTOUT& T, const std::string& NAME, int DIRFD, TTEXTOUT::TRESULTS* INTO) {
  READYOUTPUT(T);
  const int F = OPENFILE(DIRFD, NAME.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (F >= 0) return T.COMPARED(F, NAME, INTO);
  if (errno != ENOENT) IOERRNO(errno, OPENERRORTEXT(errno, false), "cannot open " + NAME);
  T.ABSENT(NAME, INTO);
}

void CREATEOUTPUT(TTEXTOUT& T, const std::string& NAME, TOUTLOCK* LOCK, int DIRFD) {
  READYOUTPUT(T);
  int F = LOCK != nullptr ? LOCK->OPENED(NAME) : -1;
  if (F < 0) F = OPENFILE(DIRFD, NAME.c_str(), OUTPUTFLAGS, OUTPUTMODE);
  T.OPENED(OUTPUTOF(F, NAME, LOCK, DIRFD), NAME, LOCK);
}

void NOSTORAGE() {
  if (!RELEASEAHEAD()) MEMORYERRORNOALLOC();
}
