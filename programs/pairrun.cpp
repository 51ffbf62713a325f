// pairrun: pairterms run (see pairrun.hpp). The outputs go into a fresh
// folder beside DIR, ".NAME.pairterms-new-XXXXXX", which takes DIR's place
// in one exchange (renameat2, RENAME_EXCHANGE) when every program asked for
// has finished; the old folder is then removed. A run that fails leaves
// DIR as it was and its outputs in "NAME.failed". Runs into one DIR take
// turns by the lock of ".NAME.pairterms-lock" beside it, a file that lasts
// as long as the run.
#include "pairrun.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

#include "pairmani.hpp"
#include "progopts.hpp"
#include "unfucnt.hpp"
#include "unforstr.hpp"
#include "unserdir.hpp"

#ifndef PAIRTERMS_VERSION
#define PAIRTERMS_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace {

volatile std::sig_atomic_t STOPSIGNAL = 0;
extern "C" void ONSIGNAL(int S) {
  STOPSIGNAL = S;
  std::signal(S, SIG_DFL);  // a second one ends the run at once
}

// Whether DIR holds only what a pairterms run writes (or nothing).
bool OURS(const fs::path& DIR, std::string& OTHER) {
  bool EMPTY = true, MANIFEST = false;
  for (const fs::directory_entry& E : fs::directory_iterator(DIR)) {
    EMPTY = false;
    const std::string N = E.path().filename().string();
    bool KNOWN = N == "MANIFEST" && E.is_regular_file();
    for (const TVARIANT& V : PROGRAMTABLE) KNOWN = KNOWN || (N == V.PROGRAM && E.is_directory());
    if (!KNOWN) {
      OTHER = N;
      return false;
    }
    MANIFEST = MANIFEST || N == "MANIFEST";
  }
  if (!EMPTY && !MANIFEST) OTHER = "no MANIFEST";
  return EMPTY || MANIFEST;
}

// The lock of one DIR: the file PATH, locked by the run and removed before
// it is let go. A run that opened the file before it was removed finds,
// once it holds the lock, that PATH no longer leads to what it holds, and
// tries again, so two runs never hold the lock of one DIR at once.
class TRUNLOCK {
 public:
  explicit TRUNLOCK(fs::path P) : PATH(std::move(P)) {}
  TRUNLOCK(const TRUNLOCK&) = delete;
  TRUNLOCK& operator=(const TRUNLOCK&) = delete;
  ~TRUNLOCK() {
    if (FD < 0) return;
    ::unlink(PATH.c_str());
    ::close(FD);
  }
  // 1 when taken, 0 when another run holds it, -1 on a failure (errno).
  int TAKE() {
    for (;;) {
      const int F = ::open(PATH.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (F < 0) return -1;
      if (::flock(F, LOCK_EX | LOCK_NB) != 0) {
        const int WHY = errno;
        ::close(F);
        errno = WHY;
        return WHY == EWOULDBLOCK ? 0 : -1;
      }
      struct stat HELD, NOW;
      if (::fstat(F, &HELD) == 0 && ::stat(PATH.c_str(), &NOW) == 0 && HELD.st_dev == NOW.st_dev &&
          HELD.st_ino == NOW.st_ino) {
        FD = F;
        return 1;
      }
      ::close(F);
    }
  }

 private:
  fs::path PATH;
  int FD = -1;
};

void WRITETEXT(const fs::path& P, const std::string& TEXT) {
  FILE* F = std::fopen(P.c_str(), "wb");
  if (F == nullptr || std::fwrite(TEXT.data(), 1, TEXT.size(), F) != TEXT.size() || std::fclose(F) != 0)
    throw fs::filesystem_error("cannot write", P, std::error_code(errno, std::generic_category()));
}

// The files of program V's folder in the order a run writes them, and
// their sizes.
void ADDSIZES(TMANIFEST& M, const TVARIANT& V, int DIRFD) {
  std::vector<std::string> NAMES{SETTINGSNAME(V)};
  for (const std::string& N : OUTPUTNAMES(V))
    if (N != TABLENEW(V) && std::find(NAMES.begin(), NAMES.end(), N) == NAMES.end()) NAMES.push_back(N);
  NAMES.push_back("console.txt");
  for (const std::string& N : NAMES) {
    struct stat ST;
    if (::fstatat(DIRFD, N.c_str(), &ST, 0) == 0) M.SIZES.emplace_back(std::string(V.PROGRAM) + "/" + N, ST.st_size);
  }
}

// The new folder NEW takes DIR's place: in one exchange where the system
// can, else (DIR a mount point, a file system without it) by moving its
// entries into DIR one by one after DIR's old ones are removed.
void TAKEPLACE(const fs::path& NEW, const fs::path& DIR) {
  if (::renameat2(AT_FDCWD, NEW.c_str(), AT_FDCWD, DIR.c_str(), fs::exists(DIR) ? RENAME_EXCHANGE : RENAME_NOREPLACE) == 0) {
    fs::remove_all(NEW);  // the old folder, now under the new one's name
    return;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != EBUSY && errno != EXDEV)
    throw fs::filesystem_error("cannot exchange", NEW, DIR, std::error_code(errno, std::generic_category()));
  fs::create_directories(DIR);
  for (const fs::directory_entry& E : fs::directory_iterator(DIR)) fs::remove_all(E.path());
  for (const fs::directory_entry& E : fs::directory_iterator(NEW))
    if (E.path().filename() != "MANIFEST") fs::rename(E.path(), DIR / E.path().filename());
  fs::rename(NEW / "MANIFEST", DIR / "MANIFEST");
  fs::remove(NEW);
}

}  // namespace

int PAIRREFUSE(const std::string& WHY) {
  PUTLINES(stderr, "pairterms: " + WHY + "\n");
  return 2;
}

int PAIRRUN(const TRUNOPTIONS& O) {
  std::string WHY;
  const std::string SERIESDIR = O.SERIES.empty() ? "." : O.SERIES;
  if (!SETSERIESDIR(SERIESDIR, WHY))
    return PAIRREFUSE("cannot use the series folder '" + SHOWTEXT(SERIESDIR) + "': " + WHY);
  std::error_code E;
  const fs::path DIR = fs::absolute(O.OUTPUT, E).lexically_normal();
  const fs::path CLEAN = DIR.filename().empty() ? DIR.parent_path() : DIR;
  const fs::path PARENT = CLEAN.parent_path();
  const std::string NAME = CLEAN.filename().string();
  const std::string SHOWN = QUOTED(O.OUTPUT);
  if (E || NAME.empty() || NAME == "." || NAME == "..") return PAIRREFUSE("cannot use the folder " + SHOWN);
  if (fs::exists(CLEAN, E) && !fs::is_directory(CLEAN, E)) return PAIRREFUSE(SHOWN + " is not a folder");
  // The series folder must not be replaced with DIR.
  const fs::path SERIESREAL = fs::weakly_canonical(SERIESDIRTEXT(), E);
  const fs::path DIRREAL = fs::weakly_canonical(CLEAN, E);
  const std::string S = SERIESREAL.string() + "/", D = DIRREAL.string() + "/";
  if (S.rfind(D, 0) == 0) return PAIRREFUSE("the series folder lies inside " + SHOWN + ", which the run replaces");
  if (fs::exists(CLEAN) && !OURS(CLEAN, WHY))
    return PAIRREFUSE(SHOWN + " holds what no pairterms run wrote (" + SHOWTEXT(WHY) +
                      "); give a new or empty folder");
  fs::create_directories(PARENT, E);
  if (E || ::access(PARENT.c_str(), W_OK | X_OK) != 0)
    return PAIRREFUSE("cannot write beside " + SHOWN + ": " + (E ? E.message() : std::strerror(errno)));
  // One run into DIR at a time.
  TRUNLOCK LOCK(PARENT / ("." + NAME + ".pairterms-lock"));
  const int TAKEN = LOCK.TAKE();
  if (TAKEN < 0) return PAIRREFUSE("cannot lock " + SHOWN + ": " + std::strerror(errno));
  if (TAKEN == 0) return PAIRREFUSE("another pairterms run is writing " + SHOWN + "; run again when it has ended");
  // What a killed run left beside DIR goes; then the new folder.
  const std::string STEM = "." + NAME + ".pairterms-new-";
  for (const fs::directory_entry& X : fs::directory_iterator(PARENT, E))
    if (X.path().filename().string().rfind(STEM, 0) == 0) fs::remove_all(X.path(), E);
  std::string TEMPLATE = (PARENT / (STEM + "XXXXXX")).string();
  if (::mkdtemp(TEMPLATE.data()) == nullptr) return PAIRREFUSE("cannot make a folder beside " + SHOWN);
  const fs::path NEW = TEMPLATE;
  // mkdtemp makes it for its owner alone; DIR gets the mode mkdir would give.
  const mode_t MASK = ::umask(0);
  ::umask(MASK);
  (void)::chmod(NEW.c_str(), 0777 & ~MASK);
  std::vector<int> FOLDERS;
  for (const TVARIANT* V : O.PLAN.PROGRAMS) {
    fs::create_directory(NEW / V->PROGRAM);
    FOLDERS.push_back(::open((NEW / V->PROGRAM).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }

  // The series' digests on a thread of their own, beside the pass.
  TMANIFEST M;
  M.HASHES.assign(NUMSERIES, {});
  std::string HASHWHY;
  std::thread HASHER([&M, &HASHWHY] {
    for (int N = 1; N <= NUMSERIES; ++N)
      if (!SHA256OFFILE(SERIESDIRFD(), SERIESNAME(N), M.HASHES[static_cast<size_t>(N) - 1], HASHWHY)) return;
  });
  std::signal(SIGINT, ONSIGNAL);
  std::signal(SIGTERM, ONSIGNAL);
  const bool SHOW = !O.QUIET && ::isatty(STDERR_FILENO) == 1;
  TRUNALL A;
  A.STOP = &STOPSIGNAL;
  if (SHOW)
    A.PROGRESS = [](int PAIRS, uint64_t BYTES) {
      std::fprintf(stderr, "\rpairterms: %2d of 56 pairs, %.1f MB written ", PAIRS, static_cast<double>(BYTES / 100000) / 10);
      std::fflush(stderr);
    };
  TJOB JOB(O.PLAN, FOLDERS, nullptr);
  JOB.MAKE(A, PAIRTERMS_VERSION);
  HASHER.join();
  if (SHOW) std::fputs("\n", stderr);

  // The first failure in the order of the table, and its status.
  int STATUS = 0;
  std::string REPORT;
  for (const std::string& R : A.REPORTS)
    if (!R.empty()) {
      REPORT += R + "\r\n";
      PUTLINES(stderr, R + "\n");
      STATUS = STATUS != 0 ? STATUS : FATALSTATUS;
    }
  if (A.STOPPED) {
    REPORT += std::string("pairterms: stopped by ") + (STOPSIGNAL == SIGINT ? "SIGINT" : "SIGTERM") + "\r\n";
    STATUS = STATUS != 0 ? STATUS : 128 + STOPSIGNAL;
  }
  if (STATUS == 0 && !HASHWHY.empty()) {
    REPORT = "pairterms: cannot read the series files again for their digests: " + HASHWHY + "\r\n";
    PUTLINES(stderr, REPORT.substr(0, REPORT.size() - 2) + "\n");
    STATUS = FATALSTATUS;
  }
  try {
    if (STATUS != 0) {
      WRITETEXT(NEW / "REPORT", REPORT);
      const fs::path FAILED = PARENT / (NAME + ".failed");
      if (fs::exists(FAILED) && fs::exists(FAILED / "REPORT")) fs::remove_all(FAILED);
      fs::rename(NEW, FAILED);
      PUTLINES(stderr, "pairterms: the run failed; " + SHOWN + " is as it was, and what the run made is in '" +
                           SHOWTEXT(FAILED.string()) + "'\n");
      return STATUS;
    }
    M.VERSION = PAIRTERMS_VERSION;
    M.PLATFORM = PLATFORMTEXT();
    M.SETTINGS = SETTINGSOF(O.PLAN);
    for (size_t X = 0; X < O.PLAN.PROGRAMS.size(); ++X) {
      M.PROGRAMS.push_back(O.PLAN.PROGRAMS[X]->PROGRAM);
      ADDSIZES(M, *O.PLAN.PROGRAMS[X], FOLDERS[X]);
    }
    M.SERIES = SERIESDIRTEXT();
    WRITETEXT(NEW / "MANIFEST", MANIFESTTEXT(M));
    TAKEPLACE(NEW, CLEAN);
  } catch (const fs::filesystem_error& X) {
    PUTLINES(stderr, "pairterms: fatal error 217: " + std::string(WRITEERRTEXT) + ": " + SHOWTEXT(X.what()) + "\n");
    return FATALSTATUS;
  }
  return 0;
}
