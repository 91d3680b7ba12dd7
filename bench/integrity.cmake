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
# Writes the validator's worst cases from the test corpus's own generators.
add_executable(jpeg-adversarial ${CMAKE_CURRENT_LIST_DIR}/jpegadversarial.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/jpegcorpus.cpp)
target_include_directories(jpeg-adversarial PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(jpeg-adversarial PRIVATE Qt6::Gui)
set_target_properties(jpeg-adversarial PROPERTIES AUTOMOC OFF)
