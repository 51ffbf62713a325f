# The table of the programs, python/pairterms/programs.tsv, read once at
# configure time. Sets
#   PAIRTERMS_TERM_PROGRAMS  the programs' names, in the table's order
#   PAIRTERMS_TERM_UNITS     their variant units, in the same order
# and writes ${PAIRTERMS_GENERATED_DIR}/termtable.inc, the rows of the C++
# table PROGRAMTABLE (variants/termvariant.hpp). A change to the table
# configures the build again.
set(PAIRTERMS_PROGRAM_TABLE ${PROJECT_SOURCE_DIR}/python/pairterms/programs.tsv)
set(PAIRTERMS_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PAIRTERMS_PROGRAM_TABLE})

# A field as a C++ string literal: the quotes of the table dropped, the
# text escaped.
function(_pairterms_literal text out)
  string(REGEX REPLACE "^\"(.*)\"$" "\\1" text "${text}")
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(_pairterms_yesno text what out)
  if(text STREQUAL "yes")
    set(${out} true PARENT_SCOPE)
  elseif(text STREQUAL "no")
    set(${out} false PARENT_SCOPE)
  else()
    message(FATAL_ERROR "programs.tsv: ${what} is '${text}', not yes or no")
  endif()
endfunction()

file(STRINGS ${PAIRTERMS_PROGRAM_TABLE} _lines ENCODING UTF-8)
set(_names)
set(_units)
set(_rows "// Made by CMake from python/pairterms/programs.tsv; edit that table.\n")
set(_header TRUE)
foreach(_line IN LISTS _lines)
  if(_line MATCHES "^#" OR _line STREQUAL "")
    continue()
  endif()
  if(_header)  # the line of field names
    set(_header FALSE)
    continue()
  endif()
  string(REPLACE "\t" ";" _f "${_line}")
  list(LENGTH _f _n)
  if(NOT _n EQUAL 15)
    message(FATAL_ERROR "programs.tsv: ${_n} fields in '${_line}', 15 expected")
  endif()
  list(GET _f 0 _program)
  list(GET _f 1 _key)
  list(GET _f 2 _unit)
  list(GET _f 3 _prefix)
  list(GET _f 4 _table)
  list(GET _f 5 _closing)
  list(GET _f 6 _pairtotal)
  list(GET _f 7 _planettotal)
  list(GET _f 8 _orderfilter)
  list(GET _f 9 _amptest)
  list(GET _f 10 _orderbound)
  list(GET _f 11 _select)
  list(GET _f 12 _periodwidth)
  list(GET _f 13 _layout)
  list(GET _f 14 _purpose)
  _pairterms_yesno("${_orderfilter}" orderfilter _orderfilter)
  _pairterms_yesno("${_amptest}" amptest _amptest)
  if(_orderbound STREQUAL "-")
    set(_orderbound 0)
  endif()
  if(_select STREQUAL "short")
    set(_select SHORTPERIOD)
  elseif(_select STREQUAL "secular")
    set(_select SECULAR)
  elseif(_select STREQUAL "all")
    set(_select ALLTERMS)
  else()
    message(FATAL_ERROR "programs.tsv: select is '${_select}', not short, secular or all")
  endif()
  string(REPLACE "," ";" _layout "${_layout}")
  list(LENGTH _layout _nl)
  if(NOT _nl EQUAL 6)
    message(FATAL_ERROR "programs.tsv: the layout of ${_program} has ${_nl} numbers, 6 expected")
  endif()
  list(GET _layout 0 _la)
  list(GET _layout 1 _lb)
  list(GET _layout 2 _lc)
  list(GET _layout 3 _ld)
  list(GET _layout 4 _le)
  list(GET _layout 5 _lg)
  foreach(_t program key unit prefix table closing pairtotal planettotal purpose)
    _pairterms_literal("${_${_t}}" _${_t}_lit)
  endforeach()
  string(APPEND _rows
    "    {.PROGRAM = ${_program_lit}, .KEY = ${_key_lit}, .UNIT = ${_unit_lit},\n"
    "     .PURPOSE = ${_purpose_lit},\n"
    "     .PREFIX = ${_prefix_lit}, .TABLENAME = ${_table_lit},\n"
    "     .CLOSETEXT = ${_closing_lit}, .OURTEXT = ${_pairtotal_lit}, .ALLTEXT = ${_planettotal_lit},\n"
    "     .ORDERFILTER = ${_orderfilter}, .HASAMPTEST = ${_amptest}, .ORDERBOUND = ${_orderbound},\n"
    "     .SELECT = TSELECT::${_select}, .PERIODWIDTH = ${_periodwidth},\n"
    "     .LAYOUT = {.HEADINDENT = ${_la}, .HEADFIELD = ${_lb}, .HEADGAP = ${_lc}, .ROWFIELD = ${_ld},\n"
    "                .COUNTFIELD = ${_le}, .TOTALFIELD = ${_lg}}},\n")
  list(APPEND _names ${_program})
  list(APPEND _units ${_unit})
endforeach()
set(PAIRTERMS_TERM_PROGRAMS ${_names})
set(PAIRTERMS_TERM_UNITS ${_units})
file(CONFIGURE OUTPUT ${PAIRTERMS_GENERATED_DIR}/termtable.inc CONTENT "${_rows}")
