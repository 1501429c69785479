#!/usr/bin/env python3
"""A stand-in for the desktop portal's file chooser, on the private session bus of the X11 tests.

Usage: fake-portal.py ANSWER_FILE LOG_FILE. Each request is answered as ANSWER_FILE says at that
moment: "choose URI", "cancel", "fail" or "hang" (no answer until the caller closes the request).
Each request and each Close is logged to LOG_FILE as one JSON line; "ready" comes first.
"""
import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

answer_file, log_file = sys.argv[1], sys.argv[2]
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
requests = []


def log(entry):
    with open(log_file, "a") as f:
        f.write(json.dumps(entry) + "\n")


class Request(dbus.service.Object):
    @dbus.service.method("org.freedesktop.portal.Request", in_signature="", out_signature="")
    def Close(self):
        log({"closed": True})

    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass


class Portal(dbus.service.Object):
    @dbus.service.method("org.freedesktop.portal.FileChooser", in_signature="ssa{sv}",
                         out_signature="o", sender_keyword="sender")
    def OpenFile(self, parent, title, options, sender):
        return self.ask("OpenFile", parent, title, options, sender)

    @dbus.service.method("org.freedesktop.portal.FileChooser", in_signature="ssa{sv}",
                         out_signature="o", sender_keyword="sender")
    def SaveFile(self, parent, title, options, sender):
        return self.ask("SaveFile", parent, title, options, sender)

    def ask(self, method, parent, title, options, sender):
        token = str(options.get("handle_token", "t"))
        path = "/org/freedesktop/portal/desktop/request/%s/%s" % (
            sender[1:].replace(".", "_"), token)
        request = Request(bus, path)
        requests.append(request)
        folder = bytes(options.get("current_folder", b"")).rstrip(b"\0").decode()
        filters = [[str(label), [[int(kind), str(glob)] for kind, glob in globs]]
                   for label, globs in options.get("filters", [])]
        log({"method": method, "parent": str(parent), "title": str(title), "folder": folder,
             "name": str(options.get("current_name", "")), "filters": filters,
             "modal": bool(options.get("modal", False))})
        with open(answer_file) as f:
            answer = f.read().strip().split(None, 1)
        empty = dbus.Dictionary({}, signature="sv")
        if answer[0] == "choose":
            results = dbus.Dictionary({"uris": dbus.Array([answer[1]], signature="s")},
                                      signature="sv")
            GLib.timeout_add(100, lambda: request.Response(dbus.UInt32(0), results) and False)
        elif answer[0] == "cancel":
            GLib.timeout_add(100, lambda: request.Response(dbus.UInt32(1), empty) and False)
        elif answer[0] == "fail":
            GLib.timeout_add(100, lambda: request.Response(dbus.UInt32(2), empty) and False)
        return dbus.ObjectPath(path)


name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
Portal(bus, "/org/freedesktop/portal/desktop")
log("ready")
GLib.MainLoop().run()
