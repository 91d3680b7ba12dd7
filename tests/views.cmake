# SPDX-License-Identifier: GPL-3.0-or-later
starvane_add_test(tst_theme LIBS starvane_ui)
starvane_add_test(tst_colorscheme LIBS starvane_ui)
starvane_add_test(tst_previewcard LIBS starvane_ui)
starvane_add_test(tst_contentview LIBS starvane_ui)
starvane_add_test(tst_historyview LIBS starvane_ui)
