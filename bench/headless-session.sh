# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that drive the real program: a private X server, session bus and tray watcher.
# The caller sets $work (a scratch folder) and the array pids (children it kills by pid on exit).

# Prints the programs of this list that are missing, one a line.
missing_programs() {
    local p
    for p in "$@"; do command -v "$p" >/dev/null 2>&1 || echo "$p"; done
}

# Xvfb on a free display, a session bus and, when given, the stand-in tray watcher ($1) logging to
# $work/sni.log. Sets $display and $bus.
start_session() {
    local d
    for d in $(seq 90 130); do
        if [ ! -e /tmp/.X11-unix/X$d ] && [ ! -e /tmp/.X$d-lock ]; then display=:$d; break; fi
    done
    Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

    dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/bus" ] && break; sleep 0.1; done
    bus=$(head -1 "$work/bus")

    touch "$work/sni.log"
    if [ -n "${1:-}" ]; then
        $(base_env "$work/watcher") "$1" >"$work/sni.log" 2>&1 &
        pids+=($!)
        for _ in $(seq 50); do grep -q ready "$work/sni.log" && break; sleep 0.1; done
    fi
}

base_env() { # $1 = home
    mkdir -p "$1/tmp" "$1/runtime" && chmod 700 "$1/runtime"
    echo env -u XDG_CURRENT_DESKTOP -u XDG_SESSION_DESKTOP -u DESKTOP_SESSION -u WAYLAND_DISPLAY \
        HOME="$1" XDG_CONFIG_HOME="$1/.config" XDG_DATA_HOME="$1/.local/share" XDG_CACHE_HOME="$1/.cache" \
        XDG_RUNTIME_DIR="$1/runtime" TMPDIR="$1/tmp" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS="$bus" GSETTINGS_BACKEND=memory
}

# Settings that keep the program in manual mode, so only our requests change the wallpaper.
write_manual_settings() { # $1 = home
    mkdir -p "$1/.config/Starvane"
    printf '[General]\nstarvane.settings.v1="@ByteArray({\\"frequency\\":\\"manual\\",\\"displayScope\\":\\"allDisplays\\",\\"isPaused\\":false})"\n' \
        >"$1/.config/Starvane/Starvane.conf"
}

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
