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

# The items of LIST (a list separated by SEP) into the variables named
# after it, or a fatal error WHAT when their number is not the variables'.
function(_pairterms_split list sep what)
  string(REPLACE "${sep}" ";" list "${list}")
  list(LENGTH list n)
  list(LENGTH ARGN want)
  if(NOT n EQUAL want)
    message(FATAL_ERROR "programs.tsv: ${what}: ${n} items, ${want} expected")
  endif()
  set(i 0)
  foreach(var IN LISTS ARGN)
    list(GET list ${i} value)
    set(${var} "${value}" PARENT_SCOPE)
    math(EXPR i "${i} + 1")
  endforeach()
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
  _pairterms_split("${_line}" "\t" "the line '${_line}'" _program _key _unit _prefix _table _closing
    _pairtotal _planettotal _orderfilter _amptest _orderbound _select _periodwidth _layout _purpose)
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
  _pairterms_split("${_layout}" "," "the layout of ${_program}" _la _lb _lc _ld _le _lg)
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
