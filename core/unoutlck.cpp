// unoutlck: one run at a time in an output folder (see unoutlck.hpp).
#include "unoutlck.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unoutfil.hpp"
#include "unwrite.hpp"

namespace {

bool REGULAR(int FD) {
  struct stat ST;
  return ::fstat(FD, &ST) == 0 && S_ISREG(ST.st_mode);
}

// Whether another open file holds the lock of the regular file NAME.
bool LOCKEDELSEWHERE(const std::string& NAME) {
  const int F = ::open(NAME.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (F < 0) return false;
  bool BUSY = false;
  if (REGULAR(F)) {
    BUSY = ::flock(F, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!BUSY) (void)::flock(F, LOCK_UN);
  }
  ::close(F);
  return BUSY;
}

[[noreturn]] void BUSY(const std::string& NAME) {
  const std::string P = PROGRAMNAMETEXT();
  const std::string LINE = P + ": another run of " + P + " is writing in this folder (" + SHOWTEXT(NAME) +
                           " is locked); run it again when that one has ended\r\n";
  for (size_t DONE = 0; DONE < LINE.size();) {
    const ssize_t W = WRITEWAIT(STDERR_FILENO, LINE.data() + DONE, LINE.size() - DONE);
    if (W <= 0) break;
    DONE += static_cast<size_t>(W);
  }
  std::_Exit(2);
}

}  // namespace

TOUTLOCK::~TOUTLOCK() {
  if (HELD >= 0) ::close(HELD);
  if (PENDING >= 0) ::close(PENDING);
}

void TOUTLOCK::FIRST(const std::vector<std::string>& NAMES) {
  if (NAMES.empty()) return;
  // Opened as it is, or made when missing; one that another run makes at
  // the same moment is opened as it is, on the next round.
  int F = -1;
  for (int ROUND = 0; ROUND < 100 && F < 0; ++ROUND) {
    F = ::open(NAMES[0].c_str(), OUTPUTFLAGS & ~O_CREAT, OUTPUTMODE);
    if (F >= 0 || errno != ENOENT) break;
    F = ::open(NAMES[0].c_str(), OUTPUTFLAGS | O_EXCL, OUTPUTMODE);
    CREATED = F >= 0;
    if (F < 0 && errno != EEXIST) break;
  }
  if (F >= 0) {
    if (REGULAR(F) && ::flock(F, LOCK_EX | LOCK_NB) != 0) BUSY(NAMES[0]);
    PENDING = F;
    PENDINGNAME = NAMES[0];
  }
  for (size_t X = 1; X < NAMES.size(); ++X)
    if (LOCKEDELSEWHERE(NAMES[X])) BUSY(NAMES[X]);
}

int TOUTLOCK::OPENED(const std::string& NAME) {
  if (PENDING < 0 || NAME != PENDINGNAME) return -1;
  const int F = PENDING;
  PENDING = -1;
  return F;
}

void TOUTLOCK::ABANDON() noexcept {
  if (PENDING >= 0 && CREATED) (void)::unlink(PENDINGNAME.c_str());
}

void TOUTLOCK::LETGO() {
  if (HELD < 0) return;
  const int F = HELD;
  HELD = -1;
  if (::close(F) != 0) IOERRNO(errno, WRITEERRTEXT, "cannot close " + HELDNAME);
}

void TOUTLOCK::TAKE(int FD) {
  if (!REGULAR(FD)) return;
  // (The first output, which FIRST opened, holds its lock already: a lock
  // taken again on the same open file is granted at once.)
  while (::flock(FD, LOCK_EX) != 0 && errno == EINTR) {
  }
  LETGO();
}

void TOUTLOCK::HOLD(int FD, const std::string& NAME) {
  if (!REGULAR(FD)) {
    if (::close(FD) != 0) IOERRNO(errno, WRITEERRTEXT, "cannot close " + NAME);
    return;
  }
  LETGO();
  HELD = FD;
  HELDNAME = NAME;
}
