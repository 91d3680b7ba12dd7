starvane_add_test(tst_menubar LIBS starvane_shell)
starvane_add_test(tst_updatecontroller LIBS starvane_shell)
# GLib's desktop-entry reader stands in for the session that starts the autostart entry.
find_package(PkgConfig REQUIRED)
pkg_check_modules(STARVANE_GIO_UNIX REQUIRED IMPORTED_TARGET gio-unix-2.0)
starvane_add_test(tst_launchatlogin LIBS starvane_shell PkgConfig::STARVANE_GIO_UNIX)
target_compile_definitions(tst_launchatlogin PRIVATE STARVANE_PACKAGING_DIR="${PROJECT_SOURCE_DIR}/packaging")
starvane_add_test(tst_controlservice LIBS starvane_shell)
target_compile_definitions(tst_controlservice PRIVATE
  STARVANE_CONTROL_XML="${PROJECT_SOURCE_DIR}/src/app/com.quorvex.Starvane.Control.xml")
starvane_add_test(tst_notifier LIBS starvane_shell)
# Every text a person reads has a German and a French translation, and none bypasses translation.
find_package(Qt6 6.4 REQUIRED COMPONENTS LinguistTools)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME check_translations
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check-translations $<TARGET_FILE:Qt6::lupdate> ${PROJECT_SOURCE_DIR})
