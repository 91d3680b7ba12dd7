// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace Starvane {

/// Test builds only, and only when STARVANE_TEST_LATENCY_PROBE is set: a 1 ms timer on the main thread
/// whose lateness is recorded and summarised on stderr when the application quits. Elsewhere: nothing.
void installLatencyProbeIfRequested();

} // namespace Starvane
