// unoutfil: the opening of an output file (see unoutfil.hpp).
#include "unoutfil.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "unahead.hpp"
#include "unfatal.hpp"

namespace {

struct TIDENTITY {
  dev_t DEV;
  ino_t INO;
  std::string NAME;
};

std::mutex GUARD;

std::vector<TIDENTITY>& SERIESFILES() {
  // Never destroyed: a thread may still note a file while the program ends.
  static auto* LIST = new std::vector<TIDENTITY>;
  return *LIST;
}

void NOTE(const struct stat& ST, const std::string& NAME) {
  std::lock_guard<std::mutex> G(GUARD);
  for (const TIDENTITY& P : SERIESFILES())
    if (P.DEV == ST.st_dev && P.INO == ST.st_ino) return;
  SERIESFILES().push_back(TIDENTITY{ST.st_dev, ST.st_ino, NAME});
}

// The series file that ST is, or nothing.
std::string SERIESFILEOF(const struct stat& ST) {
  std::lock_guard<std::mutex> G(GUARD);
  for (const TIDENTITY& P : SERIESFILES())
    if (P.DEV == ST.st_dev && P.INO == ST.st_ino) return P.NAME;
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

void PROTECTSERIES(const std::string& NAME) {
  struct stat ST;
  if (::stat(NAME.c_str(), &ST) == 0) NOTE(ST, NAME);
}

void PROTECTOPENSERIES(int FD, const std::string& NAME) {
  struct stat ST;
  if (::fstat(FD, &ST) == 0) NOTE(ST, NAME);
}

void UNPROTECTALL() {
  std::lock_guard<std::mutex> G(GUARD);
  SERIESFILES().clear();
}

int OPENOUTPUT(const std::string& NAME) {
  // Neither emptied nor waited for: what the name is comes first.
  const int F = OPENFILE(AT_FDCWD, NAME.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
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
