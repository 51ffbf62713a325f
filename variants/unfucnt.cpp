// unfucnt: the count lines and the count table (see unfucnt.hpp).
#include "unfucnt.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "unahead.hpp"
#include "unforstr.hpp"

void BLOCKLINE(TPROGRUN& R, uint8_t I, uint8_t J, int N, int32_t ROWS) {
  TTEXTOUT& F = R.F;
  F.PUTINT(ROWS, 10);
  F.PUTINT(I, 4);
  F.PUTINT(J, 4);
  F.PUTINT(N, 4);
  F.PUT("  before terms number");
  F.ENDLINE();
}

void COUNTLINES(TPROGRUN& R, int32_t N) {
  R.L = ADDCOUNT(R.L, N, "term count L of the planet");
  R.K = ADDCOUNT(R.K, N, "term count K of the pair");
  TTEXTOUT& F = R.F;
  F.PUTINT(N, 10);
  F.PUTINT(R.K, 12);
  F.PUT("         terms number");
  F.ENDLINE();
  F.PUTINT(N, 10);
  F.PUTINT(R.L, 12);
  F.PUT("  after  terms number");
  F.ENDLINE();
}

namespace {

// The count table's text.
std::string TABLETEXT(const TPROGRUN& R) {
  const TTABLELAYOUT& T = R.V.LAYOUT;
  std::string S(static_cast<size_t>(T.HEADINDENT), ' ');
  char B[40];
  auto PUTINT = [&](long long V, int W) { S.append(B, static_cast<size_t>(FORMATINT(B, V, W))); };
  for (int Y = 1; Y <= MAXIPA; ++Y) {
    PUTINT(Y, T.HEADFIELD);
    S.append(static_cast<size_t>(T.HEADGAP), ' ');
  }
  S += "\r\n";
  for (int X = 1; X <= MAXIPA; ++X) {
    PUTINT(X, T.ROWFIELD);
    S += "  ";
    for (int Y = 1; Y <= MAXIPA; ++Y) {
      PUTINT(R.Z[X][Y], T.COUNTFIELD);
      S += ' ';
    }
    int32_t TOTAL = 0;
    for (int Y = 1; Y <= MAXIPA; ++Y) TOTAL = ADDCOUNT(TOTAL, R.Z[X][Y], "row total");
    PUTINT(TOTAL, T.TOTALFIELD);
    S += "\r\n";
  }
  return S;
}

}  // namespace

std::string TABLENEW(const TVARIANT& V) { return std::string(V.TABLENAME) + ".new"; }

std::string PAIRFILENAME(const TVARIANT& V, int I, int J) {
  return V.PREFIX + BYTETOFIXSTR(static_cast<uint8_t>(I), 2) + BYTETOFIXSTR(static_cast<uint8_t>(J), 2) + ".txt";
}

std::vector<std::string> OUTPUTNAMES(const TVARIANT& V) {
  std::vector<std::string> N;
  for (int I = 1; I <= MAXIPA; ++I) {
    for (int J = 1; J <= MAXIPA; ++J)
      if (J != I) N.push_back(PAIRFILENAME(V, I, J));
    N.push_back(TABLENEW(V));
    N.push_back(V.TABLENAME);
  }
  return N;
}

void COUNTTABLE(TPROGRUN& R, bool LAST) {
  if (R.COMPAREINTO != nullptr && !LAST) return;
  const std::string TEXT = TABLETEXT(R);
  const std::string NAME = R.V.TABLENAME;
  struct stat ST;
  const bool EXISTS = ::fstatat(R.DIRFD, NAME.c_str(), &ST, AT_SYMLINK_NOFOLLOW) == 0;
  TTEXTOUT& F = R.F;
  if (R.COMPAREINTO != nullptr || (EXISTS && (!S_ISREG(ST.st_mode) || ST.st_nlink != 1))) {
    MAKEOUTPUT(R, F, NAME);
    F.PUT(TEXT);
    F.CLOSE();
    return;
  }
  // A table the user may not write stays an error, as opening it would be.
  if (EXISTS && ::faccessat(R.DIRFD, NAME.c_str(), W_OK, 0) != 0)
    IOERRNO(errno, OPENERRORTEXT(errno, true), "cannot create " + NAME);
  const std::string NEW = TABLENEW(R.V);
  CREATEOUTPUT(F, NEW, R.LOCK, R.DIRFD);
  if (EXISTS && ::fchmod(F.DESCRIPTOR(), ST.st_mode & 07777) != 0)
    IOERRNO(errno, ACCESSTEXT, "cannot give " + NEW + " the permissions of " + NAME);
  F.PUT(TEXT);
  F.CLOSE();
  if (::renameat(R.DIRFD, NEW.c_str(), R.DIRFD, NAME.c_str()) != 0)
    IOERRNO(errno, WRITEERRTEXT, "cannot rename " + NEW + " to " + NAME);
}
