#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real-desktop suite: one row per desktop (ctest -L realdesktop runs every row). Each row starts the
# desktop's own programs headless in a private HOME and private buses, runs the real starvane binary in
# that session against the local test archive (as autostart would), and checks from screenshots that
# the screen shows Starvane's picture as that desktop scales it; then `starvane next` must change it.
#   tests/realdesktops.sh ROW STARVANE ARCHIVE_HELPER
# Missing desktop packages fail the row, naming them (scripts/install-deps --tests installs them).
set -uo pipefail

ROW=${1:?row} STARVANE=${2:?starvane binary} ARCHIVE=${3:?archive helper}
HERE=$(cd "$(dirname "$0")" && pwd)
W=1920 H=1080            # every screen
LIMIT=${REALDESKTOP_TIMEOUT:-40}   # seconds for a picture to appear

# ---- the table: per row only what differs -------------------------------------------------------
# packages; environment of the session; how the desktop starts; how its screen is shot; what the
# comparison leaves out (panels), as WxH+X+Y of the part of the screen that must show the picture.
row_packages() {
  case $ROW in
    xfce) echo xfdesktop4 xfconf xvfb imagemagick ;;
    mate) echo caja xvfb imagemagick ;;
    lxqt) echo pcmanfm-qt xvfb imagemagick ;;
    cinnamon) echo cinnamon cinnamon-session xvfb imagemagick ;;
    budgie) echo budgie-desktop xvfb imagemagick ;;
    gnome-xwayland) echo gnome-shell xwayland python3-gi imagemagick ;;
    gnome-wayland) echo gnome-shell qt6-wayland python3-gi imagemagick ;;
  esac
}
row_desktop() {   # XDG_CURRENT_DESKTOP and the rest of the session's identity
  case $ROW in
    xfce) echo "XDG_CURRENT_DESKTOP=XFCE XDG_SESSION_TYPE=x11" ;;
    mate) echo "XDG_CURRENT_DESKTOP=MATE XDG_SESSION_TYPE=x11" ;;
    lxqt) echo "XDG_CURRENT_DESKTOP=LXQt XDG_SESSION_TYPE=x11" ;;
    cinnamon) echo "XDG_CURRENT_DESKTOP=X-Cinnamon XDG_SESSION_DESKTOP=cinnamon DESKTOP_SESSION=cinnamon XDG_SESSION_TYPE=x11" ;;
    budgie) echo "XDG_CURRENT_DESKTOP=Budgie:GNOME XDG_SESSION_DESKTOP=budgie-desktop DESKTOP_SESSION=budgie-desktop XDG_SESSION_TYPE=x11" ;;
    gnome-*) echo "XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland" ;;
  esac
}
row_area() {      # the part of the screen compared: all of it but the desktop's panels
  case $ROW in
    cinnamon | budgie) echo "${W}x$((H - 40))+0+0" ;;      # bottom panel
    gnome-*) echo "${W}x$((H - 32))+0+32" ;;                 # top bar
    *) echo "${W}x${H}+0+0" ;;
  esac
}
row_start() {     # starts the desktop on the display the row prepared
  case $ROW in
    xfce)
      xfconf-query -c xfce4-desktop -p /desktop-icons/style -n -t int -s 0
      bg xfdesktop --disable-wm-check
      wait_for 'xwininfo -root -tree | grep -q "\"Desktop\": (\"xfdesktop\""' ;;
    mate)
      for k in computer-icon-visible home-icon-visible trash-icon-visible volumes-visible network-icon-visible; do
        gsettings set org.mate.caja.desktop $k false
      done
      bg caja -n --force-desktop
      wait_for 'xwininfo -root -tree | grep -q "\"Desktop\": (\"desktop_window\" \"Caja\")"' ;;
    lxqt)
      bg pcmanfm-qt --desktop
      wait_for 'xwininfo -root -tree | grep -q "\"pcmanfm-qt\": (\"pcmanfm-qt\" \"pcmanfm-qt\")  ${W}x${H}+0+0"' ;;
    cinnamon)
      gsettings set org.cinnamon.desktop.session idle-delay 0
      gsettings set org.cinnamon.desktop.screensaver lock-enabled false
      bg cinnamon-session --session cinnamon
      wait_for 'grep -q "Cinnamon started at" "$WORK/cinnamon-session.log"'; sleep 1 ;;
    budgie)
      local s=org.buddiesofbudgie.BudgieDesktop.session
      # Without logind the polkit agent exits and the session would show its failure screen.
      mkdir -p "$XDG_CONFIG_HOME/gnome-session/sessions"
      sed 's/org.buddiesofbudgie.BudgiePolkit;//' /usr/share/gnome-session/sessions/$s >"$XDG_CONFIG_HOME/gnome-session/sessions/$s"
      gsettings set org.gnome.desktop.session idle-delay 0
      bg budgie-desktop
      wait_for 'gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.NameHasOwner org.budgie_desktop.Panel 2>/dev/null | grep -q true'
      sleep 2 ;;
    gnome-*)
      gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'
      mkdir -p "$XDG_DATA_HOME/gnome-shell" && touch "$XDG_DATA_HOME/gnome-shell/lock-warning-shown"
      local x11=--no-x11; [ $ROW = gnome-xwayland ] && x11=--xwayland
      bg gnome-shell --headless --wayland $x11 --virtual-monitor ${W}x${H}
      wait_for 'grep -q "GNOME Shell started at" "$WORK/gnome-shell.log"'
      # it starts in the overview
      gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set \
        org.gnome.Shell OverviewActive '<false>' >/dev/null
      export WAYLAND_DISPLAY=wayland-0
      if [ $ROW = gnome-xwayland ]; then
        wait_for '[ -n "$(ls /tmp/.X11-unix 2>/dev/null)" ] && grep -q "Xwayland" "$WORK/gnome-shell.log"'
        export DISPLAY=$(grep -o 'Using public X11 display :[0-9]*' "$WORK/gnome-shell.log" | tail -1 | grep -o ':[0-9]*')
        export QT_QPA_PLATFORM=xcb
      else
        export QT_QPA_PLATFORM=wayland
      fi
      sleep 1.5 ;;
  esac
}
row_shot() {      # screenshot of the whole screen into $1
  case $ROW in
    gnome-*) /usr/bin/python3 - "$1" <<'PY' ;;
import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
# GNOME Shell gives screenshots only to callers that own one of its trusted names.
bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'RequestName',
              GLib.Variant('(su)', ('org.gnome.Screenshot', 4)), None, 0, -1, None)
ok, _ = bus.call_sync('org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot', 'org.gnome.Shell.Screenshot',
                      'Screenshot', GLib.Variant('(bbs)', (False, False, sys.argv[1])), None, 0, 20000, None).unpack()
sys.exit(0 if ok else 1)
PY
    *) DISPLAY=$XVFB_DISPLAY import -window root "$1" ;;
  esac
}
row_display() {   # the display server, for the X11 rows
  case $ROW in
    gnome-*) ;;
    *) start_xvfb ;;
  esac
}

# ---- the shared part ------------------------------------------------------------------------------
fail() { echo "FAIL [$ROW]: $*"; exit 1; }

if [ "${REALDESKTOP_INNER:-}" != 1 ]; then
  missing=()
  for p in $(row_packages); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ -n "$(row_packages)" ] || fail "no such row"
  [ ${#missing[@]} = 0 ] || fail "desktop packages missing: ${missing[*]} (install them with scripts/install-deps --tests)"
  WORK=$(mktemp -d /tmp/starvane-realdesktop-$ROW.XXXXXX)
  mkdir -p "$WORK/home/.config" "$WORK/home/.local/share" "$WORK/home/.cache" "$WORK/run" "$WORK/services"
  chmod 700 "$WORK/run"
  # A bus of its own configuration: it activates only the services the desktop needs, never the portals
  # (which the portal rows start on purpose), so no row starts one by accident.
  for f in /usr/share/dbus-1/services/*.service; do
    case $(basename "$f") in org.freedesktop.portal.* | org.freedesktop.impl.portal.*) continue ;; esac
    ln -s "$f" "$WORK/services/"
  done
  sed -e 's|<standard_session_servicedirs */>|<servicedir>'"$WORK/services"'</servicedir>|' \
    /usr/share/dbus-1/session.conf >"$WORK/session.conf"
  # Several of these desktops refuse to run as root, or show a banner that never goes away.
  as=(); [ "$(id -u)" = 0 ] && { chown -R nobody:nogroup "$WORK"; as=(setpriv --reuid=nobody --regid=nogroup --clear-groups); }
  T0=$(date +%s%N)
  "${as[@]}" env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" \
    XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share" XDG_CACHE_HOME="$WORK/home/.cache" \
    $(row_desktop) WORK="$WORK" REALDESKTOP_INNER=1 STARVANE_E2E_LOG="$WORK/starvane-app.log" \
    dbus-run-session --config-file="$WORK/session.conf" -- "$0" "$@" 2>"$WORK/session-stderr.log"
  rc=$?
  echo "row $ROW took $(( ($(date +%s%N) - T0) / 1000000 )) ms"
  if [ $rc != 0 ]; then
    for log in "$WORK"/*.log; do echo "--- $(basename "$log") (last lines)"; tail -15 "$log"; done
  fi
  [ "${KEEP:-0}" = 1 ] && echo "kept $WORK" || rm -rf "$WORK"
  exit $rc
fi

# ---- inside the private session --------------------------------------------------------------------
PIDS=()
cleanup() { local i; for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null; wait "${PIDS[i]}" 2>/dev/null; done; }
trap cleanup EXIT
bg() { "$@" >>"$WORK/$(basename "$1").log" 2>&1 & PIDS+=($!); }
wait_for() { local i; for i in $(seq 1 300); do eval "$1" && return 0; sleep 0.1; done; fail "timed out waiting for: $1"; }
start_xvfb() {
  : >"$WORK/displayfd"
  Xvfb -displayfd 3 -screen 0 "${W}x${H}x24" -nolisten tcp -noreset 3>"$WORK/displayfd" >"$WORK/Xvfb.log" 2>&1 &
  PIDS+=($!)
  wait_for '[ -s "$WORK/displayfd" ]'
  export DISPLAY=:$(head -1 "$WORK/displayfd") QT_QPA_PLATFORM=xcb GDK_BACKEND=x11
  XVFB_DISPLAY=$DISPLAY
}

# Without logind some of these desktops die; an empty private bus stands in for the system bus.
dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/system_bus" --nofork --nopidfile >"$WORK/sysbus.log" 2>&1 &
PIDS+=($!)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system_bus"

area=$(row_area)
# shows PICTURE SHOT: compares the shot with the picture scaled as the desktop's "zoom" scales it
# (cover, centre crop) over the compared area; prints what it compared; true on a match.
shows() {
  local expected="$WORK/expected-$(basename "$1" .jpg).png"
  [ -f "$expected" ] || convert "$1" -filter Triangle -resize "${W}x${H}^" -gravity center -extent "${W}x${H}" +repage \
    -crop "$area" +repage "$expected"
  convert "$2" -crop "$area" +repage "$WORK/area.png" || return 1
  local mean worst bad total
  mean=$(compare -metric MAE "$WORK/area.png" "$expected" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p')
  worst=$(compare -metric PAE "$WORK/area.png" "$expected" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p')
  bad=$(compare -metric AE -fuzz 19% "$WORK/area.png" "$expected" null: 2>&1 | cut -d' ' -f1)
  total=$(( ${area%%x*} * $(echo "$area" | sed 's/^[0-9]*x\([0-9]*\).*/\1/') ))
  LAST="$(basename "$1"): mean difference $(awk "BEGIN{printf \"%.2f\", $mean*255}")/255, worst pixel $(awk "BEGIN{printf \"%.0f\", $worst*255}")/255, $(awk "BEGIN{printf \"%.3f\", 100*$bad/$total}")% of $total px off by more than 48"
  awk "BEGIN{exit !($mean*255 <= 6 && $bad/$total <= 0.01)}"
}
# wait_shown [NOT]: waits until the screen shows one of the archive's pictures other than NOT; sets SHOWN.
wait_shown() {
  local t0=$(date +%s%N) i pic
  for i in $(seq 1 $((LIMIT * 2))); do
    row_shot "$WORK/shot.png" 2>>"$WORK/shot.log" || { sleep 0.5; continue; }
    for pic in "$WORK"/archive/*.jpg; do
      [ "$pic" = "${1:-}" ] && continue
      if shows "$pic" "$WORK/shot.png"; then
        SHOWN=$pic; echo "  shown after $(( ($(date +%s%N) - t0) / 1000000 )) ms: $LAST"; return 0
      fi
    done
    sleep 0.5
  done
  return 1
}

row_display
T=$(date +%s%N)
row_start
echo "[$ROW] desktop up after $(( ($(date +%s%N) - T) / 1000000 )) ms"

"$ARCHIVE" "$WORK/archive" >"$WORK/archive-url" 2>"$WORK/archive.log" &
PIDS+=($!)
wait_for '[ -s "$WORK/archive-url" ]'
export STARVANE_TEST_ARCHIVE_WEB=$(head -1 "$WORK/archive-url") STARVANE_TEST_ARCHIVE_IMAGES=$(head -1 "$WORK/archive-url")

# The control: before Starvane runs, the screen shows none of its pictures.
row_shot "$WORK/before.png" || fail "no screenshot could be taken"
for pic in "$WORK"/archive/*.jpg; do
  shows "$pic" "$WORK/before.png" && fail "the screen already shows $(basename "$pic") before Starvane ran"
done
echo "  control (before): $LAST"

bg "$STARVANE"
wait_shown || fail "Starvane's picture never appeared on the screen (closest: $LAST); log: $(tail -5 "$WORK/starvane-app.log")"
first=$SHOWN
timeout 20 "$STARVANE" next >"$WORK/next.log" 2>&1 || fail "starvane next failed: $(cat "$WORK/next.log")"
wait_shown "$first" || fail "after starvane next the screen did not change to another picture (closest: $LAST)"
echo "PASS [$ROW]: $(basename "$first") then, after starvane next, $(basename "$SHOWN")"
