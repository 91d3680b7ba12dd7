#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# What the real-desktop suite asks of a running GNOME Shell on the session bus:
#   gnomeshell.py shot FILE     screenshot of every monitor into FILE (PNG)
#   gnomeshell.py monitors      the logical monitors as WxH+X+Y, primary first, one a line
#   gnomeshell.py keys KEY...   types keys (Tab, Return, Escape) as a person at the keyboard would
import sys
import time

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(name, path, iface, method, args=None, reply=None, timeout=20000):
    return bus.call_sync(name, path, iface, method, args, reply, 0, timeout, None)


def shot(out):
    # The shell gives screenshots only to callers that own one of its trusted names.
    call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'RequestName',
         GLib.Variant('(su)', ('org.gnome.Screenshot', 4)))
    ok, _ = call('org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot', 'org.gnome.Shell.Screenshot',
                 'Screenshot', GLib.Variant('(bbs)', (False, False, out))).unpack()
    return 0 if ok else 1


def monitors():
    _, physical, logical, _ = call('org.gnome.Mutter.DisplayConfig', '/org/gnome/Mutter/DisplayConfig',
                                   'org.gnome.Mutter.DisplayConfig', 'GetCurrentState').unpack()
    size = {spec[0]: (w, h) for spec, modes, _ in physical for _, w, h, _, _, _, p in modes if p.get('is-current')}
    rows = []
    for x, y, scale, _, primary, specs, _ in logical:
        w, h = size[specs[0][0]]
        rows.append((not primary, x, f'{round(w / scale)}x{round(h / scale)}+{x}+{y}'))
    print('\n'.join(r[2] for r in sorted(rows)))
    return 0


def keys(names):
    # Through mutter's remote-desktop interface: keyboard events need no screen-cast stream.
    syms = {'Tab': 0xff09, 'Return': 0xff0d, 'Escape': 0xff1b}
    path = call('org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop', 'org.gnome.Mutter.RemoteDesktop',
                'CreateSession', reply=GLib.VariantType('(o)')).unpack()[0]

    def session(method, args=None):
        call('org.gnome.Mutter.RemoteDesktop', path, 'org.gnome.Mutter.RemoteDesktop.Session', method, args)
    session('Start')
    time.sleep(0.3)
    for name in names:
        for pressed in (True, False):
            session('NotifyKeyboardKeysym', GLib.Variant('(ub)', (syms[name], pressed)))
        time.sleep(0.3)
    session('Stop')
    return 0


if __name__ == '__main__':
    what = sys.argv[1] if len(sys.argv) > 1 else ''
    if what == 'shot' and len(sys.argv) == 3:
        sys.exit(shot(sys.argv[2]))
    if what == 'monitors':
        sys.exit(monitors())
    if what == 'keys':
        sys.exit(keys(sys.argv[2:]))
    sys.exit('usage: gnomeshell.py shot FILE | monitors | keys KEY...')
