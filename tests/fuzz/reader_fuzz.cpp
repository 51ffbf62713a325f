// Fuzz target of the series reader: the input bytes are a series file.
//
// Each input is written to puf01.txt in a private folder and read three
// ways: by REATXTONE, by TSERIESREADER term by term with the amplitude
// texts, and by a plain reference reader of the documented layout (below,
// written from the description in unrowtxt.hpp, not from its code). The
// three must agree: the same failure kind, or the same count and the same
// terms bit for bit. A fourth reading keeps its defects and goes on to the
// end of the file: its first defect must be REATXTONE's failure. The file is read a second time with a long line 1 in
// front, so that the end of the reader's buffer falls inside the input.
// Every number token of the input also goes through READREAL,
// READREALEXACT and READINT, checked against each other and against a
// reference parse. Any disagreement aborts with a description.
#include <fcntl.h>
#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "unallvar.hpp"
#include "unfatal.hpp"
#include "unforstr.hpp"
#include "unreanum.hpp"
#include "unrowini.hpp"
#include "unrowtxt.hpp"

// ---------------------------------------------------------------------------
// The reader takes a fresh 256 KiB buffer for each file (its BUFSIZE).
// Under the address sanitizer a block of that size is a mapping of its
// own, made and dropped each time, and faulting its pages in again costs
// more than all the rest of an input. Array blocks of that size are kept for the next file
// instead, poisoned while unused, so that a use after release still shows.

namespace {
constexpr size_t KEPTSIZE = size_t{1} << 18;
constexpr int KEPTMAX = 4;
void* KEPT[KEPTMAX];
int KEPTCOUNT = 0;
}  // namespace

void* operator new[](std::size_t N) {
  if (N == KEPTSIZE && KEPTCOUNT > 0) {
    void* P = KEPT[--KEPTCOUNT];
    ASAN_UNPOISON_MEMORY_REGION(P, N);
    return P;
  }
  void* P = std::malloc(N != 0 ? N : 1);
  if (P == nullptr) throw std::bad_alloc();
  return P;
}

void operator delete[](void* P) noexcept {
  if (P != nullptr && KEPTCOUNT < KEPTMAX &&
      __sanitizer_get_allocated_size(P) == KEPTSIZE) {
    ASAN_POISON_MEMORY_REGION(P, KEPTSIZE);
    KEPT[KEPTCOUNT++] = P;
    return;
  }
  std::free(P);
}

void operator delete[](void* P, std::size_t) noexcept { operator delete[](P); }

namespace {

// ---------------------------------------------------------------------------
// Reporting

std::string SHOW(std::string_view S, size_t MAX = 60) {
  std::string R;
  for (size_t I = 0; I < S.size() && I < MAX; ++I) {
    unsigned char C = static_cast<unsigned char>(S[I]);
    if (C >= 32 && C < 127 && C != '\\') {
      R += static_cast<char>(C);
    } else {
      char B[8];
      std::snprintf(B, sizeof B, "\\x%02X", C);
      R += B;
    }
  }
  if (S.size() > MAX) R += "...(" + std::to_string(S.size()) + " bytes)";
  return R;
}

std::string HEX(TEXTENDED V) {
  unsigned char B[10];
  std::memcpy(B, &V, 10);
  char T[40];
  std::snprintf(T, sizeof T, "%02X%02X:%02X%02X%02X%02X%02X%02X%02X%02X", B[9],
                B[8], B[7], B[6], B[5], B[4], B[3], B[2], B[1], B[0]);
  char L[64];
  std::snprintf(L, sizeof L, " (%.21Lg)", V);
  return std::string(T) + L;
}

[[noreturn]] void FINDING(const std::string& WHAT) {
  std::fprintf(stderr, "\n==== reader_fuzz finding: %s\n", WHAT.c_str());
  std::fflush(stderr);
  std::abort();
}

bool SAMEBITS(TEXTENDED A, TEXTENDED B) { return std::memcmp(&A, &B, 10) == 0; }

// ---------------------------------------------------------------------------
// The reference reader

const char* const KNOWNKINDS[] = {RANGETEXT,    NUMFORMTEXT, PASTENDTEXT,
                                  TERMCODETEXT, ACCESSTEXT,  READERRTEXT,
                                  MEMORYTEXT};

bool ISDIGIT(unsigned char C) { return C >= '0' && C <= '9'; }

// An integer field: optional sign, at least one digit; the value, capped
// at 2^62 in magnitude.
bool REFINT(std::string_view F, long long& V) {
  size_t I = 0;
  bool NEG = false;
  if (I < F.size() && (F[I] == '+' || F[I] == '-')) NEG = F[I++] == '-';
  if (I == F.size()) return false;
  constexpr unsigned __int128 CAP = static_cast<unsigned __int128>(1) << 62;
  unsigned __int128 X = 0;
  for (; I < F.size(); ++I) {
    if (!ISDIGIT(static_cast<unsigned char>(F[I]))) return false;
    X = X * 10 + static_cast<unsigned>(F[I] - '0');
    if (X > CAP) X = CAP;
  }
  V = NEG ? -static_cast<long long>(X) : static_cast<long long>(X);
  return true;
}

// A real field: optional sign, digits with at most one point (at least one
// digit), optional exponent letter with optional sign and digits; the
// nearest extended value through the C library; false on overflow.
bool REFREAL(std::string_view F, TEXTENDED& V) {
  size_t I = 0;
  if (I < F.size() && (F[I] == '+' || F[I] == '-')) ++I;
  size_t NDIG = 0;
  while (I < F.size() && ISDIGIT(static_cast<unsigned char>(F[I]))) ++I, ++NDIG;
  if (I < F.size() && F[I] == '.') {
    ++I;
    while (I < F.size() && ISDIGIT(static_cast<unsigned char>(F[I]))) ++I, ++NDIG;
  }
  if (NDIG == 0) return false;
  if (I < F.size() && (F[I] == 'e' || F[I] == 'E')) {
    ++I;
    if (I < F.size() && (F[I] == '+' || F[I] == '-')) ++I;
    size_t B = I;
    while (I < F.size() && ISDIGIT(static_cast<unsigned char>(F[I]))) ++I;
    if (I == B) return false;
  }
  if (I != F.size()) return false;
  std::string Z(F);
  char* END = nullptr;
  TEXTENDED X = std::strtold(Z.c_str(), &END);
  if (END != Z.c_str() + Z.size()) FINDING("harness: strtold stopped early in " + SHOW(F));
  if (!std::isfinite(X)) return false;
  V = X;
  return true;
}

struct TREFTERM {
  TEXTENDED AMP;
  long long MEC[6], MAR[6];
  char FCS;
  long LINE;  // line of the amplitude
};

struct TREFRESULT {
  std::string KIND;  // empty when the file reads
  long long M = 0;
  std::vector<TREFTERM> TERMS;
};

TREFRESULT REFREAD(const unsigned char* D, size_t N) {
  TREFRESULT R;
  // Character 26 ends the file.
  const void* Z = std::memchr(D, 26, N);
  const size_t E = Z ? static_cast<size_t>(static_cast<const unsigned char*>(Z) - D) : N;
  size_t P = 0;
  long LINE = 1;
  auto LINEEND = [&](size_t Q) {
    return Q < E && (D[Q] == '\n' || (D[Q] == '\r' && Q + 1 < E && D[Q + 1] == '\n'));
  };
  auto SKIPLINE = [&] {
    while (P < E && D[P] != '\n') ++P;
    if (P < E) ++P, ++LINE;
  };
  auto SKIPSEP = [&] {
    while (P < E && D[P] <= 32) {
      if (D[P] == '\n') ++LINE;
      ++P;
    }
  };
  auto FIELD = [&] {
    size_t Q = P;
    while (P < E && D[P] > 32) ++P;
    return std::string_view(reinterpret_cast<const char*>(D) + Q, P - Q);
  };

  SKIPLINE();
  while (P < E && D[P] <= 32 && !LINEEND(P)) ++P;
  if (P >= E || D[P] <= 32) {
    R.KIND = PASTENDTEXT;
    return R;
  }
  long long V;
  if (!REFINT(FIELD(), V)) {
    R.KIND = NUMFORMTEXT;
    return R;
  }
  if (V < 0 || V > MAXARR) {
    R.KIND = RANGETEXT;
    return R;
  }
  R.M = V;
  SKIPLINE();
  SKIPLINE();
  for (long long K = 1; K <= R.M; ++K) {
    TREFTERM T{};
    SKIPSEP();
    if (P >= E) {
      R.KIND = PASTENDTEXT;
      return R;
    }
    T.LINE = LINE;
    if (!REFREAL(FIELD(), T.AMP)) {
      R.KIND = NUMFORMTEXT;
      return R;
    }
    for (int I = 0; I < 12; ++I) {
      SKIPSEP();
      if (P >= E) {
        R.KIND = PASTENDTEXT;
        return R;
      }
      if (!REFINT(FIELD(), V)) {
        R.KIND = NUMFORMTEXT;
        return R;
      }
      if (V < -128 || V > 127) {
        R.KIND = RANGETEXT;
        return R;
      }
      (I < 6 ? T.MEC[I] : T.MAR[I - 6]) = V;
    }
    for (int I = 0; I < 2; ++I) {
      if (P >= E) {
        R.KIND = PASTENDTEXT;
        return R;
      }
      if (LINEEND(P)) break;
      ++P;
    }
    if (P >= E) {
      R.KIND = PASTENDTEXT;
      return R;
    }
    if (D[P] != 'S' && D[P] != 'C') {
      R.KIND = TERMCODETEXT;
      return R;
    }
    T.FCS = static_cast<char>(D[P]);
    ++P;
    SKIPLINE();
    R.TERMS.push_back(T);
  }
  return R;
}

// ---------------------------------------------------------------------------
// The number readers on every token

void CHECKTOKEN(std::string_view T) {
  TEXTENDED A = 0.0L, B = 0.0L, C = 0.0L;
  // Sized as the reader's amplitude text, so that a longer write shows.
  std::unique_ptr<char[]> DIG(new char[sizeof(TAMPTEXT::C)]);
  int DLEN = -1;
  const bool RA = READREAL(T, A, DIG.get(), &DLEN);
  const bool RB = READREALEXACT(T, B);
  const bool RC = REFREAL(T, C);
  if (RA != RB || RA != RC)
    FINDING("READREAL " + std::to_string(RA) + ", READREALEXACT " +
            std::to_string(RB) + ", reference " + std::to_string(RC) +
            " on \"" + SHOW(T) + "\"");
  if (!RA) {
    if (DLEN != 0)
      FINDING("READREAL refused \"" + SHOW(T) + "\" but DIGITSLEN is " +
              std::to_string(DLEN));
  } else {
    if (!SAMEBITS(A, B) || !SAMEBITS(A, C))
      FINDING("\"" + SHOW(T) + "\": READREAL " + HEX(A) + ", READREALEXACT " +
              HEX(B) + ", reference " + HEX(C));
    if (DLEN < 0 || DLEN > static_cast<int>(sizeof(TAMPTEXT::C)))
      FINDING("\"" + SHOW(T) + "\": DIGITSLEN " + std::to_string(DLEN));
    if (DLEN > 0) {
      if (!(A == 0.0L || std::isnormal(A)))
        FINDING("\"" + SHOW(T) + "\": digit text for a value that is not normal");
      std::unique_ptr<char[]> W(new char[32]);
      int WLEN = AMPDIGITS(std::fabs(A), W.get());
      std::string_view GOT(DIG.get(), static_cast<size_t>(DLEN));
      std::string_view WANT(W.get(), static_cast<size_t>(WLEN));
      if (GOT != WANT)
        FINDING("\"" + SHOW(T) + "\": READREAL digits \"" + std::string(GOT) +
                "\", AMPDIGITS \"" + std::string(WANT) + "\"");
    }
  }
  long long IA = 0, IB = 0;
  const bool JA = READINT(T, IA);
  const bool JB = REFINT(T, IB);
  if (JA != JB || (JA && IA != IB))
    FINDING("READINT " + std::to_string(JA) + " " + std::to_string(IA) +
            ", reference " + std::to_string(JB) + " " + std::to_string(IB) +
            " on \"" + SHOW(T) + "\"");
}

// ---------------------------------------------------------------------------
// The file

std::string FOLDER;
TROWPTR TABLE = nullptr;

void REMOVEFOLDER() {
  if (FOLDER.empty()) return;
  ::unlink((FOLDER + "/puf01.txt").c_str());
  ::rmdir(FOLDER.c_str());
}

void SETUP() {
  const char* BASE = std::getenv("PAIRTERMS_FUZZ_TMP");
  std::string B = BASE && *BASE ? BASE : "";
  if (B.empty()) {
    struct stat ST;
    B = ::stat("/dev/shm", &ST) == 0 && S_ISDIR(ST.st_mode) && ::access("/dev/shm", W_OK) == 0
            ? "/dev/shm"
            : "/tmp";
  }
  std::string T = B + "/reader_fuzz.XXXXXX";
  std::vector<char> P(T.begin(), T.end());
  P.push_back('\0');
  if (::mkdtemp(P.data()) == nullptr) {
    std::perror("reader_fuzz: mkdtemp");
    std::exit(2);
  }
  FOLDER = P.data();
  std::atexit(REMOVEFOLDER);
  SETFATALTHROWS(true);
  RECNULLO();
  TABLE = new TROWDIM;
}

// Writes the file: FILLER bytes 'x' (a longer line 1, which the reader
// skips), then the input.
void WRITEINPUT(const uint8_t* D, size_t N, size_t FILLER) {
  static const std::string XS(KEPTSIZE, 'x');
  std::string NAME = FOLDER + "/puf01.txt";
  int F = ::open(NAME.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (F < 0) FINDING("harness: cannot write " + NAME + ": " + std::strerror(errno));
  auto PUT = [&](const void* B, size_t L) {
    size_t DONE = 0;
    while (DONE < L) {
      ssize_t W = ::write(F, static_cast<const char*>(B) + DONE, L - DONE);
      if (W < 0 && errno == EINTR) continue;
      if (W <= 0) FINDING("harness: cannot write " + NAME + ": " + std::strerror(errno));
      DONE += static_cast<size_t>(W);
    }
  };
  PUT(XS.data(), FILLER);
  PUT(D, N);
  ::close(F);
}

bool KNOWNKIND(const std::string& K) {
  for (const char* T : KNOWNKINDS)
    if (K == T) return true;
  return false;
}

// REATXTONE: the failure kind and report, or empty and M.
std::string RUNREATXTONE(int32_t& M, std::string& REPORT) {
  M = -1;
  try {
    REATXTONE(1, FOLDER + "/puf", M, TABLE);
  } catch (const TFATAL& X) {
    REPORT = X.REPORT;
    if (!KNOWNKIND(X.KIND)) FINDING("REATXTONE: unexpected failure kind: " + X.REPORT);
    if (X.REPORT.find(X.KIND) == std::string::npos)
      FINDING("REATXTONE: the report does not name its kind: " + X.REPORT);
    return X.KIND;
  } catch (const std::exception& X) {
    FINDING(std::string("REATXTONE: exception ") + X.what());
  } catch (...) {
    FINDING("REATXTONE: unknown exception");
  }
  return "";
}

// TSERIESREADER term by term, with the amplitude texts.
std::string RUNTERMS(std::vector<TROWVAR>& ROWS, std::vector<std::string>& TEXTS,
                     std::vector<long>& LINES) {
  try {
    TSERIESREADER IN(FOLDER + "/puf01.txt");
    int32_t M = IN.READCOUNT();
    for (int32_t K = 1; K <= M; ++K) {
      TROWVAR R = RECNUL;
      TAMPTEXT T{};
      T.LEN = 255;
      IN.READTERM(R, &T);
      if (T.LEN == 0 || T.LEN > sizeof T.C)
        FINDING("READTERM: amplitude text length " + std::to_string(T.LEN) +
                " at term " + std::to_string(K));
      ROWS.push_back(R);
      TEXTS.emplace_back(T.C, T.LEN);
      LINES.push_back(IN.TERMLINE());
    }
    IN.CLOSE();
  } catch (const TFATAL& X) {
    if (!KNOWNKIND(X.KIND)) FINDING("TSERIESREADER: unexpected failure kind: " + X.REPORT);
    return X.KIND;
  } catch (const std::exception& X) {
    FINDING(std::string("TSERIESREADER: exception ") + X.what());
  } catch (...) {
    FINDING("TSERIESREADER: unknown exception");
  }
  return "";
}

// The file of the input after FILLER filler bytes, through REATXTONE and
// TSERIESREADER, against the reference reading REF of the input.
void RUNKEPT(const std::string& KIND, const std::string& REPORT, const std::string& WITH);

void CHECKFILE(const uint8_t* D, size_t N, size_t FILLER, const TREFRESULT& REF) {
  WRITEINPUT(D, N, FILLER);
  const std::string WITH =
      FILLER == 0 ? "" : " (after " + std::to_string(FILLER) + " filler bytes on line 1)";
  const std::string WANT = REF.KIND.empty() ? "the terms" : REF.KIND;

  int32_t M = -1;
  std::string REPORT;
  const std::string KIND = RUNREATXTONE(M, REPORT);
  RUNKEPT(KIND, REPORT, WITH);
  if (KIND != REF.KIND)
    FINDING("REATXTONE gives " + (KIND.empty() ? "the terms" : KIND) +
            ", the layout gives " + WANT + WITH);
  if (KIND.empty()) {
    if (M < 0 || M > MAXARR) FINDING("REATXTONE: count " + std::to_string(M) + WITH);
    if (M != REF.M)
      FINDING("REATXTONE: count " + std::to_string(M) + ", line 2 states " +
              std::to_string(REF.M) + WITH);
    for (int32_t K = 1; K <= M; ++K) {
      const TROWVAR& R = (*TABLE)[K];
      const TREFTERM& T = REF.TERMS[static_cast<size_t>(K - 1)];
      const std::string AT = "REATXTONE" + WITH + ": term " + std::to_string(K) + ": ";
      if (!std::isfinite(R.AMP)) FINDING(AT + "amplitude not finite " + HEX(R.AMP));
      if (!SAMEBITS(R.AMP, T.AMP))
        FINDING(AT + "amplitude " + HEX(R.AMP) + ", the text gives " + HEX(T.AMP));
      if (R.FCS != 'S' && R.FCS != 'C') FINDING(AT + "code " + std::to_string(R.FCS));
      if (R.FCS != T.FCS) FINDING(AT + "code " + std::string(1, R.FCS));
      if (R.NPA != 0 || R.NPB != 0) FINDING(AT + "planets not 0");
      if (R.TXT != K - 1) FINDING(AT + "TXT " + std::to_string(R.TXT));
      for (int I = 1; I <= 6; ++I) {
        if (R.MEC[I] != T.MEC[I - 1])
          FINDING(AT + "MEC[" + std::to_string(I) + "] " + std::to_string(R.MEC[I]));
        if (R.MAR[I] != T.MAR[I - 1])
          FINDING(AT + "MAR[" + std::to_string(I) + "] " + std::to_string(R.MAR[I]));
      }
    }
  }

  // The reader term by term, for a file that reads: the same terms, their
  // amplitude texts and lines.
  if (!KIND.empty()) return;
  std::vector<TROWVAR> ROWS;
  std::vector<std::string> TEXTS;
  std::vector<long> LINES;
  const std::string KIND2 = RUNTERMS(ROWS, TEXTS, LINES);
  if (KIND2 != REF.KIND)
    FINDING("TSERIESREADER gives " + (KIND2.empty() ? "the terms" : KIND2) +
            ", the layout gives " + WANT + WITH);
  if (ROWS.size() != REF.TERMS.size())
    FINDING("TSERIESREADER: " + std::to_string(ROWS.size()) + " terms, line 2 states " +
            std::to_string(REF.M) + WITH);
  for (size_t K = 0; K < ROWS.size(); ++K) {
    const std::string AT = "TSERIESREADER" + WITH + ": term " + std::to_string(K + 1) + ": ";
    if (!SAMEBITS(ROWS[K].AMP, REF.TERMS[K].AMP))
      FINDING(AT + "amplitude " + HEX(ROWS[K].AMP));
    char W[32];
    int WLEN = AMPDIGITS(std::fabs(ROWS[K].AMP), W);
    if (TEXTS[K] != std::string(W, static_cast<size_t>(WLEN)))
      FINDING(AT + "amplitude text \"" + TEXTS[K] + "\", AMPDIGITS gives \"" +
              std::string(W, static_cast<size_t>(WLEN)) + "\"");
    if (LINES[K] != REF.TERMS[K].LINE)
      FINDING(AT + "line " + std::to_string(LINES[K]) + ", the amplitude stands on line " +
              std::to_string(REF.TERMS[K].LINE));
  }
}

// The reader that keeps its defects, to the end of the file: its first
// defect is the failure of REATXTONE, of the same kind and at the line the
// report names, and nothing but defects is thrown.
void RUNKEPT(const std::string& KIND, const std::string& REPORT, const std::string& WITH) {
  struct TSINK {
    std::string KIND;
    long LINE = 0;
    void DEFECT(const TSERIESDEFECT& D, bool) {
      if (KIND.empty()) KIND = D.KIND, LINE = D.LINE;
      if (D.LINE < 0 || D.COLUMN < 0) FINDING("kept defect at line " + std::to_string(D.LINE) + " column " +
                                               std::to_string(D.COLUMN));
    }
    void TAKE(const TROWVAR&, long) {}
  } SINK;
  try {
    TSERIESREADER IN(FOLDER + "/puf01.txt", true);
    READKEPTTERMS(IN, SINK);
  } catch (const TSERIESDEFECT& D) {
    SINK.DEFECT(D, false);
  } catch (...) {
    FINDING("kept reading: an exception other than a defect" + WITH);
  }
  if (SINK.KIND != KIND)
    FINDING("kept reading gives " + (SINK.KIND.empty() ? "no defect" : SINK.KIND) + ", REATXTONE " +
            (KIND.empty() ? "the terms" : KIND) + WITH);
  const size_t P = REPORT.find(" line ");
  if (!KIND.empty() && P != std::string::npos && std::atol(REPORT.c_str() + P + 6) != SINK.LINE)
    FINDING("kept reading: first defect at line " + std::to_string(SINK.LINE) + ", " + REPORT + WITH);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* D, size_t N) {
  static bool READY = false;
  if (!READY) {
    SETUP();
    READY = true;
  }
  const TREFRESULT REF = REFREAD(D, N);

  // The input as it is, and once more behind a long line 1 that puts the
  // end of the reader's first buffer (KEPTSIZE bytes) inside the input, at
  // a place that follows from its bytes.
  CHECKFILE(D, N, 0, REF);
  uint32_t H = 2166136261u;
  for (size_t I = 0; I < N; ++I) H = (H ^ D[I]) * 16777619u;
  const size_t AT = H % ((N < KEPTSIZE ? N : KEPTSIZE) + 1);
  CHECKFILE(D, N, KEPTSIZE - AT, REF);

  // Every token through the number readers.
  size_t P = 0;
  while (P < N) {
    while (P < N && D[P] <= 32) ++P;
    size_t Q = P;
    while (P < N && D[P] > 32) ++P;
    if (P > Q) CHECKTOKEN(std::string_view(reinterpret_cast<const char*>(D) + Q, P - Q));
  }
  return 0;
}
