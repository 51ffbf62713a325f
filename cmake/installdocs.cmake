# Installs the documents into one folder, DOCDIR under the prefix (run by
# cmake --install, see the top CMakeLists.txt): README.md, LICENSE,
# docs/FORMATS.md and docs/SERIESCHECK.md under their names,
# python/README.md as python-README.md, the pictures of docs/img/ in img/.
# A link of a Markdown document to one of them is made to point to it
# there; a link to anything else (bench/README.md) becomes plain text that
# names the file in the source tree. So every link of the installed
# documents leads to an installed file.
# Expects PAIRTERMS_SOURCE_DIR, PAIRTERMS_STAGE_DIR (a folder of the build
# tree for the mended copies) and PAIRTERMS_DOCDIR (relative to the prefix,
# or absolute).

cmake_policy(VERSION 3.25)

set(_docs README.md LICENSE docs/FORMATS.md docs/SERIESCHECK.md python/README.md)
set(_names README.md LICENSE FORMATS.md SERIESCHECK.md python-README.md)
file(GLOB _pictures RELATIVE "${PAIRTERMS_SOURCE_DIR}" "${PAIRTERMS_SOURCE_DIR}/docs/img/*.png")
foreach(_picture IN LISTS _pictures)
  get_filename_component(_name "${_picture}" NAME)
  list(APPEND _docs "${_picture}")
  list(APPEND _names "img/${_name}")
endforeach()

# _pairterms_mend(TEXT SOURCE OUT): TEXT, the document SOURCE (relative to
# the source tree), with its links mended, into OUT.
function(_pairterms_mend text source out)
  get_filename_component(_from "${source}" DIRECTORY)
  set(_pattern "!?\\[[^]]*\\]\\([^)]*\\)")
  set(_rest "${text}")
  set(_done "")
  string(REGEX MATCH "${_pattern}" _link "${_rest}")
  while(NOT _link STREQUAL "")
    string(FIND "${_rest}" "${_link}" _at)
    string(LENGTH "${_link}" _length)
    string(SUBSTRING "${_rest}" 0 ${_at} _before)
    math(EXPR _after "${_at} + ${_length}")
    string(SUBSTRING "${_rest}" ${_after} -1 _rest)
    string(REGEX REPLACE "^(!?)\\[([^]]*)\\]\\(([^)]*)\\)$" "\\1;\\2;\\3" _parts "${_link}")
    list(GET _parts 0 _bang)
    list(GET _parts 1 _label)
    list(GET _parts 2 _target)
    string(FIND "${_target}" "#" _hash)
    set(_file "${_target}")
    set(_anchor "")
    if(_hash GREATER_EQUAL 0)
      string(SUBSTRING "${_target}" 0 ${_hash} _file)
      string(SUBSTRING "${_target}" ${_hash} -1 _anchor)
    endif()
    if(_from)
      set(_file "${_from}/${_file}")
    endif()
    cmake_path(SET _file NORMALIZE "${_file}")
    string(REGEX REPLACE "/$" "/README.md" _file "${_file}")
    list(FIND _docs "${_file}" _index)
    if(_target MATCHES "^(#|[a-z]+:)")
      string(APPEND _done "${_before}${_link}")    # an anchor or a web address
    elseif(_index GREATER_EQUAL 0)
      list(GET _names ${_index} _name)
      if(_label STREQUAL _target OR _label STREQUAL _file)
        set(_label "${_name}")
      endif()
      string(APPEND _done "${_before}${_bang}[${_label}](${_name}${_anchor})")
    elseif(_label STREQUAL _target OR _label STREQUAL _file)
      string(APPEND _done "${_before}${_file} in the source tree")
    else()
      string(APPEND _done "${_before}${_label} (${_file} in the source tree)")
    endif()
    string(REGEX MATCH "${_pattern}" _link "${_rest}")
  endwhile()
  set(${out} "${_done}${_rest}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${PAIRTERMS_STAGE_DIR}")
foreach(_doc _name IN ZIP_LISTS _docs _names)
  set(_copy "${PAIRTERMS_STAGE_DIR}/${_name}")
  if(_doc MATCHES "\\.md$")
    file(READ "${PAIRTERMS_SOURCE_DIR}/${_doc}" _text)
    _pairterms_mend("${_text}" "${_doc}" _text)
    file(WRITE "${_copy}" "${_text}")
  else()
    configure_file("${PAIRTERMS_SOURCE_DIR}/${_doc}" "${_copy}" COPYONLY)
  endif()
endforeach()

if(IS_ABSOLUTE "${PAIRTERMS_DOCDIR}")
  set(_dest "${PAIRTERMS_DOCDIR}")
else()
  set(_dest "${CMAKE_INSTALL_PREFIX}/${PAIRTERMS_DOCDIR}")
endif()
file(INSTALL DESTINATION "${_dest}" TYPE FILE FILES
     "${PAIRTERMS_STAGE_DIR}/README.md" "${PAIRTERMS_STAGE_DIR}/LICENSE"
     "${PAIRTERMS_STAGE_DIR}/FORMATS.md" "${PAIRTERMS_STAGE_DIR}/SERIESCHECK.md"
     "${PAIRTERMS_STAGE_DIR}/python-README.md")
file(INSTALL DESTINATION "${_dest}" TYPE DIRECTORY FILES "${PAIRTERMS_STAGE_DIR}/img")
