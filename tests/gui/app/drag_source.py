#!/usr/bin/env python3
"""A small window of another program that offers one file for dragging (text/uri-list), as a file
manager does. Usage: drag_source.py FILE; prints "ready" once mapped."""
import sys

import gi
gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

uri = "file://" + sys.argv[1]
window = Gtk.Window(title="drag source")
window.move(0, 0)
window.set_default_size(200, 120)
box = Gtk.EventBox()
box.add(Gtk.Label(label="drag me"))
window.add(box)
box.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [Gtk.TargetEntry.new("text/uri-list", 0, 0)], Gdk.DragAction.COPY)
box.connect("drag-data-get", lambda _w, _c, data, _i, _t: data.set_uris([uri]))
window.connect("destroy", Gtk.main_quit)
window.connect("map-event", lambda *_: print("ready", flush=True))
window.show_all()
Gtk.main()
