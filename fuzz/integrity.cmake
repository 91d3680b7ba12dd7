# SPDX-License-Identifier: GPL-3.0-or-later
# The JPEG validator on arbitrary bytes; also insists that the fast and the literal walk agree.
# Built from sources (not starvane_core) so that only Qt Core is needed.
add_executable(fuzz_jpegvalidator
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_jpegvalidator.cpp
  ${PROJECT_SOURCE_DIR}/src/core/integrity/jpegintegrityvalidator.cpp
  ${PROJECT_SOURCE_DIR}/src/core/integrity/jpegentropydecoder.cpp
  ${PROJECT_SOURCE_DIR}/src/core/models/errors.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/jpegreference.cpp
)
target_include_directories(fuzz_jpegvalidator PRIVATE
  ${PROJECT_SOURCE_DIR}/src/core ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_options(fuzz_jpegvalidator PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(fuzz_jpegvalidator PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_jpegvalidator PRIVATE Qt6::Core)
set_target_properties(fuzz_jpegvalidator PROPERTIES AUTOMOC OFF)
