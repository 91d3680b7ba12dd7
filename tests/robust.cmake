# SPDX-License-Identifier: GPL-3.0-or-later
# Fault and endurance tests: kills, damaged state, unwritable caches, a compressed day of rotations.
target_sources(starvane_testsupport PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/wallpaperarchive.cpp)
target_compile_definitions(starvane_testsupport PRIVATE STARVANE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")

starvane_add_test(tst_soak LIBS Qt6::Network ENV STARVANE_SOAK_ROTATIONS=30)
starvane_add_test(tst_appfaults LIBS Qt6::DBus ENV STARVANE_KILL_RUNS=8 STARVANE_BINARY=$<TARGET_FILE:starvane>)
add_dependencies(tst_appfaults starvane starvane-standin-nm)
target_compile_definitions(tst_appfaults PRIVATE STANDIN_NM="$<TARGET_FILE:starvane-standin-nm>")
starvane_add_test(tst_cachefaults)
