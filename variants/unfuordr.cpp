// unfuordr: the order of a term and the order filter (see unfuordr.hpp).
#include "unfuordr.hpp"

#include "unahead.hpp"
#include "unallvar.hpp"
#include "unfatal.hpp"
#include "unfurun.hpp"
#include "ungetmem.hpp"
#include "unsercac.hpp"

void ORDERFILTER(int MAXSUM, TPIPEPLACE& HERE) {
  MECAUX = MECONE;
  COPYROWS(*ROWAUX, *ROWONE, MECAUX);
  MECONE = 0;
  for (int32_t M = 1; M <= MECAUX; ++M) {
    const TROWVAR& R = (*ROWAUX)[M];
    HERE.TERM = R.TXT;
    if (ORDEROF(R) <= MAXSUM) {
      MECONE = ADDCOUNT(MECONE, 1, "MECONE");
      (*ROWONE)[MECONE] = R;
    }
  }
  HERE.TERM = -1;
}

const TTESTREC* ORDERRECS(TSERIESFILE& S, int MAXSUM, TPIPEPLACE& HERE, size_t& NRECS) {
  if (S.ORDERBOUND != MAXSUM) {
    // Room for every row, obtained at once in large pages.
    const size_t BYTES = static_cast<size_t>(S.COUNT) * sizeof(TTESTREC);
    if (S.ORDERBLOCK.SIZE() < BYTES && !TRYTWICE([&] { return S.ORDERBLOCK.OBTAIN(BYTES, true); }))
      MEMORYERROR("the rows of the order filter", BYTES);
    const TTESTREC* RECS = S.ROWS.TESTRECS.data();
    const TROWFIELDS* FIELDS = S.ROWS.FIELDS.data();
    TTESTREC* KEPT = S.ORDERKEPTRECS();
    size_t NK = 0;
    for (int32_t M = 0; M < S.COUNT; ++M) {
      HERE.TERM = M;
      if (ORDEROF(FIELDS[M].ORDER) <= MAXSUM) KEPT[NK++] = RECS[M];
    }
    HERE.TERM = -1;
    S.ORDERKEPT = NK;
    S.ORDERBOUND = MAXSUM;
  }
  NRECS = S.ORDERKEPT;
  return S.ORDERKEPTRECS();
}
