#!/usr/bin/python3
"""A fake of the desktop's GlobalShortcuts and RemoteDesktop portals on the session bus.

    fake_portal.py LOG [grant|refuse]

It owns org.freedesktop.portal.Desktop and answers the way the portals do (a
Request object path back at once, then its Response signal). Every
BindShortcuts, SelectDevices and NotifyKeyboardKeysym call goes to LOG, one
JSON line each with its "method". The remote keyboard session is granted
(with the restore token "token-1") or refused (Start answers 1, as when the
user says no). org.quillo.FakePortal.Press(s id, b pressed) sends Activated or
Deactivated of a bound shortcut. Needs the system's python3 with PyGObject.
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
  <interface name="org.freedesktop.portal.RemoteDesktop">
    <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="in"/>
    </method>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.quillo.FakePortal">
    <method name="Press"><arg type="s" direction="in"/><arg type="b" direction="in"/></method>
  </interface>
</node>
"""

log_path = sys.argv[1]
grant = len(sys.argv) < 3 or sys.argv[2] == "grant"
sessions = []


def note(entry):
    with open(log_path, "a") as log:
        log.write(json.dumps(entry) + "\n")


def request_path(sender, options):
    token = options.get("handle_token", "t")
    return f"{PATH}/request/{sender[1:].replace('.', '_')}/{token}"


def respond(connection, sender, path, results, response=0):
    # After the method's reply, as the real portal does.
    GLib.idle_add(lambda: connection.emit_signal(sender, path, "org.freedesktop.portal.Request", "Response",
                                                 GLib.Variant("(ua{sv})", (response, results))) and False)


def on_call(connection, sender, _path, interface, method, params, invocation):
    if method == "CreateSession":
        options = params.unpack()[0]
        request = request_path(sender, options)
        session = f"{PATH}/session/{sender[1:].replace('.', '_')}/{options.get('session_handle_token', 's')}"
        if interface.endswith("GlobalShortcuts"):
            sessions.append(session)
        invocation.return_value(GLib.Variant("(o)", (request,)))
        respond(connection, sender, request, {"session_handle": GLib.Variant("s", session)})
    elif method == "BindShortcuts":
        session, shortcuts, _parent, options = params.unpack()
        note({"method": method, "session": session, "shortcuts": shortcuts})
        request = request_path(sender, options)
        invocation.return_value(GLib.Variant("(o)", (request,)))
        respond(connection, sender, request, {})
    elif method == "SelectDevices":
        _session, options = params.unpack()
        note({"method": method, "options": options})
        request = request_path(sender, options)
        invocation.return_value(GLib.Variant("(o)", (request,)))
        respond(connection, sender, request, {})
    elif method == "Start":
        _session, _parent, options = params.unpack()
        request = request_path(sender, options)
        invocation.return_value(GLib.Variant("(o)", (request,)))
        if grant:
            respond(connection, sender, request, {"devices": GLib.Variant("u", 1),
                                                  "restore_token": GLib.Variant("s", "token-1")})
        else:
            respond(connection, sender, request, {}, response=1)
    elif method == "NotifyKeyboardKeysym":
        _session, _options, keysym, state = params.unpack()
        note({"method": method, "keysym": keysym, "state": state})
        invocation.return_value(None)
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
