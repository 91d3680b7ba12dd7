#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program against a real KDE Plasma 5 shell: a picture of its own on each display, and the lock
# screen. Run by hand (it is not part of ctest): it needs root and a Debian 12 root folder with Plasma in it,
# so that the machine's own system stays untouched.
#
# Needs, once:
#   apt-get install debootstrap imagemagick python3
#   debootstrap --variant=minbase bookworm /work/plasmaroot http://deb.debian.org/debian
#   (mount proc, sys and /dev into it for the install, as this script does)
#   chroot /work/plasmaroot apt-get install -y --no-install-recommends plasma-workspace plasma-desktop \
#       kactivitymanagerd dbus-x11 x11-xserver-utils libgl1-mesa-dri libkf5config-bin \
#       xserver-xorg-core xserver-xorg-video-dummy
# and the ci build (build/ci: the program with test hooks and bench_archive_serve).
#
# Run:  tests/run-plasma-check.sh [build dir, default build/ci]    (PLASMAROOT overrides /work/plasmaroot)
#       KEEP=1 keeps the scratch folder (logs, screenshots).
#
# What it does: Xorg with the dummy driver inside the root (two RandR outputs, DUMMY0 1920x1080 at 0,0 and
# DUMMY1 1080x1920 at 1920,0; Qt 5's plasmashell sees RandR outputs, not RandR monitors, so Xvfb's
# "xrandr --setmonitor" gives it one screen only), a session bus inside the root whose socket the host
# reaches through the root folder, kactivitymanagerd and plasmashell. The program runs on the host with
# XDG_CURRENT_DESKTOP=KDE against a local archive, is switched to "each" display and asked for a new
# picture, then the lock screen setting is switched on. Its scratch folder is bind-mounted into the root
# at the same path, so both sides see the same picture files; kwriteconfig5 on its PATH is the root's
# own, run inside the root.
# Checks, each printed as PASS or FAIL:
#   0. while the lock screen setting is off, nothing is written to kscreenlockerrc;
#   1. plasmashell (read back with evaluateScript) shows on each of its screens the file the program
#      reports for the display with the same geometry, and the two files differ;
#   2. plasmashell's own configuration file names both files;
#   3. a screenshot shows each picture filled and centre-cropped on its own monitor (it matches that
#      picture clearly better than the other one);
#   4. kscreenlockerrc in the Plasma home holds the main display's picture (Image, PreviewImage) and the
#      image plugin, read back with the root's kreadconfig5;
#   5. the screen locker's greeter (kscreenlocker_greet --testing) shows that picture.
# Exits 0 when everything passed, 1 otherwise, 77 when something it needs is missing.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/ci}" && pwd)
root=${PLASMAROOT:-/work/plasmaroot}
bin=$build/src/app/starvane
serve=$build/bench/bench_archive_serve
libexec=/usr/lib/x86_64-linux-gnu/libexec

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root (chroot and mount)"
for f in "$bin" "$serve"; do [ -x "$f" ] || skip "$f is not built"; done
for p in python3 import convert compare; do command -v "$p" >/dev/null || skip "$p is missing"; done
for f in /usr/bin/plasmashell "$libexec/kactivitymanagerd" "$libexec/kscreenlocker_greet" /usr/bin/kwriteconfig5 \
    /usr/bin/kreadconfig5 /usr/bin/qdbus /usr/lib/xorg/Xorg /usr/lib/xorg/modules/drivers/dummy_drv.so \
    /usr/bin/xrandr /usr/bin/dbus-daemon; do
    [ -e "$root$f" ] || skip "$root has no $f (see the top of this script)"
done
for d in 77 78 79 80 81 82 83 84 85 86; do
    if [ ! -e /tmp/.X11-unix/X$d ] && [ ! -e /tmp/.X$d-lock ]; then display=:$d; break; fi
done
[ -n "${display:-}" ] || skip "no free X display number"

work=$(mktemp -d /tmp/starvane-plasma.XXXXXX)
phome=/tmp/plasma-home # the Plasma user's home, inside the root
bus=unix:path=$root/tmp/plasma-bus
mounts=()
pids=()
failed=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failed=1; }

cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    # Every process living in the root was started by us (the bus starts services of its own).
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill "${p#/proc/}" 2>/dev/null
    done
    sleep 1
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
    done
    wait 2>/dev/null
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -R "${mounts[i]}" || echo "could not unmount ${mounts[i]}"; done
    rmdir "$root$work" 2>/dev/null
    [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

bind() { # $1 = host folder, $2 = its place inside the root
    mkdir -p "$root$2" && mount --rbind "$1" "$root$2" && mount --make-rslave "$root$2" && mounts+=("$root$2")
}
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount -t sysfs sys "$root/sys" && mounts+=("$root/sys")
bind /dev /dev
bind /tmp/.X11-unix /tmp/.X11-unix
bind "$work" "$work"

inroot() { # runs a command inside the root with the Plasma session's environment
    chroot "$root" env -i HOME=$phome PATH=/usr/bin:/bin:/usr/sbin:/sbin LANG=C.UTF-8 DISPLAY=$display \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/tmp/plasma-bus XDG_RUNTIME_DIR=$phome/runtime XDG_SESSION_TYPE=x11 \
        XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 QT_QUICK_BACKEND=software "$@"
}
rm -rf "${root:?}$phome" "$root/tmp/plasma-bus"
mkdir -p "$root$phome/runtime" && chmod 700 "$root$phome/runtime"

echo "== Xorg (dummy driver) on $display inside $root"
cat >"$root$phome/dummy.conf" <<'EOF'
Section "ServerFlags"
    Option "AutoAddDevices" "false"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 3000 1920
    EndSubSection
EndSection
EOF
inroot /usr/lib/xorg/Xorg "$display" -config $phome/dummy.conf -noreset -nolisten tcp -logfile $phome/Xorg.log \
    >"$work/xorg.log" 2>&1 </dev/null &
pids+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
inroot xrandr --newmode 1080x1920 140.40 1080 1100 1120 1200 1920 1923 1926 1950 +hsync +vsync
inroot xrandr --addmode DUMMY1 1080x1920
inroot xrandr --output DUMMY0 --mode 1920x1080 --pos 0x0 --primary --output DUMMY1 --mode 1080x1920 --pos 1920x0 ||
    { fail "xrandr could not set up two outputs"; exit 1; }
inroot xrandr --listmonitors

echo "== session bus, kactivitymanagerd, plasmashell"
inroot dbus-daemon --session --address=unix:path=/tmp/plasma-bus --nofork >"$work/bus.log" 2>&1 </dev/null &
pids+=($!)
for _ in $(seq 50); do [ -S "$root/tmp/plasma-bus" ] && break; sleep 0.1; done
inroot dbus-update-activation-environment DISPLAY XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP KDE_FULL_SESSION \
    KDE_SESSION_VERSION QT_QUICK_BACKEND
inroot "$libexec/kactivitymanagerd" >"$work/kamd.log" 2>&1 </dev/null &
pids+=($!)
sleep 1
inroot plasmashell --no-respawn >"$work/plasmashell.log" 2>&1 </dev/null &
pids+=($!)
owned() { inroot qdbus org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true; }
for _ in $(seq 120); do owned org.kde.plasmashell && break; sleep 0.25; done
owned org.kde.plasmashell || { fail "plasmashell did not take its bus name"; tail -20 "$work/plasmashell.log"; exit 1; }
plasma() { inroot qdbus org.kde.plasmashell /PlasmaShell org.kde.PlasmaShell.evaluateScript "$1"; }
screens_script='var r=[];for(var i=0;i<screenCount;++i){var g=screenGeometry(i);var d=desktopForScreen(i);var o={screen:i,x:g.x,y:g.y,width:g.width,height:g.height,image:""};if(d){d.currentConfigGroup=["Wallpaper","org.kde.image","General"];o.image=String(d.readConfig("Image"));}r.push(o);}print(JSON.stringify(r));'
for _ in $(seq 40); do [ "$(plasma "$screens_script" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))' 2>/dev/null)" = 2 ] && break; sleep 0.25; done
echo "plasmashell's screens: $(plasma "$screens_script")"

echo "== the program, in \"each\" display mode"
# Several catalog pages: a portrait display looks a few pages further for a portrait picture.
coproc ARCHIVE { exec "$serve" 4; }
pids+=($ARCHIVE_PID)
read -r -t 60 origin <&"${ARCHIVE[0]}" || { fail "the local archive did not start"; exit 1; }
home=$work/home
mkdir -p "$home/tmp" "$home/runtime" "$home/.config/Starvane" "$work/bin" && chmod 700 "$home/runtime"
printf '[General]\nstarvane.settings.v1="@ByteArray({\\"frequency\\":\\"manual\\",\\"displayScope\\":\\"allDisplays\\",\\"isPaused\\":false})"\n' \
    >"$home/.config/Starvane/Starvane.conf"
# The root's own configuration tool, writing into the Plasma user's configuration.
cat >"$work/bin/kwriteconfig5" <<EOF
#!/bin/sh
exec chroot "$root" env -i HOME=$phome PATH=/usr/bin:/bin kwriteconfig5 "\$@"
EOF
chmod +x "$work/bin/kwriteconfig5"
run=(env -u XDG_SESSION_DESKTOP -u DESKTOP_SESSION -u WAYLAND_DISPLAY -u KDE_SESSION_VERSION
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache"
    XDG_RUNTIME_DIR="$home/runtime" TMPDIR="$home/tmp" DISPLAY="$display" QT_QPA_PLATFORM=xcb
    DBUS_SESSION_BUS_ADDRESS="$bus" XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
    PATH="$work/bin:$PATH" STARVANE_TEST_ARCHIVE_WEB="$origin" STARVANE_TEST_ARCHIVE_IMAGES="$origin")
"${run[@]}" "$bin" --at-login >"$work/app.log" 2>&1 &
pids+=($!)
status_json() { timeout 10 "${run[@]}" "$bin" status --json 2>/dev/null; }
for _ in $(seq 150); do [ -n "$(status_json)" ] && break; sleep 0.1; done
[ -n "$(status_json)" ] || { fail "the program did not start: $(tail -3 "$work/app.log")"; exit 1; }
timeout 10 "${run[@]}" "$bin" displays each
timeout 10 "${run[@]}" "$bin" next
# Settled: nothing loading, a file for every display, the lock screen setting as $2 (True or False).
settled() {
    python3 -c '
import json, sys
s = json.loads(sys.argv[1])
ok = not s["loading"] and s["displays"] == "each" and str(s["lockScreen"]) == sys.argv[2] \
    and len(s["screens"]) == 2 and all(d["file"] for d in s["screens"])
sys.exit(0 if ok else 1)' "$1" "$2"
}
for _ in $(seq 300); do status=$(status_json); settled "$status" False && break; sleep 0.1; done
settled "$status" False || { fail "the program did not settle on a picture per display"; tail -20 "$work/app.log"; exit 1; }
echo "== 0. the lock screen while its setting is off"
[ -e "$root$phome/.config/kscreenlockerrc" ] && fail "kscreenlockerrc was written while the setting was off" ||
    pass "nothing was written for the lock screen while the setting was off"
timeout 10 "${run[@]}" "$bin" lock-screen on
for _ in $(seq 100); do status=$(status_json); settled "$status" True && break; sleep 0.1; done
echo "status: $status"
[ "$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["error"])' "$status")" = None ] ||
    fail "the program reports an error"
sleep 4 # Plasma fades the new picture in

echo "== 1. what plasmashell shows, per screen"
shown=$(plasma "$screens_script")
echo "plasmashell: $shown"
# Lines "x y width height file" per display, as the program reports them, the main display first.
python3 -c '
import json, sys
for d in json.loads(sys.argv[1])["screens"]:
    g = d["geometry"]
    print(g["x"], g["y"], g["width"], g["height"], d["file"])' "$status" >"$work/displays"
python3 -c '
import json, sys, urllib.parse
shown = json.loads(sys.argv[1])
rows = [l.split(" ", 4) for l in open(sys.argv[2]).read().splitlines()]
ok = len(shown) == len(rows) == 2 and rows[0][4] != rows[1][4]
for x, y, w, h, f in rows:
    match = [s for s in shown if (s["x"], s["y"], s["width"], s["height"]) == (int(x), int(y), int(w), int(h))]
    image = match[0]["image"] if match else ""
    path = urllib.parse.unquote(urllib.parse.urlparse(image).path)
    print("  display %sx%s+%s+%s: program %s, Plasma screen %s %s" % (w, h, x, y, f, match[0]["screen"] if match else "?", image))
    ok = ok and path == f
sys.exit(0 if ok else 1)' "$shown" "$work/displays" &&
    pass "each Plasma screen shows the file of the display with its geometry, and they differ" ||
    fail "Plasma screens do not show the displays' own files"

echo "== 2. plasmashell's configuration file"
appletsrc=$root$phome/.config/plasma-org.kde.plasma.desktop-appletsrc
found=0
for _ in $(seq 60); do
    found=1
    while read -r x y w h f; do
        grep -qF "$(python3 -c 'import sys,urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$f")" "$appletsrc" 2>/dev/null ||
            grep -qF "$f" "$appletsrc" 2>/dev/null || found=0
    done <"$work/displays"
    [ "$found" = 1 ] && break
    sleep 0.5
done
grep -n '^Image=' "$appletsrc" 2>/dev/null | sed 's/^/  /'
[ "$found" = 1 ] && pass "$appletsrc names both files" || fail "$appletsrc does not name both files"

# How far the region of a screenshot is from a picture filled and centre-cropped into it (RMSE, 0..1).
# The bottom of the region is left out: Plasma's panel sits there.
distance() { # $1 = screenshot, $2 = picture, $3..$6 = x y width height
    local keep=$(( $6 * 8 / 10 ))
    convert "$2" -resize "$5x$6^" -gravity center -extent "$5x$6" +gravity -crop "$5x$keep+0+0" +repage -resize 64x64! \
        "$work/want.png"
    convert "$1" -crop "$5x$keep+$3+$4" +repage -resize 64x64! "$work/got.png"
    compare -metric RMSE "$work/want.png" "$work/got.png" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p'
}
# True when each display's region matches its own picture well and clearly better than the other one.
pictures_on_monitors() { # $1 = screenshot
    local ok=0 rows
    mapfile -t rows <"$work/displays"
    local i
    for i in 0 1; do
        read -r x y w h f <<<"${rows[i]}"
        read -r _ _ _ _ other <<<"${rows[1 - i]}"
        own=$(distance "$1" "$f" "$x" "$y" "$w" "$h")
        swapped=$(distance "$1" "$other" "$x" "$y" "$w" "$h")
        echo "  ${w}x${h}+${x}+${y}: distance to its picture $own, to the other display's $swapped"
        python3 -c 'import sys; a, b = float(sys.argv[1]), float(sys.argv[2]); sys.exit(0 if a < 0.06 and a * 2 < b else 1)' \
            "$own" "$swapped" || ok=1
    done
    return $ok
}

echo "== 3. screenshot"
import -display "$display" -window root "$work/desktop.png"
pictures_on_monitors "$work/desktop.png" && pass "the screenshot shows each picture on its own monitor" ||
    fail "the screenshot does not show each picture on its own monitor ($work/desktop.png)"

echo "== 4. kscreenlockerrc"
main_file=$(head -1 "$work/displays" | cut -d' ' -f5-)
main_url=$(python3 -c 'import sys,pathlib; print(pathlib.Path(sys.argv[1]).as_uri())' "$main_file")
read_lock() { chroot "$root" env -i HOME=$phome PATH=/usr/bin:/bin kreadconfig5 --file kscreenlockerrc "$@"; }
image_group=(--group Greeter --group Wallpaper --group org.kde.image --group General)
for _ in $(seq 50); do [ -n "$(read_lock "${image_group[@]}" --key Image)" ] && break; sleep 0.1; done
lock_image=$(read_lock "${image_group[@]}" --key Image)
lock_preview=$(read_lock "${image_group[@]}" --key PreviewImage)
lock_plugin=$(read_lock --group Greeter --key WallpaperPlugin)
sed 's/^/  /' "$root$phome/.config/kscreenlockerrc" 2>/dev/null
same_file() { python3 -c 'import sys,urllib.parse; sys.exit(0 if urllib.parse.unquote(urllib.parse.urlparse(sys.argv[1]).path) == sys.argv[2] else 1)' "$1" "$2"; }
if same_file "$lock_image" "$main_file" && same_file "$lock_preview" "$main_file" && [ "$lock_plugin" = org.kde.image ]; then
    pass "kscreenlockerrc holds the main display's picture ($main_url)"
else
    fail "kscreenlockerrc: Image=$lock_image PreviewImage=$lock_preview WallpaperPlugin=$lock_plugin, wanted $main_url"
fi

echo "== 5. the screen locker's greeter"
inroot "$libexec/kscreenlocker_greet" --testing >"$work/greeter.log" 2>&1 </dev/null &
greeter=$!
pids+=($greeter)
sleep 6
import -display "$display" -window root "$work/locked.png"
kill "$greeter" 2>/dev/null
x=$(head -1 "$work/displays" | cut -d' ' -f1-4)
own=$(distance "$work/locked.png" "$main_file" $x)
other=$(distance "$work/locked.png" "$(sed -n 2p "$work/displays" | cut -d' ' -f5-)" $x)
echo "  main display: distance to the lock screen picture $own, to the other display's $other"
python3 -c 'import sys; a, b = float(sys.argv[1]), float(sys.argv[2]); sys.exit(0 if a < 0.08 and a * 2 < b else 1)' \
    "$own" "$other" && pass "the greeter shows the picture" || fail "the greeter does not show the picture ($work/locked.png)"

if [ -n "${KEEP:-}" ]; then
    convert "$work/desktop.png" -resize 750x480 "$work/desktop-small.png"
    convert "$work/locked.png" -resize 750x480 "$work/locked-small.png"
fi
[ "$failed" = 0 ] && echo "PASS: all Plasma checks" || echo "FAIL: some Plasma checks failed"
exit "$failed"
