#!/usr/bin/env python3
"""Drags files onto the window under a screen point and drops them there, as a file manager
does: an XDND drag from an X client of its own (enter, position, the receiver's status, drop,
the file list handed over as text/uri-list through the XdndSelection, finished).

    xdnd_drop.py X Y FILE...

Exits 0 once the receiver has accepted the drop and said it is finished; 1 with the reason on
stderr when no window there takes drops, it refused, or it did not answer in time.
"""
import sys
import time
from pathlib import Path
from urllib.parse import quote

from Xlib import X, display
from Xlib.protocol import event

VERSION = 5
TIMEOUT = 10.0


def main():
    x, y = int(sys.argv[1]), int(sys.argv[2])
    uris = "".join("file://" + quote(str(Path(f).resolve())) + "\r\n" for f in sys.argv[3:])
    d = display.Display()
    atom = lambda name: d.intern_atom(name)
    aware, uri_list, selection = atom("XdndAware"), atom("text/uri-list"), atom("XdndSelection")
    root = d.screen().root

    # The deepest window under the point that takes drops (the window manager's frame does not).
    target, window = None, root
    while True:
        if window.get_full_property(aware, X.AnyPropertyType):
            target = window
        child = window.translate_coords(root, x, y).child
        if not child:
            break
        window = child
    if target is None:
        sys.exit(f"xdnd_drop: no window at {x},{y} takes drops")

    source = root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent)
    source.set_selection_owner(selection, X.CurrentTime)
    root.warp_pointer(x, y)
    d.sync()

    def send(name, *data):
        body = [source.id, *data] + [0] * (4 - len(data))
        target.send_event(event.ClientMessage(window=target, client_type=atom(name),
                                              data=(32, body[:5])))
        d.flush()

    send("XdndEnter", VERSION << 24, uri_list)
    send("XdndPosition", 0, (x << 16) | y, X.CurrentTime, atom("XdndActionCopy"))
    dropped, end = False, time.monotonic() + TIMEOUT
    while time.monotonic() < end:
        if not d.pending_events():
            time.sleep(0.02)
            continue
        e = d.next_event()
        if e.type == X.SelectionRequest:
            # The receiver asks for the dragged data: the file list, written into its property.
            ok = e.target == uri_list
            if ok:
                e.requestor.change_property(e.property, uri_list, 8, uris.encode())
            e.requestor.send_event(event.SelectionNotify(
                time=e.time, requestor=e.requestor, selection=e.selection, target=e.target,
                property=e.property if ok else X.NONE))
            d.flush()
        elif e.type == X.ClientMessage and e.client_type == atom("XdndStatus") and not dropped:
            if not e.data[1][1] & 1:
                sys.exit("xdnd_drop: the window refused the drop")
            send("XdndDrop", 0, X.CurrentTime)
            dropped = True
        elif e.type == X.ClientMessage and e.client_type == atom("XdndFinished"):
            return 0
    sys.exit("xdnd_drop: no answer from the window" + (" after the drop" if dropped else ""))


if __name__ == "__main__":
    sys.exit(main())
