# SPDX-License-Identifier: GPL-3.0-or-later
# Preview decoding: reduced JPEG decode against a full decode of the same file.
add_executable(bench_preview ${CMAKE_CURRENT_LIST_DIR}/bench_preview.cpp)
target_link_libraries(bench_preview PRIVATE starvane_ui)

# Renders the main window in each state, light and dark, as PNG files (uses the test fakes).
if(TARGET starvane_testsupport)
  add_executable(starvane-screenshots ${CMAKE_CURRENT_LIST_DIR}/screenshots.cpp)
  target_link_libraries(starvane-screenshots PRIVATE starvane_ui starvane_testsupport)
  target_compile_definitions(starvane-screenshots PRIVATE STARVANE_VERSION="${PROJECT_VERSION}")
endif()
