// unserdir: the folder of the series files (see unserdir.hpp).
#include "unserdir.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "unforstr.hpp"

namespace {

int DIRFD = AT_FDCWD;
std::string DIRTEXT;  // empty: the current folder

}  // namespace

std::string SERIESNAME(int N) { return "puf" + BYTETOFIXSTR(static_cast<uint8_t>(N), 2) + ".txt"; }

bool SETSERIESDIR(const std::string& DIR, std::string& WHY) {
  const int F = ::open(DIR.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (F < 0) {
    WHY = std::strerror(errno);
    return false;
  }
  // The files are opened in it by name: it must be searchable.
  if (::faccessat(F, ".", X_OK, AT_EACCESS) != 0) {
    WHY = std::strerror(errno);
    ::close(F);
    return false;
  }
  char* ABS = ::realpath(DIR.c_str(), nullptr);
  RESETSERIESDIR();
  DIRFD = F;
  DIRTEXT = ABS != nullptr ? ABS : DIR;
  std::free(ABS);
  return true;
}

int SERIESDIRFD() { return DIRFD; }

std::string SERIESDIRTEXT() {
  if (!DIRTEXT.empty()) return DIRTEXT;
  char B[PATH_MAX];
  return ::getcwd(B, sizeof B) != nullptr ? std::string(B) : std::string(".");
}

bool ANYSERIESFILE() {
  struct stat ST;
  for (int N = 1; N <= NUMSERIES; ++N)
    if (::fstatat(DIRFD, SERIESNAME(N).c_str(), &ST, 0) == 0) return true;
  return false;
}

std::string MISSINGHINT() {
  const std::string RANGE = SERIESNAME(1) + " .. " + SERIESNAME(NUMSERIES);
  if (!ANYSERIESFILE()) return "; the series folder " + SHOWTEXT(SERIESDIRTEXT()) + " holds none of " + RANGE;
  return " in the series folder " + SHOWTEXT(SERIESDIRTEXT()) + ", which should hold " + RANGE;
}

void RESETSERIESDIR() {
  if (DIRFD != AT_FDCWD) ::close(DIRFD);
  DIRFD = AT_FDCWD;
  DIRTEXT.clear();
}

std::string SERIESFILEOFFD(int FD) {
  struct stat F, S;
  if (::fstat(FD, &F) != 0) return {};
  for (int N = 1; N <= NUMSERIES; ++N)
    if (::fstatat(DIRFD, SERIESNAME(N).c_str(), &S, 0) == 0 && S.st_dev == F.st_dev && S.st_ino == F.st_ino)
      return SERIESNAME(N);
  return {};
}
