# SPDX-License-Identifier: GPL-3.0-or-later
# The archive parsers take whatever a server sends; these feed them arbitrary bytes.
starvane_fuzz_coverage(archive archive/archivehosts.cpp archive/catalogparser.cpp archive/detailparser.cpp)
starvane_fuzz_coverage(models models/hubbleimage.cpp)
foreach(target fuzz_catalogparser fuzz_detailparser)
  add_executable(${target} ${CMAKE_CURRENT_SOURCE_DIR}/${target}.cpp)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${target} PRIVATE starvane_archive)
endforeach()
