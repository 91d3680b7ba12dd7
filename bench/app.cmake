# SPDX-License-Identifier: GPL-3.0-or-later
# The application's resource budget (bench/app-budget.sh) and its floor, a bare Qt tray program.
add_executable(bench_bare_tray ${CMAKE_CURRENT_LIST_DIR}/bare_tray.cpp)
target_link_libraries(bench_bare_tray PRIVATE Qt6::Widgets)

add_executable(bench_sniwatcher ${CMAKE_CURRENT_LIST_DIR}/sniwatcher.cpp)
target_link_libraries(bench_sniwatcher PRIVATE Qt6::DBus)

if(TARGET starvane_testsupport)
  add_executable(bench_archive_serve ${CMAKE_CURRENT_LIST_DIR}/archive_serve.cpp)
  target_link_libraries(bench_archive_serve PRIVATE starvane_testsupport)
endif()

if(TARGET starvane_testsupport)
  # Bytes per change with "Save data" off and on, against a counting loopback archive.
  add_executable(bench_datasaving ${CMAKE_CURRENT_LIST_DIR}/datasaving.cpp)
  target_link_libraries(bench_datasaving PRIVATE starvane_testsupport)
endif()
