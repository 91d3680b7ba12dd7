# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(starvane_testsupport PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/support/jpegcorpus.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/jpegreference.cpp
)
starvane_add_test(tst_jpegintegrityvalidator)
starvane_add_test(tst_wallpapercache LIBS Qt6::Concurrent)
starvane_add_test(tst_checkimage)
