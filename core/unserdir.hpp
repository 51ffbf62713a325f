// unserdir: the folder of the series files. The programs read the 27
// series files of one folder, the current one unless the command line
// names another; a folder so named is opened once, at the start, and each
// file is opened in it by its name, so that reports name the file alone.
#pragma once

#include <string>

inline constexpr int NUMSERIES = 27;  // series files puf01..puf27

// "puf" + two-digit N + ".txt".
std::string SERIESNAME(int N);

// Makes DIR the series folder: true, or false with the reason in WHY
// (a missing folder, or not a folder, or one that cannot be searched).
bool SETSERIESDIR(const std::string& DIR, std::string& WHY);
// The folder's descriptor, for openat: AT_FDCWD for the current folder.
int SERIESDIRFD();
// The folder as a report names it: its absolute path.
std::string SERIESDIRTEXT();
// Whether any of the 27 series files is in the series folder.
bool ANYSERIESFILE();
// Said after the report of a missing series file: the folder searched and
// the files expected there, or that it holds none of them.
std::string MISSINGHINT();
// Back to the current folder.
void RESETSERIESDIR();

// The series file that the open file FD is, as its name leads now (the
// same device and inode), or an empty text.
std::string SERIESFILEOFFD(int FD);
