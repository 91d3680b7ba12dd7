# SPDX-License-Identifier: GPL-3.0-or-later
starvane_add_test(tst_commandline LIBS starvane_shell)

# The real binary on a private X server, private buses and a loopback archive (the archive and
# desktop test helpers come with archive.cmake and desktop.cmake).
starvane_add_test(tst_e2e LIBS PkgConfig::STARVANE_DESKTOP_LIBS Qt6::Network LABELS e2e)
target_compile_definitions(tst_e2e PRIVATE STARVANE_BINARY="$<TARGET_FILE:starvane>")
add_dependencies(tst_e2e starvane)
set_tests_properties(tst_e2e PROPERTIES TIMEOUT 300)
target_compile_definitions(tst_e2e PRIVATE STANDIN_NM="$<TARGET_FILE:starvane-standin-nm>")
add_dependencies(tst_e2e starvane-standin-nm)
