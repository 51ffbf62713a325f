// unchkdup: the terms a series file's check keeps, and the search for
// repeated terms (see unchkdup.hpp).
#include "unchkdup.hpp"

#include <cstring>

namespace {

size_t HASHOF(const TGOODROW& G) {
  uint64_t H = 0x9E3779B97F4A7C15u;
  for (uint64_t W : G.W) {
    H = (H ^ W) * 0xBF58476D1CE4E5B9u;
    H ^= H >> 31;
  }
  return static_cast<size_t>(H);
}

}  // namespace

TGOODROW GOODROW(const TROWVAR& R, long LINE, long S) {
  TGOODROW G{};
  std::memcpy(&G.W[0], &R.AMP, 8);
  uint16_t EXP;
  std::memcpy(&EXP, reinterpret_cast<const char*>(&R.AMP) + 8, 2);
  uint64_t MECS = 0, MARS = 0;
  for (int I = 1; I <= 6; ++I) {
    MECS = MECS << 8 | static_cast<uint8_t>(R.MEC[I]);
    MARS = MARS << 8 | static_cast<uint8_t>(R.MAR[I]);
  }
  G.W[1] = MECS << 16 | EXP;
  G.W[2] = MARS << 8 | static_cast<uint8_t>(R.FCS);
  G.LINE = static_cast<int32_t>(LINE);
  G.ORDER = static_cast<int16_t>(S);
  return G;
}

const TGOODROW* TKEPTROWS::EARLIER(const TGOODROW& G) {
  if (HASH.size() < 2 * (DISTINCT + 1)) REHASH(4 * (DISTINCT + 1));
  const size_t MASK = HASH.size() - 1;
  for (size_t H = HASHOF(G) & MASK;; H = (H + 1) & MASK) {
    const uint32_t X = HASH[H];
    if (X == 0) {
      HASH[H] = static_cast<uint32_t>(ROWS.size() + 1);
      ++DISTINCT;
      ROWS.push_back(G);
      return nullptr;
    }
    const TGOODROW& E = ROWS[X - 1];
    if (E.W[0] == G.W[0] && E.W[1] == G.W[1] && E.W[2] == G.W[2]) return &E;
  }
}

void TKEPTROWS::REHASH(size_t SIZE) {
  size_t S = 1024;
  while (S < SIZE) S *= 2;
  std::vector<uint32_t> OLD(S, 0);
  OLD.swap(HASH);
  for (const uint32_t X : OLD)
    if (X != 0)
      for (size_t H = HASHOF(ROWS[X - 1]) & (S - 1);; H = (H + 1) & (S - 1))
        if (HASH[H] == 0) {
          HASH[H] = X;
          break;
        }
}
