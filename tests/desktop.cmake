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
