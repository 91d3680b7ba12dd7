#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The application's resource budget, side by side with a bare Qt tray program (the floor), on Xvfb
# with a private session bus, a stand-in tray watcher and a local archive.
#   bench/app-budget.sh [build dir, default build/ci] [JPEG quality of the big image, default 97, or "smooth"]
# Prints: start to tray, idle RSS (also beside a stand-in NetworkManager, when the tests are built, and
# split into shared and private memory), wake-ups while idle, RSS after an 8000×4500 rotation, and the
# main thread's stalls during that fetch (the test-hook latency probe; PROBE_MS=8 lists those over 8 ms).
set -u
build=$(cd "${1:-build/ci}" && pwd)
quality=${2:-97}
# Main-loop lateness listed as a stall: a frame at 60 Hz unless PROBE_MS says otherwise.
probe_ms=${PROBE_MS:-16}
bin=$build/src/app/starvane
bench=$build/bench
work=$(mktemp -d /tmp/starvane-budget.XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "$0")/headless-session.sh"
start_session "$bench/bench_sniwatcher"

switches() { # per thread: "tid voluntary+involuntary context switches"; each switch is a wake-up
    local t
    for t in /proc/"$1"/task/*; do
        awk -v tid="${t##*/}" '/ctxt_switches/ {s += $2} END {print tid, s}' "$t/status" 2>/dev/null
    done
}

# Switches between two readings, over the threads present at both: a pool thread that ends meanwhile
# takes its whole count with it, and one that starts brings its own.
switches_between() { # $1, $2 = files written by switches
    awk 'NR == FNR {before[$1] = $2; next} ($1 in before) {s += $2 - before[$1]} END {print s + 0}' "$1" "$2"
}

# Start to tray: from exec to the item's registration with the watcher.
start_to_tray() { # $1 = label, rest = command; leaves the pid in $started and the time in $tray_ms
    local before t0 t1
    before=$(grep -c sni-registered "$work/sni.log")
    t0=$(date +%s%N)
    "${@:2}" >"$work/$1.log" 2>&1 &
    started=$!
    pids+=($started)
    for _ in $(seq 200); do
        [ "$(grep -c sni-registered "$work/sni.log")" -gt "$before" ] && break
        sleep 0.02
    done
    t1=$(grep sni-registered "$work/sni.log" | tail -1 | awk '{print $2}')
    tray_ms=$(( (t1 - t0) / 1000000 ))
}

# Resident memory split into what is shared with the page cache and other processes (library code,
# which fault-around maps in 64 KiB runs) and what belongs to this process alone.
memory_split() { # $1 = pid
    grep -E '^(Rss|Pss|Shared_Clean|Private_Clean|Private_Dirty|Anonymous):' "/proc/$1/smaps_rollup" | tr -s ' ' |
        paste -sd ' ' | sed 's/^/  /'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# Waits until the program shows a picture and is no longer busy; prints its status.
wait_for_rotation() {
    for _ in $(seq 300); do
        status=$("$@" status 2>/dev/null)
        echo "$status" | grep -q '^File:' && ! echo "$status" | grep -q Updating && break
        sleep 0.1
    done
    echo "$status" | sed 's/^/  /'
}

idle_figures() { # $1 = pid; prints "RSS KiB, wake-ups in 30 s, polls in 30 s"
    local polls
    switches "$1" >"$work/switches0.$1"
    timeout 30 strace -f -p "$1" -e trace=poll,ppoll,epoll_wait,epoll_pwait,select,pselect6 -o "$work/strace.$1" \
        >/dev/null 2>&1
    switches "$1" >"$work/switches1.$1"
    polls=$(grep -cE 'poll|select|epoll' "$work/strace.$1")
    echo "$(rss_kib "$1") KiB, $(switches_between "$work/switches0.$1" "$work/switches1.$1") context switches," \
        "$polls poll calls"
}

echo "== floor: bare Qt tray program"
start_to_tray bare $(base_env "$work/bare") "$bench/bench_bare_tray"
floor_ms=$tray_ms
floor_pid=$started
sleep 5
echo "start to tray: ${floor_ms} ms"
echo "idle 30 s: $(idle_figures "$floor_pid")"
floor_rss=$(rss_kib "$floor_pid")
memory_split "$floor_pid"
kill "$floor_pid"

echo "== starvane: first start, one 1920x1080 rotation from a local archive"
coproc ARCHIVE { "$bench/bench_archive_serve"; }
read -r origin <&"${ARCHIVE[0]}"
home=$work/home1
run=($(base_env "$home") STARVANE_TEST_ARCHIVE_WEB="$origin" STARVANE_TEST_ARCHIVE_IMAGES="$origin")
start_to_tray app "${run[@]}" "$bin" --at-login
app_ms=$tray_ms
app_pid=$started
echo "start to tray: ${app_ms} ms"
wait_for_rotation "${run[@]}" "$bin"
sleep 10
echo "idle 30 s after the rotation: $(idle_figures "$app_pid")"
echo "  idle RSS against the floor: $(ratio "$(rss_kib "$app_pid")" "$floor_rss")x (no NetworkManager: GLib's monitor runs)"
memory_split "$app_pid"
"${run[@]}" "$bin" show >/dev/null 2>&1
sleep 3
echo "30 s with the main window shown (its footer ticks): $(idle_figures "$app_pid")"
"${run[@]}" "$bin" quit >/dev/null 2>&1
wait "$app_pid" 2>/dev/null

# Most desktops run NetworkManager, which the program asks instead of starting GLib's own monitor.
standin_nm=$build/tests/starvane-standin-nm
if [ -x "$standin_nm" ]; then
    echo "== starvane: the same rotation with NetworkManager on the system bus (a stand-in)"
    dbus-daemon --session --nofork --print-address=3 3>"$work/sysbus" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/sysbus" ] && break; sleep 0.1; done
    sysbus=$(head -1 "$work/sysbus")
    DBUS_SYSTEM_BUS_ADDRESS=$sysbus "$standin_nm" >/dev/null 2>&1 &
    pids+=($!)
    run=($(base_env "$work/home1nm") DBUS_SYSTEM_BUS_ADDRESS="$sysbus" STARVANE_TEST_ARCHIVE_WEB="$origin"
         STARVANE_TEST_ARCHIVE_IMAGES="$origin")
    sleep 0.5
    "${run[@]}" "$bin" --at-login >"$work/app-nm.log" 2>&1 &
    app_pid=$!
    pids+=($app_pid)
    wait_for_rotation "${run[@]}" "$bin"
    sleep 10
    grep -o 'Network information from [a-z]*' "$work/app-nm.log" | sed 's/^/  /'
    echo "idle RSS after the rotation: $(rss_kib "$app_pid") KiB, against the floor: $(ratio "$(rss_kib "$app_pid")" "$floor_rss")x"
    memory_split "$app_pid"
    "${run[@]}" "$bin" quit >/dev/null 2>&1
    wait "$app_pid" 2>/dev/null
else
    echo "(no $standin_nm: build the tests to measure the program beside NetworkManager)"
fi
archive_pid=$ARCHIVE_PID
eval "exec ${ARCHIVE[1]}>&-"
wait "$archive_pid" 2>/dev/null

echo "== starvane: one big picture (8000x4500, JPEG quality $quality), manual mode, latency probe on"
coproc BIG { "$bench/bench_archive_serve" 8000x4500 "$quality" 2>"$work/big.log"; }
read -r origin <&"${BIG[0]}"
sed 's/^/  /' "$work/big.log"
home=$work/home2
write_manual_settings "$home"
run=($(base_env "$home") STARVANE_TEST_ARCHIVE_WEB="$origin" STARVANE_TEST_ARCHIVE_IMAGES="$origin"
     STARVANE_TEST_LATENCY_PROBE="$probe_ms")
"${run[@]}" "$bin" --at-login >"$work/big-app.log" 2>&1 &
app_pid=$!
pids+=($app_pid)
for _ in $(seq 100); do "${run[@]}" "$bin" status >/dev/null 2>&1 && break; sleep 0.1; done
"${run[@]}" "$bin" status | grep -q 'Manual mode' || echo "  (warning: not in manual mode)"
sleep 3
echo "idle RSS before the fetch: $(rss_kib "$app_pid") KiB"
t_next=$(date +%s%3N)
"${run[@]}" "$bin" next >/dev/null
for _ in $(seq 1200); do
    status=$("${run[@]}" "$bin" status 2>/dev/null)
    echo "$status" | grep -q '^File:' && ! echo "$status" | grep -q Updating && break
    sleep 0.1
done
t_done=$(date +%s%3N)
echo "$status" | sed 's/^/  /'
echo "fetch took about $((t_done - t_next)) ms"
for s in 1 5 15; do sleep_for=$s; sleep "$sleep_for"; echo "RSS ${s}+ s after the rotation: $(rss_kib "$app_pid") KiB"; done
"${run[@]}" "$bin" quit >/dev/null 2>&1
wait "$app_pid" 2>/dev/null
kill "$BIG_PID" 2>/dev/null
grep '^latency-probe: samples' "$work/big-app.log"
awk -v t="$t_next" -v e="$t_done" '/^latency-probe: stall at/ {gsub(":", "", $4); if ($4 >= t && $4 <= e) {n++; if ($5 > m) m = $5}}
    END {printf "stalls over %s ms during the fetch: %d, longest %.1f ms\n", p, n, m}' p="$probe_ms" "$work/big-app.log"
