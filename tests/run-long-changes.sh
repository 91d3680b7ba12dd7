#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A long run of the real program in a tray: many wallpaper changes requested with "starvane next" from a
# local archive, on Xvfb with a private session bus and a stand-in tray watcher. The tray menu is rebuilt
# on every change; resident memory and the live menus and actions must stay flat between the early
# figures (after $warmup changes) and the end. Exits non-zero when they do not.
#   tests/run-long-changes.sh [build dir, default build/ci] [changes, default 500] [warm-up, default 50]
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build/ci}" && pwd)
changes=${2:-500}
warmup=${3:-50}
bin=$build/src/app/starvane
bench=$build/bench
rss_slack_kib=1024
pids=()
. "$here/bench/headless-session.sh"

missing=$(missing_programs Xvfb dbus-daemon dbus-send)
if [ -n "$missing" ]; then
    echo "SKIP: the long run needs $(echo $missing) (packages xvfb, dbus)"
    exit 0
fi
for f in "$bin" "$bench/bench_sniwatcher" "$bench/bench_archive_serve"; do
    [ -x "$f" ] || { echo "SKIP: $f is not built (the ci preset builds it)"; exit 0; }
done

work=$(mktemp -d /tmp/starvane-long.XXXXXX)
cleanup() {
    [ -n "${ARCHIVE_PID:-}" ] && kill "$ARCHIVE_PID" 2>/dev/null
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

start_session "$bench/bench_sniwatcher"
# A new picture for every change, as the real archive has: the program moves on to later catalog pages
# and does not show one again.
coproc ARCHIVE { exec "$bench/bench_archive_serve" $(( changes / 12 + 2 )); }
read -r -t 120 origin <&"${ARCHIVE[0]}" || { echo "FAIL: the local archive did not start"; exit 1; }

home=$work/home
write_manual_settings "$home"
run=($(base_env "$home") STARVANE_TEST_ARCHIVE_WEB="$origin" STARVANE_TEST_ARCHIVE_IMAGES="$origin")
"${run[@]}" "$bin" --at-login >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

status_json() { timeout 10 "${run[@]}" "$bin" status --json 2>/dev/null; }
field() { # $1 = JSON, $2 = key: a string, number or literal value of that key
    sed -n "s/.*\"$2\":\(\"[^\"]*\"\|[^,}]*\).*/\1/p" <<<"$1"
}
for _ in $(seq 150); do [ -n "$(status_json)" ] && break; sleep 0.1; done
live_menu_objects() {
    timeout 10 dbus-send --bus="$bus" --print-reply --dest=com.quorvex.Starvane /com/quorvex/Starvane \
        com.quorvex.Starvane.Control.LiveMenuObjects 2>/dev/null | sed -n 's/^ *string //p'
}
if [ -z "$(field "$(live_menu_objects)" menus)" ]; then
    echo "SKIP: $bin is built without test hooks (STARVANE_TEST_HOOKS), or did not start: $(tail -1 "$work/app.log")"
    exit 0
fi
for _ in $(seq 100); do grep -q sni-registered "$work/sni.log" && break; sleep 0.1; done
item=$(awk '/sni-registered/ {print $3; exit}' "$work/sni.log")
[ -n "$item" ] || { echo "FAIL: no tray item registered with the watcher"; exit 1; }
item_service=${item%%/*}
item_path=/StatusNotifierItem
[ "$item_service" != "$item" ] && item_path=/${item#*/}
menu_path=$(timeout 10 dbus-send --bus="$bus" --print-reply --dest="$item_service" "$item_path" \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:Menu 2>/dev/null |
    sed -n 's/.*object path "\(.*\)"/\1/p')
# The first line of the menu the tray host sees: the title of the wallpaper when the menu was last built.
menu_title() {
    timeout 10 dbus-send --bus="$bus" --print-reply --dest="$item_service" "$menu_path" \
        com.canonical.dbusmenu.GetLayout int32:0 int32:1 array:string:label 2>/dev/null |
        awk '/string "label"/ {getline; sub(/^[^"]*"/, ""); sub(/"$/, ""); print; exit}'
}

change() { # requests one change and waits for it to end; fails when it does not end or ends in an error
    local before now
    before=$(field "$(status_json)" file)
    timeout 10 "${run[@]}" "$bin" next >/dev/null 2>&1 || return 1
    for _ in $(seq 600); do
        now=$(status_json)
        if [ "$(field "$now" loading)" = false ]; then
            [ "$(field "$now" error)" != null ] && { echo "change ended in an error: $now"; return 1; }
            if [ "$(field "$now" file)" != "$before" ]; then
                # Rebuilt from the store's signals: the host may see the new title a moment later.
                for _ in $(seq 40); do
                    [ "\"$(menu_title)\"" = "$(field "$now" title)" ] && return 0
                    sleep 0.05
                done
                echo "the tray menu still shows \"$(menu_title)\", not $(field "$now" title)"
                return 1
            fi
        fi
        sleep 0.05
    done
    echo "change did not end within 30 s: $now"
    return 1
}

figures() { # $1 = label; waits for the memory release after a change, then prints and keeps the figures
    sleep 3
    local json
    json=$(live_menu_objects)
    rss=$(rss_kib "$app")
    menus=$(field "$json" menus)
    actions=$(field "$json" actions)
    echo "$1: RSS $rss KiB, live QMenu $menus, live QAction $actions"
}

[ -n "$menu_path" ] || { echo "FAIL: the tray item exports no menu"; exit 1; }
echo "== $changes changes with \"starvane next\" from a local archive; after each, the tray menu on the bus shows the new title"
started=$(date +%s)
for i in $(seq "$changes"); do
    if ! change; then
        echo "FAIL: change $i"
        tail -5 "$work/app.log"
        exit 1
    fi
    if [ "$i" -eq "$warmup" ]; then
        figures "after $i changes"
        rss0=$rss menus0=$menus actions0=$actions
    fi
done
figures "after $changes changes"
echo "took $(( $(date +%s) - started )) s; uptime:$(uptime | sed 's/.*load average/ load average/')"

failed=0
if [ -z "$menus" ] || [ -z "$actions" ] || [ -z "$rss" ]; then
    echo "FAIL: figures missing"; failed=1
fi
if [ "$failed" = 0 ] && [ $(( rss - rss0 )) -gt "$rss_slack_kib" ]; then
    echo "FAIL: RSS grew by $(( rss - rss0 )) KiB (allowed $rss_slack_kib)"; failed=1
fi
if [ "$menus" != "$menus0" ] || [ "$actions" != "$actions0" ]; then
    echo "FAIL: live menus/actions went from $menus0/$actions0 to $menus/$actions"; failed=1
fi
if ! "${run[@]}" timeout 10 "$bin" quit >/dev/null 2>&1; then echo "FAIL: quit"; failed=1; fi
[ "$failed" = 0 ] && echo "PASS: flat after $changes changes"
exit "$failed"
