# Turns every file of the reference page folder into a C++ source that holds
# the files' bytes, so the service needs no data files at run time.
#
#   cmake -DPAGE_DIR=<folder> -DOUTPUT=<file.cpp> -P embed_page.cmake
#
# The output defines tarnel::standin::kPageAssets and kPageAssetCount as
# declared in page_assets.h. Bytes are written as hexadecimal numbers, so the
# content needs no escaping of any kind.
if(NOT PAGE_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "embed_page.cmake needs PAGE_DIR and OUTPUT")
endif()

file(GLOB _files RELATIVE ${PAGE_DIR} ${PAGE_DIR}/*)
list(SORT _files)

set(_arrays "")
set(_entries "")
set(_index 0)
foreach(_name IN LISTS _files)
  if(IS_DIRECTORY ${PAGE_DIR}/${_name})
    continue()
  endif()
  file(READ ${PAGE_DIR}/${_name} _hex HEX)
  string(LENGTH "${_hex}" _hex_length)
  math(EXPR _size "${_hex_length} / 2")
  # Two hex digits per byte; a line break after every 16 bytes keeps lines short.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " _bytes "${_bytes}")
  # A trailing zero keeps empty files legal C++; it is not part of the size.
  string(APPEND _arrays "const unsigned char kAsset${_index}[] = {\n    ${_bytes}0x00};\n")
  string(APPEND _entries "    {\"${_name}\", kAsset${_index}, ${_size}},\n")
  math(EXPR _index "${_index} + 1")
endforeach()

set(_content "// Generated from the reference page folder by embed_page.cmake; do not edit.
#include \"page_assets.h\"

namespace tarnel::standin {
namespace {
${_arrays}}  // namespace

const PageAsset kPageAssets[] = {
${_entries}};
const std::size_t kPageAssetCount = ${_index};

}  // namespace tarnel::standin
")

file(WRITE ${OUTPUT} "${_content}")
