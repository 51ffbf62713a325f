// unsoftdec: the writing of the software extended type's decimal texts,
// SOFTEXTSCIENTIFIC and SOFTEXTFIXED (see unsoftdec.hpp): from the value's
// exact digits, made with the wide integers of unsoftbig, rounded here on
// the decimal digits.
#include "unsoftdec.hpp"

using namespace SOFTEXTIMPL;

namespace {

// The digits come out in chunks of 9: 10^9 < 2^32, so DIVSMALL takes it.
inline constexpr uint32_t CHUNKTEN = 1000000000;
inline constexpr size_t CHUNKDIGITS = 9;
static_assert(CHUNKTEN == POWWORD(10, CHUNKDIGITS));

// floor(log10(2) * 2^32), for the decade of a value from its exponent.
inline constexpr long long LOG10TWO32 = 1292913986;

// floor(|X| * 10^F) in decimal digits without leading zeros ("0" for
// zero), |X| = SIG * 2^K, and whether anything was left below it.
struct TDIGITS {
  std::string DIG;
  bool MORE = false;
};

TDIGITS SCALEDDIGITS(uint64_t SIG, long long K, long long F) {
  TBIGNUM NUM, DEN;
  NUM.L = {static_cast<uint32_t>(SIG), static_cast<uint32_t>(SIG >> 32)};
  if (NUM.L.back() == 0) NUM.L.pop_back();
  TDIGITS R;
  TBIGNUM Q;
  if (F >= 0) {
    // SIG * 5^F * 2^(K + F): a shift.
    NUM.MULPOW5(F);
    if (K + F >= 0)
      NUM.SHIFTLEFT(K + F);
    else
      R.MORE = NUM.SHIFTRIGHT(-(K + F));
    Q = NUM;
  } else {
    // SIG * 2^(K + F) / 5^-F: at once for a short quotient, else a bit at
    // a time.
    DEN.L = {1};
    DEN.MULPOW5(-F);
    if (K + F >= 0)
      NUM.SHIFTLEFT(K + F);
    else
      DEN.SHIFTLEFT(-(K + F));
    // The quotient lies below 2^QBITS; BIGDIVIDE takes one below 2^68, and
    // 68 bits make 3 limbs.
    const long long QBITS = NUM.BITS() - DEN.BITS() + 1;
    if (QBITS <= QUOTIENTBITS) {
      const U128 V = BIGDIVIDE(NUM, DEN);
      Q.L = {static_cast<uint32_t>(V), static_cast<uint32_t>(V >> 32), static_cast<uint32_t>(V >> 64)};
      while (!Q.L.empty() && Q.L.back() == 0) Q.L.pop_back();
    } else {
      Q.L.assign(static_cast<size_t>((QBITS + 31) / 32), 0);
      DEN.SHIFTLEFT(QBITS - 1);
      for (long long I = QBITS - 1; I >= 0; --I) {
        if (BIGCOMPARE(NUM, DEN) >= 0) {
          BIGSUBTRACT(NUM, DEN);
          Q.L[static_cast<size_t>(I / 32)] |= uint32_t{1} << (I % 32);
        }
        DEN.SHIFTRIGHT(1);
      }
      while (!Q.L.empty() && Q.L.back() == 0) Q.L.pop_back();
    }
    R.MORE = !NUM.ISZERO();
  }
  std::vector<uint32_t> CHUNKS;  // base 10^9, least significant first
  while (!Q.ISZERO()) CHUNKS.push_back(Q.DIVSMALL(CHUNKTEN));
  if (CHUNKS.empty()) CHUNKS.push_back(0);
  R.DIG = std::to_string(CHUNKS.back());
  for (size_t I = CHUNKS.size() - 1; I-- > 0;) {
    const std::string C = std::to_string(CHUNKS[I]);
    R.DIG.append(CHUNKDIGITS - C.size(), '0');
    R.DIG += C;
  }
  return R;
}

// (DIG + a rest below it, non-zero when MORE) * 10^-DROP rounded to an
// integer, DROP >= 1, to nearest with ties to even; as decimal digits
// without leading zeros ("0" for zero).
std::string ROUNDDROP(const TDIGITS& D, long long DROP) {
  const std::string& DIG = D.DIG;
  const long long KEEP = static_cast<long long>(DIG.size()) - DROP;
  std::string R = KEEP > 0 ? DIG.substr(0, static_cast<size_t>(KEEP)) : "0";
  if (KEEP < 0) return R;  // below a tenth of the unit
  const char FIRST = DIG[static_cast<size_t>(KEEP)];
  const bool HALF = FIRST == '5' && !D.MORE &&
                    DIG.find_first_not_of('0', static_cast<size_t>(KEEP) + 1) == std::string::npos;
  if (FIRST < '5' || (HALF && (R.back() - '0') % 2 == 0)) return R;
  size_t I = R.size();
  while (I > 0 && R[I - 1] == '9') R[--I] = '0';
  if (I == 0)
    R.insert(0, 1, '1');
  else
    ++R[I - 1];
  return R;
}

// The text of an infinity or a NaN, or empty for a finite value.
std::string SPECIALTEXT(TSOFTEXT X, const TPARTS& P) {
  if (P.KIND == KINF) return signbit(X) ? "-inf" : "inf";
  if (P.KIND >= KNAN) return signbit(X) ? "-nan" : "nan";
  return {};
}

std::string PADLEFT(std::string S, int WIDTH) {
  if (WIDTH > static_cast<int>(S.size())) S.insert(0, static_cast<size_t>(WIDTH) - S.size(), ' ');
  return S;
}

}  // namespace

std::string SOFTEXTSCIENTIFIC(TSOFTEXT X, int PREC) {
  const TPARTS P = UNPACK(X);
  std::string S = SPECIALTEXT(X, P);
  if (!S.empty()) return S;
  if (PREC < 0) PREC = 6;
  long long SCI = 0;
  std::string D;
  if (P.KIND == KZERO) {
    D.assign(static_cast<size_t>(PREC) + 1, '0');
  } else {
    // For 2^EXP <= |X| < 2^(EXP+1), EXP in [-16445, 16383],
    // SCI0 + 1 <= floor(log10 |X|) <= SCI0 + 2 (softbounds.py tries every
    // EXP); |X| * 10^F then has PREC + 3 or PREC + 4 digits, at least one
    // to drop.
    const long long SCI0 = ((static_cast<long long>(P.EXP) * LOG10TWO32) >> 32) - 1;
    const long long F = PREC + 1 - SCI0;
    const TDIGITS T = SCALEDDIGITS(P.SIG, static_cast<long long>(P.EXP) - 63, F);
    const long long L = static_cast<long long>(T.DIG.size());
    SCI = L - 1 - F;
    D = ROUNDDROP(T, L - (PREC + 1));
    if (static_cast<long long>(D.size()) > PREC + 1) {  // 99..9 became 100..0
      D.pop_back();
      ++SCI;
    }
  }
  if (signbit(X)) S += '-';
  S += D[0];
  if (PREC > 0) {
    S += '.';
    S.append(D, 1);
  }
  S += 'e';
  S += SCI < 0 ? '-' : '+';
  const std::string EXPDIG = std::to_string(SCI < 0 ? -SCI : SCI);
  if (EXPDIG.size() < 2) S += '0';
  S += EXPDIG;
  return S;
}

std::string SOFTEXTFIXED(TSOFTEXT X, int WIDTH, int PREC) {
  const TPARTS P = UNPACK(X);
  std::string S = SPECIALTEXT(X, P);
  if (!S.empty()) return PADLEFT(S, WIDTH);
  if (PREC < 0) PREC = 6;
  // |X| * 10^PREC, from one more digit.
  TDIGITS T;
  if (P.KIND == KZERO)
    T.DIG.push_back('0');
  else
    T = SCALEDDIGITS(P.SIG, static_cast<long long>(P.EXP) - 63, PREC + 1);
  std::string D = ROUNDDROP(T, 1);
  if (static_cast<long long>(D.size()) < PREC + 1) D.insert(0, static_cast<size_t>(PREC + 1) - D.size(), '0');
  if (signbit(X)) S += '-';
  S.append(D, 0, D.size() - static_cast<size_t>(PREC));
  if (PREC > 0) {
    S += '.';
    S.append(D, D.size() - static_cast<size_t>(PREC));
  }
  return PADLEFT(S, WIDTH);
}
