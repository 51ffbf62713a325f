// unchkdup: the terms of a series file as its check (unserchk) keeps them,
// for the search for repeated terms and for the mirror images of file 1:
// each term's fields in three words, with its line and order; and the
// distinct terms in a hash table, where a new term finds an earlier one
// equal to it, exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "unalltyp.hpp"

// A term read whole: the order, and the term's fields in three words for
// the search for repeated terms.
struct TGOODROW {
  uint64_t W[3];
  int32_t LINE;
  int16_t ORDER;
};

// Term R of line LINE, of order S.
TGOODROW GOODROW(const TROWVAR& R, long LINE, long S);

// The terms kept, in the order of the file.
class TKEPTROWS {
 public:
  // The earlier term equal to G among those kept by EARLIER (valid until
  // the next term is kept), or nullptr when there is none: G is then kept.
  const TGOODROW* EARLIER(const TGOODROW& G);
  // G kept without a search, and never found by one.
  void KEEP(const TGOODROW& G) { ROWS.push_back(G); }
  const std::vector<TGOODROW>& ALL() const { return ROWS; }

 private:
  // The distinct terms (never a repeat: that would make a long run of
  // equal places) into a table of at least SIZE places.
  void REHASH(size_t SIZE);

  std::vector<TGOODROW> ROWS;
  std::vector<uint32_t> HASH;  // 1 + index into ROWS; 0: empty
  size_t DISTINCT = 0;         // the places of HASH in use
};
