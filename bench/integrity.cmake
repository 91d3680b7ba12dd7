# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers for bench/jpeg-bench.sh (not tests: nothing here is registered with ctest). They compile the
# core's sources directly and link only Qt Core and libcrypto, so that process start-up (loading Qt Gui,
# Network, D-Bus) does not blur the comparison with single-library tools.
set(_integrity ${PROJECT_SOURCE_DIR}/src/core/integrity)
add_executable(jpeg-validate ${CMAKE_CURRENT_LIST_DIR}/jpegvalidate.cpp
  ${_integrity}/jpegintegrityvalidator.cpp ${_integrity}/jpegentropydecoder.cpp
  ${PROJECT_SOURCE_DIR}/src/core/models/errors.cpp)
add_executable(sha256-file ${CMAKE_CURRENT_LIST_DIR}/sha256file.cpp
  ${_integrity}/contenthash.cpp ${PROJECT_SOURCE_DIR}/src/core/models/errors.cpp)
foreach(tool jpeg-validate sha256-file)
  target_include_directories(${tool} PRIVATE ${PROJECT_SOURCE_DIR}/src/core)
  target_link_libraries(${tool} PRIVATE Qt6::Core OpenSSL::Crypto)
  set_target_properties(${tool} PROPERTIES AUTOMOC OFF)
endforeach()
