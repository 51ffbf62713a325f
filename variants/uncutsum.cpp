// uncutsum: the tallies of termcuts (see uncutsum.hpp).
#include "uncutsum.hpp"

#include <algorithm>
#include <cstring>

#include "unvarpow.hpp"

namespace {

// |X| as one number that orders the non-negative extended values: the
// biased exponent above the significand.
unsigned __int128 ORDERKEY(TEXTENDED X) {
  const TMAGNITUDE M = MAGNITUDEOF(X);
  return (static_cast<unsigned __int128>(M.EXP) << 64) | M.MANT;
}

// 2^K for K of the subnormal and normal range, exactly.
TEXTENDED POWEROFTWO(int K) {
  const int FIELD = K + 16383;  // the biased exponent
  const uint64_t MANT = FIELD >= 1 ? uint64_t{1} << 63 : uint64_t{1} << (62 + FIELD);
  const uint16_t EXP = static_cast<uint16_t>(FIELD >= 1 ? FIELD : 0);
  TEXTENDED X = 0.0_EXT;
  std::memcpy(&X, &MANT, 8);
  std::memcpy(reinterpret_cast<char*>(&X) + 8, &EXP, 2);
  return X;
}

}  // namespace

TSORTED::TSORTED(const std::vector<TEXTENDED>& T) : BELOW(0x8001) {
  std::vector<size_t> ORDER(T.size());
  for (size_t K = 0; K < ORDER.size(); ++K) ORDER[K] = K;
  std::stable_sort(ORDER.begin(), ORDER.end(),
                   [&](size_t X, size_t Y) { return ORDERKEY(T[X]) < ORDERKEY(T[Y]); });
  for (size_t K : ORDER) {
    KEYS.push_back(ORDERKEY(T[K]));
    PLACE.push_back(K);
  }
  // Every value of biased exponent X lies at or above X << 64 and below
  // (X + 1) << 64.
  for (size_t X = 0; X < BELOW.size(); ++X)
    BELOW[X] = static_cast<uint16_t>(
        std::lower_bound(KEYS.begin(), KEYS.end(), static_cast<unsigned __int128>(X) << 64) - KEYS.begin());
}

size_t TSORTED::COUNTBELOW(TEXTENDED E) const {
  const TMAGNITUDE M = MAGNITUDEOF(E);
  size_t K = BELOW[M.EXP];
  if (K != BELOW[M.EXP + 1]) [[unlikely]] {
    const unsigned __int128 X = (static_cast<unsigned __int128>(M.EXP) << 64) | M.MANT;
    while (K < KEYS.size() && KEYS[K] < X) ++K;
  }
  return K;
}

void TTALLY::SETTLE(const TSORTED& SORTED) {
  for (unsigned X = LOW; X <= HIGH && X < 0x8000; ++X) {
    if (ACC[X] == 0) continue;
    // A significand of field X stands for it times 2^(X - 16383 - 63):
    // the sum in two exact halves of 64 bits.
    const TEXTENDED UNIT = POWEROFTWO(static_cast<int>(X) - 16383 - 63);
    const TEXTENDED HALF = POWEROFTWO(static_cast<int>(X) - 16383 + 1);
    TWIDESUM& S = SUM[SORTED.BELOW[X]];
    S.ADD(static_cast<TEXTENDED>(static_cast<uint64_t>(ACC[X] >> 64)) * HALF);
    S.ADD(static_cast<TEXTENDED>(static_cast<uint64_t>(ACC[X])) * UNIT);
    ACC[X] = 0;
  }
  LOW = 0x8000;
  HIGH = 0;
}

void TALLYFILE(TTALLY& Y, const TSORTED& SORTED, const TROWFIELDS* F, const uint8_t* SIDE, const TEXTENDED* P0,
               const TMAGNITUDE* MAG, int32_t COUNT, bool ORDERFILTER, int BOUND, uint8_t KEEPS, bool TESTED) {
  int64_t* const N = Y.COUNT.data();
  TWIDESUM* const SUM = Y.SUM.data();
  unsigned __int128* const ACC = Y.ACC.data();
  const uint16_t* const BELOW = SORTED.BELOW.data();
  unsigned LOW = Y.LOW, HIGH = Y.HIGH;
  int64_t ALWAYS = 0;
  for (int32_t M = 0; M < COUNT; ++M) {
    const int S = F[M].ORDER;
    if (ORDERFILTER && S > BOUND) continue;
    if (KEEPS != 0 && (SIDE[M] & KEEPS) == 0) continue;
    if (!TESTED) {
      ++ALWAYS;
      continue;
    }
    const int H = HALVINGPOWER(S, BOUND);
    // Halving a normal value is exact while it stays normal: then |A| has
    // the significand of P0 and its exponent less H, and a binade without
    // a threshold decides the count alone.
    const unsigned X = MAG[M].EXP - static_cast<unsigned>(H);
    if (MAG[M].EXP - 1u < 0x7FFEu && X - 1u < 0x7FFEu && BELOW[X] == BELOW[X + 1]) [[likely]] {
      ++N[BELOW[X]];
      ACC[X] += MAG[M].MANT;
      LOW = X < LOW ? X : LOW;
      HIGH = X > HIGH ? X : HIGH;
      continue;
    }
    const TEXTENDED E = EXTABS(H > 0 ? P0[M] * POWAR.DATA()[H] : P0[M]);
    const size_t K = SORTED.COUNTBELOW(E);
    ++N[K];
    SUM[K].ADD(E);
  }
  Y.ALWAYS += ALWAYS;
  Y.LOW = LOW;
  Y.HIGH = HIGH;
}
