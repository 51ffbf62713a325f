#include "unfatal.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "unwrite.hpp"

namespace {

const char* PROGRAMNAME = "pairterms";
TFATALSCOPE* SCOPE = nullptr;
bool THROWS = false;
thread_local bool THREADTHROWS = false;

// Whether a report written to standard output is already shown on
// standard error: the two are the same open file (2>&1, or the same file
// named twice), or both are terminals.
bool ERRSHOWSOUT() {
  struct stat O, E;
  if (::fstat(STDOUT_FILENO, &O) == 0 && ::fstat(STDERR_FILENO, &E) == 0 && O.st_dev == E.st_dev &&
      O.st_ino == E.st_ino)
    return true;
  return ::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1;
}

// The report goes to standard output, and to standard error too unless
// that would show it twice (or when standard output cannot take it).
void WRITEREPORT(const char* const* PARTS, size_t N) {
  auto PUT = [&](int FD) {
    for (size_t X = 0; X < N; ++X) {
      const size_t L = std::strlen(PARTS[X]);
      size_t DONE = 0;
      while (DONE < L) {
        const ssize_t W = WRITEWAIT(FD, PARTS[X] + DONE, L - DONE);
        if (W <= 0) return false;
        DONE += static_cast<size_t>(W);
      }
    }
    return true;
  };
  if (!PUT(STDOUT_FILENO) || !ERRSHOWSOUT()) (void)PUT(STDERR_FILENO);
}

[[noreturn]] void DIEAT(std::string_view KIND, std::string_view WHY, std::string_view WHERE) {
  std::string K(KIND), W(WHY), WH(WHERE);
  if (THREADTHROWS) throw TFATAL{K, "", W};
  // A background write that failed earlier is the failure to report.
  if (SCOPE != nullptr) {
    std::string K2, W2, WH2;
    if (SCOPE->FAILEDBEFORE(K2, W2, WH2)) {
      K = K2;
      W = W2;
      WH = WH2;
    }
  }
  std::string REPORT = std::string(PROGRAMNAME) + ": fatal error 217: " + K;
  if (!W.empty()) REPORT += ": " + W;
  if (!WH.empty()) REPORT += " (" + WH + ")";
  if (THROWS) throw TFATAL{K, REPORT, W};
  // Write out what the open files hold; the file that failed has
  // already dropped what it could not write.
  if (SCOPE != nullptr) SCOPE->FLUSHBEFOREEXIT();
  REPORT += "\r\n";
  const char* PARTS[] = {REPORT.c_str()};
  WRITEREPORT(PARTS, 1);
  std::_Exit(FATALSTATUS);
}

std::string WHERENOW() {
  if (THREADTHROWS) return {};
  return SCOPE != nullptr ? SCOPE->WHERE() : std::string();
}

[[noreturn]] void DIE(std::string_view KIND, std::string_view WHY) { DIEAT(KIND, WHY, WHERENOW()); }

}  // namespace

void SETPROGRAMNAME(const char* NAME) { PROGRAMNAME = NAME; }
const char* PROGRAMNAMETEXT() { return PROGRAMNAME; }
TFATALSCOPE* SETFATALSCOPE(TFATALSCOPE* S) {
  TFATALSCOPE* const BEFORE = SCOPE;
  SCOPE = S;
  return BEFORE;
}
void SETFATALTHROWS(bool T) { THROWS = T; }
void SETTHREADTHROWS(bool T) { THREADTHROWS = T; }

void RANGEERROR(const char* WHAT, long long VALUE, long long LO, long long HI) {
  DIE(RANGETEXT, std::string(WHAT) + " " + std::to_string(VALUE) +
                     " is outside " + std::to_string(LO) + ".." +
                     std::to_string(HI));
}

void RANGEERROR(const char* WHAT, std::string_view VALUE, long long LO, long long HI) {
  DIE(RANGETEXT, std::string(WHAT) + " " + std::string(VALUE) + " is outside " + std::to_string(LO) + ".." +
                     std::to_string(HI));
}

void OVERFLOWERROR(const char* WHAT, long long A, long long B) {
  DIE(OVERFLOWTEXT, std::string(WHAT) + " " + std::to_string(A) + " + " +
                        std::to_string(B) + " leaves the 32-bit range");
}

void MEMORYERROR(const char* WHAT, unsigned long long BYTES) {
  DIE(MEMORYTEXT, "cannot obtain " + std::to_string(BYTES) + " bytes for " +
                      WHAT);
}

void MEMORYERRORNOALLOC() {
  // Work done ahead is simply given up; std::bad_alloc needs no storage
  // beyond what the runtime keeps for it, where a TFATAL and its texts
  // would ask the exhausted store again.
  if (THREADTHROWS) throw std::bad_alloc();
  if (THROWS) throw TFATAL{MEMORYTEXT, MEMORYTEXT, "working storage cannot be obtained"};
  if (SCOPE != nullptr) SCOPE->FLUSHBEFOREEXIT();
  const char* PARTS[] = {PROGRAMNAME, ": fatal error 217: ", MEMORYTEXT,
                         ": working storage cannot be obtained\r\n"};
  WRITEREPORT(PARTS, 4);
  std::_Exit(FATALSTATUS);
}

void IOERROR(std::string_view KINDTEXT, std::string_view WHY) {
  DIE(KINDTEXT, WHY);
}

void IOERRORAT(std::string_view KINDTEXT, std::string_view WHY, std::string_view WHERE) {
  DIEAT(KINDTEXT, WHY, WHERE);
}

void FPUMODEERROR(std::string_view WHY) { DIE(FPUMODETEXT, WHY); }

std::string CURRENTWHERE() { return WHERENOW(); }

const char* IOKINDTEXT(int ERR, const char* KIND) {
  switch (ERR) {
    case ENOSPC:
    case EDQUOT:
    case EMFILE:
    case ENFILE:
    case EAGAIN:
    case ENOMEM:
      return std::strerror(ERR);
    default:
      return KIND;
  }
}

std::string IOWHY(int ERR, const char* KIND, const std::string& WHAT) {
  const char* E = std::strerror(ERR);
  return std::strcmp(IOKINDTEXT(ERR, KIND), E) == 0 ? WHAT : WHAT + ": " + E;
}

void IOERRNO(int ERR, const char* KIND, const std::string& WHAT) {
  DIE(IOKINDTEXT(ERR, KIND), IOWHY(ERR, KIND, WHAT));
}

const char* OPENERRORTEXT(int ERR, bool FORWRITING) {
  switch (ERR) {
    case ENOENT:
      return FORWRITING ? PATHTEXT : NOTFOUNDTEXT;
    case ENOTDIR:
    case ENAMETOOLONG:
      return PATHTEXT;
    default:
      return IOKINDTEXT(ERR, ACCESSTEXT);
  }
}
