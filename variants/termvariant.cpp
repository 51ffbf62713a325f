// termvariant: the table of the programs (see termvariant.hpp).
#include "termvariant.hpp"

#include <cstdlib>

const TVARIANT& PROGRAMNAMED(std::string_view NAME) {
  for (const TVARIANT& V : PROGRAMTABLE)
    if (NAME == V.PROGRAM) return V;
  std::abort();  // a program body names a row of the table
}

int PROGRAMINDEX(const TVARIANT& V) { return static_cast<int>(&V - PROGRAMTABLE); }
