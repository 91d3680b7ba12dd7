# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(starvane_testsupport PRIVATE support/desktopharness.cpp)

starvane_add_test(tst_desktopdetector)
starvane_add_test(tst_wallpaperapplier)
starvane_add_test(tst_x11rootbackend LIBS PkgConfig::STARVANE_DESKTOP_LIBS)
starvane_add_test(tst_gsettingsbackend)
starvane_add_test(tst_xfconfbackend)
starvane_add_test(tst_plasmabackend)
starvane_add_test(tst_systemevents)
starvane_add_test(tst_swaybackend)
starvane_add_test(tst_portalbackend)
starvane_add_test(tst_lxqtbackend)

# A stand-in NetworkManager for the network state tests (run on a private system bus).
add_executable(starvane-standin-nm support/standinnetworkmanager.cpp)
target_link_libraries(starvane-standin-nm PRIVATE Qt6::DBus)
target_link_libraries(starvane_testsupport PUBLIC Qt6::DBus)
starvane_add_test(tst_networkstatus LIBS Qt6::Network)
target_compile_definitions(tst_networkstatus PRIVATE STANDIN_NM="$<TARGET_FILE:starvane-standin-nm>")
add_dependencies(tst_networkstatus starvane-standin-nm)
