#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real-desktop suite: one row per desktop (ctest -L realdesktop runs every row). Each row starts the
# desktop's own programs headless in a private HOME and private buses, runs the real starvane binary in
# that session against the local test archive (as autostart would), and checks from screenshots that
# the screen shows Starvane's picture as that desktop scales it; then `starvane next` must change it.
#   tests/realdesktops.sh ROW STARVANE ARCHIVE_HELPER COMPARE_HELPER
# REALDESKTOP_BARE_TRAY=build/ci/bench/bench_bare_tray also prints, once the row passed, the idle memory
# of Starvane beside that bare Qt tray started in the same session (the figure bench/ reports elsewhere),
# then opens Starvane's window and takes a screenshot of it (window.png; KEEP=1 keeps it).
# Missing desktop packages fail the row, naming them (scripts/install-deps --tests installs them).
set -uo pipefail

ROW=${1:?row} STARVANE=${2:?starvane binary} ARCHIVE=${3:?archive helper} COMPARE=${4:?compare helper}
HERE=$(cd "$(dirname "$0")" && pwd)
W=1920 H=1080            # the screen of the X11 rows and GNOME's first monitor
LIMIT=${REALDESKTOP_TIMEOUT:-40}   # seconds for a picture to appear
# Where Starvane keeps its pictures in the rows that check that an awkward path reaches the desktop intact.
ODD='Bilder "Sterne" 100% — Ärger'"'"'s ☆'

# ---- the table: per row only what differs -------------------------------------------------------
row_packages() {
  case $ROW in
    xfce) echo xfdesktop4 xfconf xvfb imagemagick ;;
    mate) echo caja xvfb imagemagick ;;
    lxqt) echo pcmanfm-qt xvfb imagemagick ;;
    lxde) echo pcmanfm xvfb imagemagick ;;
    cinnamon) echo cinnamon cinnamon-session xvfb imagemagick ;;
    budgie) echo budgie-desktop xvfb imagemagick ;;
    gnome-xwayland) echo gnome-shell xwayland python3-gi ;;
    gnome-wayland | gnome-dark | gnome-each) echo gnome-shell qt6-wayland python3-gi ;;
    portal-*) echo gnome-shell xdg-desktop-portal xdg-desktop-portal-gnome qt6-wayland python3-gi ;;
  esac
}
row_desktop() {   # XDG_CURRENT_DESKTOP and the rest of the session's identity
  case $ROW in
    xfce) echo "XDG_CURRENT_DESKTOP=XFCE XDG_SESSION_TYPE=x11" ;;
    mate) echo "XDG_CURRENT_DESKTOP=MATE XDG_SESSION_TYPE=x11" ;;
    lxqt) echo "XDG_CURRENT_DESKTOP=LXQt XDG_SESSION_TYPE=x11" ;;
    lxde) echo "XDG_CURRENT_DESKTOP=LXDE XDG_SESSION_DESKTOP=LXDE DESKTOP_SESSION=LXDE XDG_SESSION_TYPE=x11" ;;
    cinnamon) echo "XDG_CURRENT_DESKTOP=X-Cinnamon XDG_SESSION_DESKTOP=cinnamon DESKTOP_SESSION=cinnamon XDG_SESSION_TYPE=x11" ;;
    budgie) echo "XDG_CURRENT_DESKTOP=Budgie:GNOME XDG_SESSION_DESKTOP=budgie-desktop DESKTOP_SESSION=budgie-desktop XDG_SESSION_TYPE=x11" ;;
    gnome-* | portal-*) echo "XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland" ;;
  esac
}
row_starvane_env() {   # what Starvane's own environment adds to the session's, into STARVANE_ENV
  case $ROW in
    lxqt | lxde | gnome-wayland) STARVANE_ENV=("XDG_DATA_HOME=$HOME/$ODD/share" "XDG_CACHE_HOME=$HOME/$ODD/cache") ;;
    # a Wayland desktop Starvane has no backend for: the portal is its only way
    portal-*) STARVANE_ENV=(XDG_CURRENT_DESKTOP=Elsewhere) ;;
    *) STARVANE_ENV=() ;;
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
    lxde)   # as LXDE's session starts it, without the desktop's icons
      mkdir -p "$XDG_CONFIG_HOME/pcmanfm/LXDE"
      printf '[*]\nshow_trash=0\nshow_documents=0\nshow_mounts=0\n' >"$XDG_CONFIG_HOME/pcmanfm/LXDE/desktop-items-0.conf"
      bg pcmanfm --desktop --profile LXDE
      wait_for 'xwininfo -root -tree | grep -q "\"pcmanfm\": (\"pcmanfm\" \"Pcmanfm\")  ${W}x${H}+0+0"' ;;
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
    gnome-* | portal-*)
      gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'
      mkdir -p "$XDG_DATA_HOME/gnome-shell" && touch "$XDG_DATA_HOME/gnome-shell/lock-warning-shown"
      [ $ROW = gnome-dark ] && gsettings set org.gnome.desktop.interface color-scheme prefer-dark
      local x11=--no-x11 monitors=(--virtual-monitor ${W}x${H})
      [ $ROW = gnome-xwayland ] && x11=   # with Xwayland, as a normal session
      [ $ROW = gnome-each ] && monitors+=(--virtual-monitor 1280x720)
      start_gnome_shell --headless --wayland ${x11:+"$x11"} "${monitors[@]}"
      # it starts in the overview
      gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set \
        org.gnome.Shell OverviewActive '<false>' >/dev/null
      export WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=wayland
      if [ $ROW = gnome-xwayland ]; then
        wait_for 'grep -q "Using public X11 display" "$WORK/gnome-shell.log"'
        export DISPLAY=$(grep -o 'Using public X11 display :[0-9]*' "$WORK/gnome-shell.log" | tail -1 | grep -o ':[0-9]*')
        export QT_QPA_PLATFORM=xcb XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -1)
      fi
      # The portal's backends are started by the bus and need the display, like in a real session.
      dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE DBUS_SYSTEM_BUS_ADDRESS
      if [ $ROW = portal-granted ]; then   # what "Allow" stores for host programs
        gdbus call --session -d org.freedesktop.impl.portal.PermissionStore -o /org/freedesktop/impl/portal/PermissionStore \
          -m org.freedesktop.impl.portal.PermissionStore.SetPermission wallpaper true wallpaper '' "['yes']" >/dev/null
      fi
      sleep 1.5 ;;
  esac
}
row_monitors() {  # one --monitor GEOMETRY:TOP:BOTTOM per monitor, the rows of its panels left out
  case $ROW in
    cinnamon | budgie) echo "--monitor ${W}x${H}+0+0:0:40" ;;   # bottom panel
    gnome-* | portal-*)                                        # the top bar, on the primary monitor
      "$HERE/support/gnomeshell.py" monitors | awk '{ printf "--monitor %s:%d:0 ", $1, NR == 1 ? 32 : 0 }' ;;
    *) echo "--monitor ${W}x${H}+0+0:0:0" ;;
  esac
}
row_shot() {      # screenshot of the whole screen into $1
  case $ROW in
    gnome-* | portal-*) "$HERE/support/gnomeshell.py" shot "$1" ;;
    *) DISPLAY=$XVFB_DISPLAY import -window root "$1" ;;
  esac
}
row_before_next() {   # what the row changes in Starvane once the first picture is shown
  case $ROW in
    gnome-each) starvane displays each && EACH=1 ;;
    lxde) starvane displays each && EACH=1 ;;   # pcmanfm spans the combined picture over the screen
    gnome-wayland) starvane lock-screen on ;;
  esac
}
shows_dimmed() {      # the screen matches the dimmed copy better than the original
  row_shot "$WORK/shot.png" 2>>"$WORK/shot.log" || return 1
  LAST=$("$COMPARE" "$WORK/shot.png" $MONITORS "$DARK" "$ORIGINAL" 2>&1) || return 1
  [ "$(sed -n 's/^shown: //p' <<<"$LAST")" = "$(basename "$DARK")" ]
}
row_checks() {        # the row's own checks once `starvane next` has changed the screen
  local file uri
  file=$(status_field file)
  case $ROW in
    lxqt | lxde | gnome-wayland)
      case $file in "$HOME/$ODD/"*) ;; *) fail "Starvane's picture is not in the folder with the awkward name: $file" ;; esac
      echo "  the desktop shows Starvane's file $file" ;;
  esac
  case $ROW in
    lxde)   # "each display": the combined picture, stretched by pcmanfm over the whole screen
      grep -qx 'wallpaper_mode=screen' "$XDG_CONFIG_HOME/pcmanfm/LXDE/desktop-items-0.conf" ||
        fail "pcmanfm does not span the combined picture: $(grep wallpaper "$XDG_CONFIG_HOME/pcmanfm/LXDE/desktop-items-0.conf")"
      echo "  pcmanfm: $(grep -E '^wallpaper(_mode)?=' "$XDG_CONFIG_HOME/pcmanfm/LXDE/desktop-items-0.conf" | tr '\n' ' ')" ;;
  esac
  case $ROW in
    gnome-*) uri=$(gsettings get org.gnome.desktop.background picture-uri) ;;
  esac
  case $ROW in
    gnome-each)   # one picture made of each display's own, spanned over all of them
      [ "$(gsettings get org.gnome.desktop.background picture-options)" = "'spanned'" ] ||
        fail "GNOME's picture-options are $(gsettings get org.gnome.desktop.background picture-options), not spanned"
      echo "  picture-options 'spanned', picture-uri $uri" ;;
    gnome-*)
      [ "$(file_of "$uri")" = "$file" ] || fail "GNOME's picture-uri $uri is not Starvane's file $file"
      [ "$(file_of "$(gsettings get org.gnome.desktop.background picture-uri-dark)")" = "$file" ] ||
        fail "GNOME's picture-uri-dark is not Starvane's file"
      echo "  picture-uri and picture-uri-dark are $uri" ;;
  esac
  case $ROW in
    gnome-dark)   # dimmed in the dark style: the shell shows the darker copy Starvane gives it as picture-uri-dark
      starvane dim-in-dark on >/dev/null || fail "starvane dim-in-dark on failed"
      wait_for 'case "$(gsettings get org.gnome.desktop.background picture-uri-dark)" in *.derived-dim-*) true ;; *) false ;; esac'
      DARK=$(file_of "$(gsettings get org.gnome.desktop.background picture-uri-dark)")
      [ "$(file_of "$(gsettings get org.gnome.desktop.background picture-uri)")" = "$file" ] ||
        fail "with the dimmed copy on, picture-uri is no longer the original"
      ORIGINAL=$file
      wait_for shows_dimmed
      echo "  dimmed: picture-uri-dark $DARK, on screen rather than the original:"; echo "$LAST" ;;
  esac
  case $ROW in
    portal-*)   # the picture went through the portal: GNOME's backend shows its own copy
      uri=$(gsettings get org.gnome.desktop.background picture-uri)
      [ "$(file_of "$uri")" = "$XDG_CONFIG_HOME/background" ] || fail "GNOME's picture-uri $uri is not the portal's copy"
      echo "  through the portal: picture-uri $uri" ;;
  esac
  case $ROW in
    gnome-wayland)   # the lock screen is on: the shell's own settings have the picture
      uri=$(gsettings get org.gnome.desktop.screensaver picture-uri)
      [ "$(file_of "$uri")" = "$file" ] || fail "the lock screen's picture-uri $uri is not Starvane's file $file"
      echo "  lock screen: org.gnome.desktop.screensaver picture-uri = $uri" ;;
    gnome-* | portal-*)   # the lock screen is off: nothing of it is touched
      [ "$(gsettings get org.gnome.desktop.screensaver picture-uri)" = "$LOCK_BEFORE" ] ||
        fail "the lock screen's picture changed while Starvane's lock-screen setting is off"
      echo "  lock screen untouched: $LOCK_BEFORE" ;;
  esac
}

# ---- the shared part ------------------------------------------------------------------------------
fail() { echo "FAIL [$ROW]: $*"; exit 1; }

if [ "${REALDESKTOP_INNER:-}" != 1 ]; then
  [ -n "$(row_packages)" ] || fail "no such row"
  missing=()
  for p in $(row_packages); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} = 0 ] || fail "desktop packages missing: ${missing[*]} (install them with scripts/install-deps --tests)"
  WORK=$(mktemp -d /tmp/starvane-realdesktop-$ROW.XXXXXX)
  mkdir -p "$WORK/home/.config" "$WORK/home/.local/share" "$WORK/home/.cache" "$WORK/run" "$WORK/services"
  chmod 700 "$WORK/run"
  # A bus of its own configuration: it activates only the services the desktop needs, and the portals
  # only in the rows that test them, so no other row starts one by accident.
  for f in /usr/share/dbus-1/services/*.service; do
    case $ROW:$(basename "$f") in portal-*) ;; *:org.freedesktop.portal.* | *:org.freedesktop.impl.portal.*) continue ;; esac
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
    REALDESKTOP_BARE_TRAY="${REALDESKTOP_BARE_TRAY:-}" \
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
# A program that hangs (GNOME Shell does, see start_gnome_shell) gets three seconds, then SIGKILL.
stop() {
  local pid=$1 i
  kill "$pid" 2>/dev/null
  for i in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  pkill -KILL -P "$pid" 2>/dev/null; kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
}
cleanup() { local i; for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do stop "${PIDS[i]}"; done; }
trap cleanup EXIT
bg() { "$@" >>"$WORK/$(basename "$1").log" 2>&1 & PIDS+=($!); }
poll_for() { local i; for i in $(seq 1 $(($1 * 10))); do eval "$2" && return 0; sleep 0.1; done; return 1; }
wait_for() { poll_for "$LIMIT" "$1" || fail "timed out waiting for: $1"; }
# GNOME Shell 43 now and then hangs for good while it starts: it forks to spawn a helper and runs
# JavaScript in the child, which can block on a lock another thread held at the fork. What the row
# tests begins once the shell is up, so a shell that hangs is stopped and started once more.
start_gnome_shell() {
  local attempt
  for attempt in 1 2 3; do
    bg gnome-shell "$@"
    poll_for 20 'grep -q "GNOME Shell started at" "$WORK/gnome-shell.log"' && return 0
    echo "  GNOME Shell did not finish starting (attempt $attempt); started again"
    stop "${PIDS[-1]}"; unset 'PIDS[-1]'
    rm -f "$XDG_RUNTIME_DIR"/wayland-0 "$XDG_RUNTIME_DIR"/wayland-0.lock
  done
  fail "GNOME Shell did not start in three attempts"
}
start_xvfb() {
  : >"$WORK/displayfd"
  Xvfb -displayfd 3 -screen 0 "${W}x${H}x24" -nolisten tcp -noreset 3>"$WORK/displayfd" >"$WORK/Xvfb.log" 2>&1 &
  PIDS+=($!)
  wait_for '[ -s "$WORK/displayfd" ]'
  export DISPLAY=:$(head -1 "$WORK/displayfd") QT_QPA_PLATFORM=xcb GDK_BACKEND=x11
  XVFB_DISPLAY=$DISPLAY
}
row_starvane_env
starvane() { timeout 20 env "${STARVANE_ENV[@]}" "$STARVANE" "$@"; }
status_field() { starvane status --json | /usr/bin/python3 -c 'import json,sys; v=json.load(sys.stdin).get(sys.argv[1]); print("" if v is None else v)' "$1"; }
file_of() { /usr/bin/python3 -c 'import sys, urllib.parse as u; s = sys.argv[1]; s = s[1:-1] if s[:1] in "\x27\x22" else s; print(u.unquote(u.urlparse(s).path) if s.startswith("file:") else s)' "$1"; }

# Without logind some of these desktops die; an empty private bus stands in for the system bus.
dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/system_bus" --nofork --nopidfile >"$WORK/sysbus.log" 2>&1 &
PIDS+=($!)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system_bus"

# shown [--not PICTURE]: whether each monitor shows one of the archive's pictures (never PICTURE), each
# its own once EACH is set; prints what was compared into $LAST, the pictures into SHOWN.
EACH=0
shown() {
  row_shot "$WORK/shot.png" 2>>"$WORK/shot.log" || { LAST="no screenshot"; return 1; }
  LAST=$("$COMPARE" "$WORK/shot.png" $MONITORS "$@" "$WORK"/archive/*.jpg 2>&1)
  local rc=$?
  SHOWN=$(sed -n 's/^shown: //p' <<<"$LAST")
  [ $rc = 0 ] || return 1
  [ $EACH = 0 ] || [ "$(tr ' ' '\n' <<<"$SHOWN" | sort -u | wc -l)" = "$(wc -w <<<"$SHOWN")" ]
}
wait_shown() {
  local t0=$(date +%s%N) i
  for i in $(seq 1 $((LIMIT * 2))); do
    # Shown, and still shown a moment later: desktops that fade pass through near-matches on the way.
    if shown "$@"; then
      local seen=$SHOWN
      sleep 0.5
      if shown "$@" && [ "$SHOWN" = "$seen" ]; then
        echo "  shown after $(( ($(date +%s%N) - t0) / 1000000 )) ms:"; echo "$LAST"; return 0
      fi
    fi
    sleep 0.5
  done
  return 1
}

[[ $ROW = gnome-* || $ROW = portal-* ]] || start_xvfb
T=$(date +%s%N)
row_start
echo "[$ROW] desktop up after $(( ($(date +%s%N) - T) / 1000000 )) ms"
MONITORS=$(row_monitors)
LOCK_BEFORE=$(gsettings get org.gnome.desktop.screensaver picture-uri 2>/dev/null)

"$ARCHIVE" "$WORK/archive" >"$WORK/archive-url" 2>"$WORK/archive.log" &
PIDS+=($!)
wait_for '[ -s "$WORK/archive-url" ]'
export STARVANE_TEST_ARCHIVE_WEB=$(head -1 "$WORK/archive-url") STARVANE_TEST_ARCHIVE_IMAGES=$(head -1 "$WORK/archive-url")

# The control: before Starvane runs, the screen shows none of its pictures.
shown && fail "the screen already shows $SHOWN before Starvane ran"
[ "$LAST" = "no screenshot" ] && fail "no screenshot could be taken"
echo "  control (before):"; echo "$LAST"

bg env "${STARVANE_ENV[@]}" "$STARVANE" --at-login   # as the session starts it
case $ROW in
  portal-allow | portal-deny)
    # The desktop asks the person first: Starvane must say so, and wait as long as the question is open.
    wait_for '[ "$(status_field askingForPermission)" = True ]'
    echo "  Starvane's status while the desktop asks: $(starvane status | head -3 | tr '\n' ' ')"
    sleep 1   # the question's opening animation
    if [ $ROW = portal-allow ]; then "$HERE/support/gnomeshell.py" keys Tab Return; else "$HERE/support/gnomeshell.py" keys Escape; fi ;;
esac
if [ $ROW = portal-deny ]; then
  wait_for 'status_field error | grep -q "does not allow"'
  echo "  refused: $(status_field error)"
  starvane next >"$WORK/next.log" 2>&1
  sleep 3
  shown && fail "the screen shows $SHOWN though the desktop refused"
  [ "$(status_field askingForPermission)" = False ] || fail "the refusal was asked again"
  status_field error | grep -q "does not allow" || fail "after a refusal, next says: $(status_field error)"
  echo "  the screen kept its picture after the refusal and after starvane next:"; echo "$LAST"
  echo "PASS [$ROW]: the refusal is shown as such and nothing changed on screen"
  exit 0
fi
wait_shown || fail "Starvane's picture never appeared on the screen (closest: $LAST); log: $(tail -5 "$WORK/starvane-app.log")"
first=$SHOWN
row_before_next
starvane next >"$WORK/next.log" 2>&1 || fail "starvane next failed: $(cat "$WORK/next.log")"
not=(); for p in $first; do not+=(--not "$WORK/archive/$p"); done
wait_shown "${not[@]}" || fail "after starvane next the screen did not change to another picture (closest: $LAST)"
row_checks
if [ -n "${REALDESKTOP_BARE_TRAY:-}" ]; then
  bg env "${STARVANE_ENV[@]}" "$REALDESKTOP_BARE_TRAY"
  sleep 15   # idle: the change is over, freed memory has gone back
  rss() { echo "$(awk '/^Rss:/ { print int($2 / 1024) }' "/proc/$1/smaps_rollup") MiB$(grep -q libqgtk3 "/proc/$1/maps" && echo " (with Qt's GTK 3 theme)")"; }
  app=$(pgrep -u "$(id -u)" -f -- "^$STARVANE --at-login" | head -1) tray=${PIDS[-1]}
  echo "  idle RSS: Starvane $(rss "$app"), a bare Qt tray $(rss "$tray")"
  starvane show && sleep 2 && row_shot "$WORK/window.png" && echo "  the window in this session: $WORK/window.png"
fi
echo "PASS [$ROW]: $first then, after starvane next, $SHOWN"
