# Keys for GNOME's compositor run headless, typed through its remote-desktop service as a remote desktop's keyboard
# types them (it has no other input). One chord a line in the file (a FIFO) named by the argument: keysyms in hex,
# pressed in order and let go in reverse. The service ends the session with this process's connection to the bus.
import sys

from gi.repository import Gio, GLib

SERVICE = "org.gnome.Mutter.RemoteDesktop"
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
call = lambda path, method, *arguments: bus.call_sync(  # noqa: E731
    SERVICE, path, SERVICE + (".Session" if "/Session" in path else ""), method, *arguments, None, 0, -1, None)
session = call("/org/gnome/Mutter/RemoteDesktop", "CreateSession", None).unpack()[0]
call(session, "Start", None)
for line in open(sys.argv[1]):
    keys = [int(key, 16) for key in line.split()]
    for key, down in [(key, True) for key in keys] + [(key, False) for key in reversed(keys)]:
        call(session, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (key, down)))
