// unfucuts: the cuts of a run (see unfucuts.hpp).
#include "unfucuts.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "unahead.hpp"
#include "unfatal.hpp"
#include "unoutfil.hpp"
#include "unreanum.hpp"
#include "unwrite.hpp"

namespace {

bool SAMEBITS(TEXTENDED A, TEXTENDED B) { return std::memcmp(&A, &B, 10) == 0; }

// The length of the longest start of T that has the shape of a decimal
// number: a sign, digits with a point, an exponent.
size_t NUMBERSHAPE(std::string_view T) {
  size_t P = 0, DIGITS = 0;
  auto RUN = [&] {
    size_t N = 0;
    while (P < T.size() && T[P] >= '0' && T[P] <= '9') ++P, ++N;
    return N;
  };
  if (P < T.size() && (T[P] == '+' || T[P] == '-')) ++P;
  DIGITS += RUN();
  if (P < T.size() && T[P] == '.') {
    ++P;
    DIGITS += RUN();
  }
  if (DIGITS == 0) return 0;
  const size_t MANTISSA = P;
  if (P < T.size() && (T[P] == 'e' || T[P] == 'E')) {
    ++P;
    if (P < T.size() && (T[P] == '+' || T[P] == '-')) ++P;
    if (RUN() == 0) return MANTISSA;
  }
  return P;
}

// The decimal number that is the whole of T, or the reason it is not one.
bool READVALUE(std::string_view T, TEXTENDED& X, std::string& WHY) {
  const size_t N = NUMBERSHAPE(T);
  if (N == 0) {
    WHY = "is not a number";
    return false;
  }
  if (N < T.size()) {
    WHY = "has characters after the number";
    return false;
  }
  if (!READREAL(T, X)) {
    WHY = "is beyond the extended range";
    return false;
  }
  return true;
}

}  // namespace

TCUTS DEFAULTCUTS(const TVARIANT& V) {
  TCUTS C;
  C.ORDERBOUND = V.ORDERBOUND;
  return C;
}

bool ISDEFAULT(const TVARIANT& V, const TCUTS& C) {
  const TCUTS D = DEFAULTCUTS(V);
  return SAMEBITS(C.THRESHOLD, D.THRESHOLD) && SAMEBITS(C.PERIODCUT, D.PERIODCUT) &&
         C.ORDERBOUND == D.ORDERBOUND && C.ESTIMATES == D.ESTIMATES;
}

bool HASCUT(const TVARIANT& V, TCUTOPTION O) {
  switch (O) {
    case TCUTOPTION::THRESHOLD:
    case TCUTOPTION::ESTIMATES:
      return V.HASAMPTEST;
    case TCUTOPTION::PERIODCUT:
      return V.SELECT != TSELECT::ALLTERMS;
    case TCUTOPTION::MAXORDER:
      return V.ORDERFILTER;
    case TCUTOPTION::ORDERBOUND:
      return V.HASAMPTEST && !V.ORDERFILTER;
  }
  return false;
}

bool SETCUT(TCUTS& C, TCUTOPTION O, std::string_view VALUE, std::string& WHY) {
  if (O == TCUTOPTION::ESTIMATES) {
    C.ESTIMATES = true;
    return true;
  }
  if (O == TCUTOPTION::MAXORDER || O == TCUTOPTION::ORDERBOUND) {
    long long N;
    if (!READINT(VALUE, N)) {
      WHY = NUMBERSHAPE(VALUE) == VALUE.size() && !VALUE.empty() ? "is not a whole number" : "is not a number";
      return false;
    }
    if (N < -128 || N > MAXORDERBOUND) {
      WHY = "is outside -128.." + std::to_string(MAXORDERBOUND);
      return false;
    }
    C.ORDERBOUND = static_cast<int>(N);
    return true;
  }
  TEXTENDED X;
  if (!READVALUE(VALUE, X, WHY)) return false;
  if (EXTSIGNBIT(X)) {
    WHY = "is negative";
    return false;
  }
  if (O == TCUTOPTION::THRESHOLD) {
    C.THRESHOLD = X;
    C.THRESHOLDTEXT = VALUE;
    return true;
  }
  if (X == 0.0_EXT) {
    WHY = "is zero";
    return false;
  }
  TCUTS T = C;
  T.PERIODCUT = X;
  const TEXTENDED Q = T.THRESHOLDFREQUENCY();
  if (!EXTISFINITE(Q) || Q == 0.0_EXT) {
    WHY = std::string("makes the threshold frequency ") + (Q == 0.0_EXT ? "zero" : "infinite");
    return false;
  }
  C.PERIODCUT = X;
  C.PERIODCUTTEXT = VALUE;
  return true;
}

std::string SETTINGSTEXT(const TVARIANT& V, const TCUTS& C, const char* VERSION) {
  std::string T = "pairterms settings\r\nprogram " + std::string(V.PROGRAM) + "\r\nversion " + VERSION + "\r\n";
  if (HASCUT(V, TCUTOPTION::THRESHOLD)) T += "threshold " + C.THRESHOLDTEXT + "\r\n";
  if (HASCUT(V, TCUTOPTION::PERIODCUT)) T += "period-cut " + C.PERIODCUTTEXT + "\r\n";
  if (HASCUT(V, TCUTOPTION::MAXORDER)) T += "max-order " + std::to_string(C.ORDERBOUND) + "\r\n";
  if (HASCUT(V, TCUTOPTION::ORDERBOUND)) T += "order-bound " + std::to_string(C.ORDERBOUND) + "\r\n";
  if (C.ESTIMATES) T += "estimates yes\r\n";
  return T;
}

std::string SETTINGSNAME(const TVARIANT& V) { return std::string(V.PREFIX) + ".settings"; }

void WRITESETTINGS(const TVARIANT& V, const TCUTS& C, const char* VERSION, int DIRFD) {
  const std::string NAME = SETTINGSNAME(V);
  if (ISDEFAULT(V, C)) {
    if (::unlinkat(DIRFD, NAME.c_str(), 0) != 0 && errno != ENOENT) IOERRNO(errno, ACCESSTEXT, "cannot remove " + NAME);
    return;
  }
  const int F = OUTPUTOF(OPENFILE(DIRFD, NAME.c_str(), OUTPUTFLAGS, OUTPUTMODE), NAME, nullptr, DIRFD);
  const std::string T = SETTINGSTEXT(V, C, VERSION);
  for (size_t DONE = 0; DONE < T.size();) {
    const ssize_t W = WRITEWAIT(F, T.data() + DONE, T.size() - DONE);
    if (W <= 0) {
      const int E = W < 0 ? errno : EIO;
      ::close(F);
      IOERRNO(E, WRITEERRTEXT, "cannot write " + NAME);
    }
    DONE += static_cast<size_t>(W);
  }
  if (::close(F) != 0) IOERRNO(errno, WRITEERRTEXT, "cannot close " + NAME);
}
