#include "harness.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TSCRATCH::TSCRATCH() {
  std::string T = (fs::temp_directory_path() / "pairterms-e2e-XXXXXX").string();
  if (::mkdtemp(T.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  DIR = T;
}

TSCRATCH::~TSCRATCH() {
  std::error_code E;
  // Folders made read-only by a test are made writable again first (not
  // what a symbolic link leads to).
  for (auto& P : fs::recursive_directory_iterator(DIR, E))
    if (!P.is_symlink(E)) fs::permissions(P.path(), fs::perms::owner_all, fs::perm_options::add, E);
  fs::remove_all(DIR, E);
}

std::vector<std::string> TRUN::LINES() const { return SPLITLINES(OUT); }

bool EMULATED() { return PAIRTERMS_EMULATOR[0] != '\0'; }
std::string LAUNCHER() { return EMULATED() ? PAIRTERMS_EMULATOR " " : ""; }
std::string PROGRAM(const std::string& NAME) { return LAUNCHER() + PAIRTERMS_BIN_DIR + "/" + NAME; }
std::string TOOL(const std::string& NAME) { return LAUNCHER() + PAIRTERMS_TOOLS_DIR + "/" + NAME; }
std::string DATADIR() { return PAIRTERMS_DATA_DIR; }

std::string READFILE(const std::string& PATH) {
  std::ifstream IN(PATH, std::ios::binary);
  if (!IN) throw std::runtime_error("cannot read " + PATH);
  std::ostringstream S;
  S << IN.rdbuf();
  return S.str();
}

void WRITEFILE(const std::string& PATH, const std::string& BYTES) {
  std::ofstream OUT(PATH, std::ios::binary | std::ios::trunc);
  OUT << BYTES;
  if (!OUT) throw std::runtime_error("cannot write " + PATH);
}

bool EXISTS(const std::string& PATH) {
  std::error_code E;
  return fs::exists(fs::symlink_status(PATH, E));
}

std::vector<std::string> LISTDIR(const std::string& DIR) {
  std::vector<std::string> N;
  for (auto& P : fs::directory_iterator(DIR)) N.push_back(P.path().filename().string());
  std::sort(N.begin(), N.end());
  return N;
}

std::vector<std::string> SPLITLINES(const std::string& B) {
  std::vector<std::string> L;
  size_t P = 0;
  while (P < B.size()) {
    size_t E = B.find("\r\n", P);
    if (E == std::string::npos) {
      L.push_back(B.substr(P));
      break;
    }
    L.push_back(B.substr(P, E - P));
    P = E + 2;
  }
  return L;
}

TRUN RUN(const std::string& DIR, const std::string& CMD) {
  TSCRATCH CAP;
  const std::string OUTF = CAP.FILE("out"), ERRF = CAP.FILE("err");
  pid_t PID = ::fork();
  if (PID < 0) throw std::runtime_error("fork failed");
  if (PID == 0) {
    if (::chdir(DIR.c_str()) != 0) _exit(126);
    if (!std::freopen("/dev/null", "r", stdin)) _exit(126);
    if (!std::freopen(OUTF.c_str(), "w", stdout)) _exit(126);
    if (!std::freopen(ERRF.c_str(), "w", stderr)) _exit(126);
    // Nothing but the three standard streams is passed on (a test may
    // limit the number of descriptors).
    ::close_range(3, ~0U, 0);
    ::execl("/bin/sh", "sh", "-c", CMD.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int ST = 0;
  while (::waitpid(PID, &ST, 0) < 0) {
  }
  TRUN R;
  R.STATUS = WIFEXITED(ST) ? WEXITSTATUS(ST) : 128 + WTERMSIG(ST);
  R.OUT = READFILE(OUTF);
  R.ERR = READFILE(ERRF);
  return R;
}

void WRITESERIES(const std::string& DIR, int N, const std::vector<std::string>& TERMS, long COUNT) {
  char NAME[16];
  std::snprintf(NAME, sizeof NAME, "puf%02d.txt", N);
  char CNT[32];
  std::snprintf(CNT, sizeof CNT, "%8ld", COUNT < 0 ? static_cast<long>(TERMS.size()) : COUNT);
  std::string S = "series " + std::to_string(N) + ", test data\r\n" + CNT + "\r\n" +
                  "      amplitude            mec(1..6)                mar(1..6)        code\r\n";
  for (const std::string& T : TERMS) S += T + "\r\n";
  WRITEFILE(DIR + "/" + NAME, S);
}

void WRITEEMPTYSERIES(const std::string& DIR) {
  for (int N = 1; N <= 27; ++N) WRITESERIES(DIR, N, {});
}

std::string TERMLINE(const std::string& AMP, const std::vector<int>& MEC, const std::vector<int>& MAR,
                     char CODE) {
  std::string S = AMP;
  char B[8];
  for (int V : MEC) {
    std::snprintf(B, sizeof B, "%4d", V);
    S += B;
  }
  for (int V : MAR) {
    std::snprintf(B, sizeof B, "%4d", V);
    S += B;
  }
  S += "  ";
  S += CODE;
  return S;
}

std::string FMT(const char* F, ...) {
  char B[256];
  va_list A;
  va_start(A, F);
  std::vsnprintf(B, sizeof B, F, A);
  va_end(A);
  return B;
}

const char* const NAMES[9] = {"",           "     Mercury", "       Venus", "  Earth-Moon", "        Mars",
                              "     Jupiter", "      Saturn", "      Uranus", "     Neptune"};

std::vector<const char*> TERMPROGRAMS() {
  std::vector<const char*> R;
  for (const TVARIANT& V : PROGRAMTABLE) R.push_back(V.PROGRAM);
  return R;
}

std::vector<const char*> TERMPREFIXES() {
  std::vector<const char*> R;
  for (const TVARIANT& V : PROGRAMTABLE) R.push_back(V.PREFIX);
  return R;
}

int TCHILD::STATUS() const {
  int ST = 0;
  while (::waitpid(PID, &ST, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(ST) ? WEXITSTATUS(ST) : 128 + WTERMSIG(ST);
}

TCHILD STARTSHELL(const std::string& DIR, const std::string& SHELLCOMMAND, int OUT, const std::string& ERRFILE) {
  TCHILD C;
  C.PID = ::fork();
  if (C.PID == 0) {
    const int ERR = ::open(ERRFILE.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int IN = ::open("/dev/null", O_RDONLY);
    if (::chdir(DIR.c_str()) != 0 || ERR < 0 || IN < 0 || ::dup2(OUT, 1) < 0 || ::dup2(ERR, 2) < 0 ||
        ::dup2(IN, 0) < 0)
      ::_exit(126);
    ::execl("/bin/sh", "sh", "-c", SHELLCOMMAND.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return C;
}

std::string DRAIN(int FD) {
  const int FL = ::fcntl(FD, F_GETFL);
  ::fcntl(FD, F_SETFL, FL & ~O_NONBLOCK);
  std::string S;
  char B[65536];
  for (;;) {
    const ssize_t N = ::read(FD, B, sizeof B);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) return S;
    S.append(B, static_cast<size_t>(N));
  }
}
