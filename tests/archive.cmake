# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(starvane_testsupport PRIVATE support/archiveserver.cpp)

starvane_add_test(tst_catalogparser)
starvane_add_test(tst_detailparser)
starvane_add_test(tst_hubbleapiclient)
