# Keys for GNOME's compositor run headless, typed through its remote-desktop service as a remote desktop's keyboard
# types them (it has no other input). One chord a line in the file (a FIFO) named by the argument: keysyms in hex, pressed in order and let go in
# reverse. The service ends the session with this process's connection to the bus.
import sys

from gi.repository import Gio, GLib

SERVICE = "org.gnome.Mutter.RemoteDesktop"
bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(path, interface, method, arguments=None):
    return bus.call_sync(SERVICE, path, interface, method, arguments, None, Gio.DBusCallFlags.NONE, -1, None)


session = call("/org/gnome/Mutter/RemoteDesktop", SERVICE, "CreateSession").unpack()[0]
call(session, SERVICE + ".Session", "Start")
for line in open(sys.argv[1]):
    keys = [int(key, 16) for key in line.split()]
    for key, down in [(key, True) for key in keys] + [(key, False) for key in reversed(keys)]:
        call(session, SERVICE + ".Session", "NotifyKeyboardKeysym", GLib.Variant("(ub)", (key, down)))
