# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers for bench/jpeg-bench.sh (not tests: nothing here is registered with ctest). They link the
# integrity layer with --as-needed, so that only Qt Core and libcrypto are loaded: process start-up
# (loading Qt Gui, Network, D-Bus) would blur the comparison with single-library tools.
foreach(tool jpeg-validate sha256-file)
  string(REPLACE "-" "" _source ${tool})
  add_executable(${tool} ${CMAKE_CURRENT_LIST_DIR}/${_source}.cpp)
  target_link_libraries(${tool} PRIVATE starvane_integrity)
  target_link_options(${tool} PRIVATE -Wl,--as-needed)
endforeach()
