# SPDX-License-Identifier: GPL-3.0-or-later
# The real desktops, headless (ctest -L realdesktop): one row of tests/realdesktops.sh per desktop, each
# running the real binary in that desktop's own session against the local archive.
add_executable(starvane-realdesktop-archive support/realdesktoparchive.cpp)
target_link_libraries(starvane-realdesktop-archive PRIVATE starvane_testsupport)
# The screen check: which archive picture each monitor of a screenshot shows.
add_executable(starvane-realdesktop-compare support/realdesktopcompare.cpp)
target_link_libraries(starvane-realdesktop-compare PRIVATE Qt6::Gui)
foreach(row xfce mate lxqt lxde cinnamon budgie gnome-xwayland gnome-wayland gnome-dark gnome-each portal-granted
            portal-allow portal-deny)
  add_test(NAME realdesktop_${row}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/realdesktops.sh ${row} $<TARGET_FILE:starvane>
            $<TARGET_FILE:starvane-realdesktop-archive> $<TARGET_FILE:starvane-realdesktop-compare>)
  set_tests_properties(realdesktop_${row} PROPERTIES LABELS realdesktop TIMEOUT 240 RUN_SERIAL TRUE)
endforeach()
