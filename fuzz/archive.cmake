# SPDX-License-Identifier: GPL-3.0-or-later
# The archive parsers take whatever a server sends; these feed them arbitrary bytes.
# They link only what the parsers need: their own sources and Qt Core.
set(_archive_parser_sources
  ${PROJECT_SOURCE_DIR}/src/core/archive/archivehosts.cpp
  ${PROJECT_SOURCE_DIR}/src/core/archive/catalogparser.cpp
  ${PROJECT_SOURCE_DIR}/src/core/archive/detailparser.cpp
  ${PROJECT_SOURCE_DIR}/src/core/models/hubbleimage.cpp
  ${PROJECT_SOURCE_DIR}/src/core/models/errors.cpp
)
foreach(target fuzz_catalogparser fuzz_detailparser)
  add_executable(${target} ${CMAKE_CURRENT_SOURCE_DIR}/${target}.cpp ${_archive_parser_sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/core)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${target} PRIVATE Qt6::Core)
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
endforeach()
