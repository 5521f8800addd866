#!/usr/bin/python3
"""A fake of the desktop's GlobalShortcuts portal on the session bus.

It owns org.freedesktop.portal.Desktop, answers CreateSession and
BindShortcuts the way the portal does (a Request object path back at once,
then its Response signal), writes every BindShortcuts request to the log given
as its argument (one JSON line each), and lets a test press and release a
bound shortcut: org.quillo.FakePortal.Press(s id, b pressed) sends Activated
or Deactivated for the session. Needs the system's python3 with PyGObject.
"""

import json
import sys

from gi.repository import Gio, GLib

PATH = "/org/freedesktop/portal/desktop"
XML = """
<node>
  <interface name="org.freedesktop.portal.GlobalShortcuts">
    <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="BindShortcuts">
      <arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <signal name="Activated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
    <signal name="Deactivated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/></signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.quillo.FakePortal">
    <method name="Press"><arg type="s" direction="in"/><arg type="b" direction="in"/></method>
  </interface>
</node>
"""

log_path = sys.argv[1]
sessions = []


def request_path(sender, options):
    token = options.get("handle_token", "t")
    return f"{PATH}/request/{sender[1:].replace('.', '_')}/{token}"


def respond(connection, sender, path, results):
    # After the method's reply, as the real portal does.
    GLib.idle_add(lambda: connection.emit_signal(sender, path, "org.freedesktop.portal.Request", "Response",
                                                 GLib.Variant("(ua{sv})", (0, results))) and False)


def on_call(connection, sender, _path, interface, method, params, invocation):
    if method == "CreateSession":
        options = params.unpack()[0]
        request = request_path(sender, options)
        session = f"{PATH}/session/{sender[1:].replace('.', '_')}/{options.get('session_handle_token', 's')}"
        sessions.append(session)
        invocation.return_value(GLib.Variant("(o)", (request,)))
        respond(connection, sender, request, {"session_handle": GLib.Variant("s", session)})
    elif method == "BindShortcuts":
        session, shortcuts, _parent, options = params.unpack()
        with open(log_path, "a") as log:
            log.write(json.dumps({"session": session, "shortcuts": shortcuts}) + "\n")
        request = request_path(sender, options)
        invocation.return_value(GLib.Variant("(o)", (request,)))
        respond(connection, sender, request, {})
    elif method == "Press":
        shortcut, pressed = params.unpack()
        for session in sessions:
            connection.emit_signal(None, PATH, "org.freedesktop.portal.GlobalShortcuts",
                                   "Activated" if pressed else "Deactivated",
                                   GLib.Variant("(osta{sv})", (session, shortcut, 0, {})))
        invocation.return_value(None)


def on_property(_connection, _sender, _path, _interface, _name):
    return GLib.Variant("u", 1)


def on_bus(connection, _name):
    for interface in Gio.DBusNodeInfo.new_for_xml(XML).interfaces:
        connection.register_object(PATH, interface, on_call, on_property, None)


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE, on_bus, None,
                 lambda *_: sys.exit("fake portal: the name is taken"))
GLib.MainLoop().run()
