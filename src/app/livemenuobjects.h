// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#ifdef STARVANE_TEST_HOOKS
#include <QJsonObject>

namespace Starvane {

/// Test builds only: how many menus and actions exist right now, {"menus": n, "actions": m}, so that a
/// long run of the real program can tell whether rebuilding the menus leaves anything behind.
QJsonObject liveMenuObjects();

} // namespace Starvane
#endif
