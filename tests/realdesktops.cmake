# SPDX-License-Identifier: GPL-3.0-or-later
# The real desktops, headless (ctest -L realdesktop): one row of tests/realdesktops.sh per desktop, each
# running the real binary in that desktop's own session against the local archive.
add_executable(starvane-realdesktop-archive support/realdesktoparchive.cpp)
target_link_libraries(starvane-realdesktop-archive PRIVATE starvane_testsupport)
# Only the rows proven to pass twice in a row are registered; the script's other rows (mate, lxqt,
# cinnamon, budgie, gnome-xwayland, gnome-wayland) run by hand: tests/realdesktops.sh ROW STARVANE HELPER.
foreach(row xfce)
  add_test(NAME realdesktop_${row}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/realdesktops.sh ${row} $<TARGET_FILE:starvane>
            $<TARGET_FILE:starvane-realdesktop-archive>)
  set_tests_properties(realdesktop_${row} PROPERTIES LABELS realdesktop TIMEOUT 240 RUN_SERIAL TRUE)
endforeach()
