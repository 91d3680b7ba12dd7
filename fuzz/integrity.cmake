# SPDX-License-Identifier: GPL-3.0-or-later
# The JPEG validator on arbitrary bytes; also insists that the fast and the literal walk agree.
starvane_fuzz_coverage(integrity integrity/jpegintegrityvalidator.cpp integrity/jpegentropydecoder.cpp)
add_executable(fuzz_jpegvalidator
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_jpegvalidator.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/jpegreference.cpp
)
target_include_directories(fuzz_jpegvalidator PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_options(fuzz_jpegvalidator PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_jpegvalidator PRIVATE starvane_integrity)
