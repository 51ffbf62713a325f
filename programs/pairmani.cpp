// pairmani: the MANIFEST and the SHA-256 of the series (see pairmani.hpp).
#include "pairmani.hpp"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>

#include "unforstr.hpp"
#include "unserdir.hpp"

std::string PLATFORMTEXT() {
  utsname U{};
  std::string MACHINE = ::uname(&U) == 0 ? U.machine : "unknown";
#if PAIRTERMS_SOFT_EXTENDED
  const char* TYPE = "software 80-bit extended";
#else
  const char* TYPE = "x87 long double";
#endif
  return MACHINE + " linux, extended type " + TYPE;
}

std::string MANIFESTTEXT(const TMANIFEST& M) {
  std::string T = "pairterms " + M.VERSION + "\r\nplatform " + M.PLATFORM + "\r\nsettings ";
  for (size_t X = 0; X < M.SETTINGS.size(); ++X)
    T += (X == 0 ? "" : ", ") + M.SETTINGS[X].first + " " + M.SETTINGS[X].second;
  T += "\r\nprograms";
  for (const std::string& P : M.PROGRAMS) T += " " + P;
  T += "\r\nseries " + SHOWTEXT(M.SERIES) + "\r\n";
  for (size_t N = 0; N < M.HASHES.size(); ++N) T += M.HASHES[N] + "  " + SERIESNAME(static_cast<int>(N) + 1) + "\r\n";
  for (const auto& [NAME, BYTES] : M.SIZES) T += "size " + std::to_string(BYTES) + " " + NAME + "\r\n";
  return T;
}

namespace {

// The text of a series folder as the manifest escapes it, back.
std::string UNESCAPE(const std::string& S) {
  std::string R;
  for (size_t X = 0; X < S.size(); ++X) {
    if (S[X] != '\\' || X + 1 >= S.size()) {
      R += S[X];
      continue;
    }
    const char C = S[++X];
    if (C == 'n') R += '\n';
    else if (C == 't') R += '\t';
    else if (C == 'r') R += '\r';
    else if (C == 'x' && X + 2 < S.size() + 0) {
      R += static_cast<char>(std::stoi(S.substr(X + 1, 2), nullptr, 16));
      X += 2;
    } else R += C;
  }
  return R;
}

bool STARTS(const std::string& L, const std::string& P) { return L.rfind(P, 0) == 0; }

}  // namespace

bool READMANIFEST(const std::string& TEXT, TMANIFEST& M, std::string& WHY) {
  std::istringstream IN(TEXT);
  std::string L;
  int LINE = 0;
  M = TMANIFEST{};
  while (std::getline(IN, L)) {
    ++LINE;
    if (!L.empty() && L.back() == '\r') L.pop_back();
    if (LINE == 1) {
      if (!STARTS(L, "pairterms ")) {
        WHY = "its first line does not begin with 'pairterms '";
        return false;
      }
      M.VERSION = L.substr(10);
    } else if (STARTS(L, "platform ")) {
      M.PLATFORM = L.substr(9);
    } else if (STARTS(L, "settings ")) {
      std::istringstream S(L.substr(9));
      for (std::string ITEM; std::getline(S, ITEM, ',');) {
        while (!ITEM.empty() && ITEM[0] == ' ') ITEM.erase(0, 1);
        const size_t B = ITEM.find(' ');
        if (B == std::string::npos) continue;
        M.SETTINGS.emplace_back(ITEM.substr(0, B), ITEM.substr(B + 1));
      }
    } else if (STARTS(L, "programs ")) {
      std::istringstream S(L.substr(9));
      for (std::string P; S >> P;) M.PROGRAMS.push_back(P);
    } else if (STARTS(L, "series ")) {
      M.SERIES = UNESCAPE(L.substr(7));
    } else if (STARTS(L, "size ")) {
      std::istringstream S(L.substr(5));
      uint64_t B = 0;
      std::string NAME;
      if (!(S >> B >> NAME)) {
        WHY = "line " + std::to_string(LINE) + " is not 'size BYTES NAME'";
        return false;
      }
      M.SIZES.emplace_back(NAME, B);
    } else if (L.size() > 66 && L.compare(64, 2, "  ") == 0) {
      M.HASHES.push_back(L.substr(0, 64));
    }
  }
  if (M.HASHES.size() != NUMSERIES || M.PROGRAMS.empty()) {
    WHY = "it names " + std::to_string(M.HASHES.size()) + " series files and " + std::to_string(M.PROGRAMS.size()) +
          " programs";
    return false;
  }
  return true;
}

bool SHA256OFFILE(int DIRFD, const std::string& NAME, std::string& HEX, std::string& WHY) {
  const int F = ::openat(DIRFD, NAME.c_str(), O_RDONLY | O_CLOEXEC);
  if (F < 0) {
    WHY = std::strerror(errno);
    return false;
  }
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> C(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  bool OK = C != nullptr && EVP_DigestInit_ex(C.get(), EVP_sha256(), nullptr) == 1;
  std::unique_ptr<unsigned char[]> B(new unsigned char[1 << 20]);
  for (ssize_t N; OK && (N = ::read(F, B.get(), 1 << 20)) != 0;) {
    if (N < 0) {
      if (errno == EINTR) continue;
      WHY = std::strerror(errno);
      OK = false;
      break;
    }
    OK = EVP_DigestUpdate(C.get(), B.get(), static_cast<size_t>(N)) == 1;
  }
  ::close(F);
  unsigned char D[EVP_MAX_MD_SIZE];
  unsigned LEN = 0;
  if (!OK || EVP_DigestFinal_ex(C.get(), D, &LEN) != 1) {
    if (WHY.empty()) WHY = "the digest failed";
    return false;
  }
  static const char HEXDIGITS[] = "0123456789abcdef";
  HEX.clear();
  for (unsigned X = 0; X < LEN; ++X) {
    HEX += HEXDIGITS[D[X] >> 4];
    HEX += HEXDIGITS[D[X] & 15];
  }
  return true;
}
