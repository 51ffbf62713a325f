// pairmani: the MANIFEST of a pairterms run's folder (layout in
// docs/FORMATS.md), and the SHA-256 of the series files, from libcrypto.
// The outputs are a function of the series, the settings and the version:
// the manifest records them all, so that pairterms verify can make the
// outputs again and compare them with the files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unfucuts.hpp"

// What a manifest records.
struct TMANIFEST {
  std::string VERSION;
  std::string PLATFORM;  // "x86_64 linux, extended type x87 long double"
  // The settings as given: "threshold", "period-cut", "max-order",
  // "order-bound", "estimates" (yes) and their texts.
  std::vector<std::pair<std::string, std::string>> SETTINGS;
  std::vector<std::string> PROGRAMS;  // names, in the table's order
  std::string SERIES;                 // the series folder, absolute
  std::vector<std::string> HASHES;    // [0..26]: SHA-256 of puf01..puf27, hex
  std::vector<std::pair<std::string, uint64_t>> SIZES;  // PROGRAM/NAME, bytes
};

// The text of M, lines ended by CR LF.
std::string MANIFESTTEXT(const TMANIFEST& M);
// M from TEXT; false with the reason in WHY when it is not a manifest.
bool READMANIFEST(const std::string& TEXT, TMANIFEST& M, std::string& WHY);

// The SHA-256 of the file NAME in the folder open on DIRFD, in lower-case
// hex; false with errno's reason in WHY when it cannot be read.
bool SHA256OFFILE(int DIRFD, const std::string& NAME, std::string& HEX, std::string& WHY);

// This build's platform and extended type, as the manifest names them.
std::string PLATFORMTEXT();
