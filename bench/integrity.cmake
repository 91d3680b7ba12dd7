# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers for bench/jpeg-bench.sh (not tests: nothing here is registered with ctest).
add_executable(jpeg-validate ${CMAKE_CURRENT_LIST_DIR}/jpegvalidate.cpp)
target_link_libraries(jpeg-validate PRIVATE starvane_core)

add_executable(sha256-file ${CMAKE_CURRENT_LIST_DIR}/sha256file.cpp)
target_link_libraries(sha256-file PRIVATE starvane_core)
