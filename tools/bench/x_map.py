"""The moment a top-level window is mapped, taken from the X server's MapNotify
event rather than by polling, so a start-up figure is not rounded to a poll."""
import ctypes
import select
import time

_x11 = ctypes.CDLL("libX11.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
_x11.XFree.argtypes = [ctypes.c_void_p]
_x11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong)] + \
    [ctypes.POINTER(ctypes.c_int)] * 2 + [ctypes.POINTER(ctypes.c_uint)] * 4
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
_MAP_NOTIFY = 19
_REPARENT_NOTIFY = 21
_WINDOW_FIELD = 5   # XMapEvent: type, serial, send_event, display, event, window
_PARENT_FIELD = 6   # XReparentEvent: ..., event, window, parent


# A window can be gone by the time it is looked at; without a handler of our
# own, Xlib would end the process on that error.
@ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
def _ignore_error(display, event):
    return 0


_x11.XSetErrorHandler(_ignore_error)


class MapWatch:
    """Watches the root window; open it before starting the program to time."""

    def __init__(self):
        self.display = _x11.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the X display")
        _x11.XSelectInput(self.display, _x11.XDefaultRootWindow(self.display), _SUBSTRUCTURE_NOTIFY_MASK)
        _x11.XFlush(self.display)

    def close(self):
        _x11.XCloseDisplay(self.display)

    def _name(self, window):
        name = ctypes.c_char_p()
        if not _x11.XFetchName(self.display, window, ctypes.byref(name)) or not name.value:
            return None
        value = name.value.decode("utf-8", "replace")
        _x11.XFree(name)
        return value

    def _size(self, window):
        root = ctypes.c_ulong()
        x, y = ctypes.c_int(), ctypes.c_int()
        width, height, border, depth = (ctypes.c_uint() for _ in range(4))
        if not _x11.XGetGeometry(self.display, window, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y),
                                 ctypes.byref(width), ctypes.byref(height), ctypes.byref(border),
                                 ctypes.byref(depth)):
            return None
        return width.value, height.value

    def wait(self, name, size, timeout=30.0):
        """time.monotonic() at which a window called `name` of `size` was mapped.
        Under a window manager that is when its frame maps on the root."""
        event = (ctypes.c_long * 24)()
        framed = {}
        end = time.monotonic() + timeout
        while True:
            while _x11.XPending(self.display):
                _x11.XNextEvent(self.display, event)
                mapped = time.monotonic()
                kind = ctypes.c_int.from_buffer(event).value
                window = ctypes.c_ulong(event[_WINDOW_FIELD]).value
                if kind == _REPARENT_NOTIFY:
                    framed[ctypes.c_ulong(event[_PARENT_FIELD]).value] = window
                if kind != _MAP_NOTIFY:
                    continue
                window = framed.get(window, window)
                if self._name(window) == name and self._size(window) == tuple(size):
                    return mapped
            left = end - time.monotonic()
            if left <= 0:
                raise AssertionError("no window %r of size %s was mapped" % (name, size))
            select.select([_x11.XConnectionNumber(self.display)], [], [], left)
