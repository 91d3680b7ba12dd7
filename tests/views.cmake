# SPDX-License-Identifier: GPL-3.0-or-later
starvane_add_test(tst_theme LIBS starvane_ui)
starvane_add_test(tst_colorscheme LIBS starvane_ui)
starvane_add_test(tst_previewcard LIBS starvane_ui)
# On two laptop screens (1366×768, and the same at 125 %) so the window-geometry rows can place it on each.
starvane_add_test(tst_contentview LIBS starvane_ui
  ENV "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_SOURCE_DIR}/data/screens-laptop.json")
starvane_add_test(tst_historyview LIBS starvane_ui)
