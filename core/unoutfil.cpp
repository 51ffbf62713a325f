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

// A series file: its folder and name, and what it was when noted.
struct TSERIESID {
  int DIRFD;
  std::string NAME;
  dev_t DEV;
  ino_t INO;
};

std::vector<TSERIESID> SERIESFILES;

bool SAMEFILE(const struct stat& A, dev_t DEV, ino_t INO) { return A.st_dev == DEV && A.st_ino == INO; }

// The series file that ST is, as noted or as its name leads now (it may
// have been replaced since), or nothing.
std::string SERIESFILEOF(const struct stat& ST) {
  for (const TSERIESID& P : SERIESFILES) {
    struct stat NOW;
    if (SAMEFILE(ST, P.DEV, P.INO) ||
        (::fstatat(P.DIRFD, P.NAME.c_str(), &NOW, 0) == 0 && SAMEFILE(ST, NOW.st_dev, NOW.st_ino)))
      return P.NAME;
  }
  return {};
}

// NAME could not be opened for writing (errno E).
[[noreturn]] void CANNOTOPEN(const std::string& NAME, int E) {
  struct stat ST;
  if (E == ENXIO && ::stat(NAME.c_str(), &ST) == 0) {
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

void PROTECTSERIES(int DIRFD, const std::string& NAME) {
  struct stat ST;
  if (::fstatat(DIRFD, NAME.c_str(), &ST, 0) != 0) ST.st_dev = ST.st_ino = 0;  // missing: the name alone
  SERIESFILES.push_back(TSERIESID{DIRFD, NAME, ST.st_dev, ST.st_ino});
}

void UNPROTECTALL() { SERIESFILES.clear(); }

int OUTPUTOF(int F, const std::string& NAME) {
  // Neither emptied nor waited for: what the name is comes first.
  if (F < 0) CANNOTOPEN(NAME, errno);
  struct stat ST;
  if (::fstat(F, &ST) != 0) FAILED(F, "create", NAME);
  const std::string SERIES = SERIESFILEOF(ST);
  if (!SERIES.empty()) {
    ::close(F);
    IOERROR(ACCESSTEXT, "cannot create " + NAME + ": " + NAME + " is the series file " + SERIES +
                            ", which is only read");
  }
  if (S_ISREG(ST.st_mode) && ::ftruncate(F, 0) != 0) FAILED(F, "empty", NAME);
  // Written from now on as any file: a write waits while a FIFO is full.
  const int FL = ::fcntl(F, F_GETFL);
  if (FL == -1 || ::fcntl(F, F_SETFL, FL & ~O_NONBLOCK) == -1) FAILED(F, "create", NAME);
  return F;
}
