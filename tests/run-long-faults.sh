#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The long fault runs, too slow for every test run: 50 kills of the real program during rotations,
# a full day (288) of five-minute rotations, and 500 changes of the real program in a tray with flat
# memory and menus. Usage: tests/run-long-faults.sh [build dir, default build/ci]
set -eu
build=${1:-build/ci}
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.*=false;*.debug=false'
echo "== 50 kills during rotations"
STARVANE_KILL_RUNS=${STARVANE_KILL_RUNS:-50} STARVANE_BINARY="$here/$build/src/app/starvane" \
  timeout 900 "$build/tests/tst_appfaults" killedDuringRotations 2>&1 | grep -E '^(PASS|FAIL|QINFO.*(kill|kills|config folder)|   Loc|Totals)'
echo "== 288 rotations at five minutes"
STARVANE_SOAK_ROTATIONS=${STARVANE_SOAK_ROTATIONS:-288} \
  timeout 900 "$build/tests/tst_soak" 2>&1 | grep -E '^(PASS|FAIL|QINFO.*soak:|   Loc|Totals)'
echo "== 500 changes of the real program in a tray"
timeout 1800 "$here/tests/run-long-changes.sh" "$build" "${STARVANE_LONG_CHANGES:-500}"
