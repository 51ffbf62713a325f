// unoutfil: the opening of an output file (see unoutfil.hpp).
#include "unoutfil.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "unfatal.hpp"

namespace {

// A series file: its folder and name.
struct TSERIESID {
  int DIRFD;
  std::string NAME;
};

std::vector<TSERIESID> SERIESFILES;

// The series file that ST is, as its name leads at this moment, or
// nothing. What a series file was when the run began is no guide: once it
// is deleted or replaced (an editor's save, a checkout), its inode number
// may be given to any new file, an output among them.
std::string SERIESFILEOF(const struct stat& ST) {
  for (const TSERIESID& P : SERIESFILES) {
    struct stat NOW;
    if (::fstatat(P.DIRFD, P.NAME.c_str(), &NOW, 0) == 0 && NOW.st_dev == ST.st_dev && NOW.st_ino == ST.st_ino)
      return P.NAME;
  }
  return {};
}

// NAME could not be opened for writing (errno E).
[[noreturn]] void CANNOTOPEN(int DIRFD, const std::string& NAME, int E) {
  struct stat ST;
  if (E == ENXIO && ::fstatat(DIRFD, NAME.c_str(), &ST, 0) == 0) {
    const std::string WHAT = "cannot create " + NAME + ": " + NAME;
    if (S_ISFIFO(ST.st_mode)) IOERROR(ACCESSTEXT, WHAT + " is a FIFO that no process reads");
    if (S_ISSOCK(ST.st_mode)) IOERROR(ACCESSTEXT, WHAT + " is a socket");
  }
  IOERRNO(E, OPENERRORTEXT(E, true), "cannot create " + NAME);
}

[[noreturn]] void FAILED(int F, const char* WHAT, const std::string& NAME) {
  const int E = errno;
  ::close(F);
  IOERRNO(E, OPENERRORTEXT(E, true), std::string("cannot ") + WHAT + " " + NAME);
}

}  // namespace

void PROTECTSERIES(int DIRFD, const std::string& NAME) { SERIESFILES.push_back(TSERIESID{DIRFD, NAME}); }

void UNPROTECTALL() { SERIESFILES.clear(); }

int OUTPUTOF(int F, const std::string& NAME, TOUTLOCK* LOCK, int DIRFD) {
  // Neither emptied nor waited for: what the name is comes first.
  if (F < 0) CANNOTOPEN(DIRFD, NAME, errno);
  struct stat ST;
  if (::fstat(F, &ST) != 0) FAILED(F, "create", NAME);
  const std::string SERIES = SERIESFILEOF(ST);
  if (!SERIES.empty()) {
    ::close(F);
    IOERROR(ACCESSTEXT, "cannot create " + NAME + ": " + NAME + " is the series file " + SERIES +
                            ", which is only read");
  }
  if (LOCK != nullptr) LOCK->TAKE(F);
  if (S_ISREG(ST.st_mode) && ::ftruncate(F, 0) != 0) FAILED(F, "empty", NAME);
  // Written from now on as any file: a write waits while a FIFO is full.
  const int FL = ::fcntl(F, F_GETFL);
  if (FL == -1 || ::fcntl(F, F_SETFL, FL & ~O_NONBLOCK) == -1) FAILED(F, "create", NAME);
  return F;
}
