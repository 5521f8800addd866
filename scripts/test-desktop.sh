#!/usr/bin/env bash
# Runs a command inside a throw-away desktop: Xvfb, openbox, a private D-Bus
# session bus with a notification daemon and the accessibility bus, an XEmbed
# tray host and a PulseAudio server whose "microphone" plays whatever is sent to
# the quillo_null sink. GTK 3 applications started with
# GTK_MODULES=gail:atk-bridge publish their widgets on the accessibility bus.
# Everything started here is stopped on exit, whatever the command did.
#
#   scripts/test-desktop.sh [--wayland] COMMAND [ARG...]
#
# Inside, the command sees DISPLAY, DBUS_SESSION_BUS_ADDRESS, PULSE_SERVER,
# XDG_RUNTIME_DIR, a private HOME, and QUILLO_TEST_DESKTOP_DIR (logs, the
# notification log notifications.log).
#
# --wayland makes it a Wayland desktop instead: sway on its headless backend in
# place of Xvfb, openbox and the tray, and WAYLAND_DISPLAY (the socket's full
# path) in place of DISPLAY. sway refuses to run as root, so it runs as the
# user quillo-wayland (created when missing) with a runtime folder of its own;
# its clients may be of any user.
set -euo pipefail

wayland=0
if [ "${1:-}" = "--wayland" ]; then
    wayland=1
    shift
fi
if [ "$#" -eq 0 ]; then
    echo "usage: $0 [--wayland] COMMAND [ARG...]" >&2
    exit 2
fi

root=$(mktemp -d /tmp/quillo-desktop.XXXXXX)
chmod 700 "$root"
mkdir -m 700 -p "$root/runtime" "$root/home" "$root/pulse"
pids=()
names=() # the daemon behind each pid, for the messages

groups=() # started in sessions of their own: stopped by process group
wayland_runtime=""

cleanup() {
    local status=$?
    for group in "${groups[@]}"; do
        kill -- "-$group" 2>/dev/null || true
    done
    for (( i=${#pids[@]}-1; i>=0; i-- )); do
        kill "${pids[$i]}" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    done
    if [ -n "$wayland_runtime" ]; then
        rm -rf "$wayland_runtime"
    fi
    if [ "${QUILLO_KEEP_DESKTOP_DIR:-}" = "" ]; then
        rm -rf "$root"
    else
        echo "test-desktop: logs kept in $root" >&2
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export XDG_RUNTIME_DIR="$root/runtime"
export HOME="$root/home"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
export QT_QPA_PLATFORM=xcb
export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/bus"
export PULSE_SERVER="unix:$root/pulse/native"
export QUILLO_TEST_DESKTOP_DIR="$root"
unset WAYLAND_DISPLAY SESSION_MANAGER

start() { # name command...
    local name=$1
    shift
    "$@" >"$root/$name.log" 2>&1 &
    pids+=($!)
    names+=("$name")
}

wait_for() { # description command...
    local what=$1
    shift
    for _ in $(seq 1 100); do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    echo "test-desktop: $what did not come up; its log:" >&2
    cat "$root/"*.log >&2 || true
    exit 1
}

# The bus first: X clients started later must not autolaunch one of their own.
# It starts the session services on demand as a desktop's bus does, except a
# keyring: tests that want a Secret Service start one themselves, so no test
# finds one left behind by another's Quillo.
mkdir -p "$root/dbus-services"
for service in /usr/share/dbus-1/services/*.service; do
    grep -q '^Name=org.freedesktop.secrets$' "$service" || ln -s "$service" "$root/dbus-services/"
done
cat > "$root/session.conf" <<EOF_CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$root/dbus-services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF_CONF
start dbus dbus-daemon --config-file="$root/session.conf" --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
wait_for "D-Bus" test -S "$root/bus"

if [ "$wayland" = 1 ]; then
    # The compositor's user needs a folder of its own outside $root (0700).
    user=quillo-wayland
    id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
    wayland_runtime=$(mktemp -d /tmp/quillo-wayland.XXXXXX)
    chmod 700 "$wayland_runtime"
    chown "$user" "$wayland_runtime"
    printf 'output HEADLESS-1 resolution 1280x800\nxwayland disable\n' >"$wayland_runtime/sway.conf"
    chmod 644 "$wayland_runtime/sway.conf"
    setsid runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$wayland_runtime" XDG_RUNTIME_DIR="$wayland_runtime" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -c "$wayland_runtime/sway.conf" >"$root/sway.log" 2>&1 &
    groups+=($!)
    wait_for "sway" sh -c "test -S '$wayland_runtime/wayland-1' && ls '$wayland_runtime'/sway-ipc.*.sock"
    export WAYLAND_DISPLAY="$wayland_runtime/wayland-1"
    export SWAYSOCK=$(ls "$wayland_runtime"/sway-ipc.*.sock)
    export GDK_BACKEND=wayland
    unset DISPLAY QT_QPA_PLATFORM
else
# Xvfb picks a free display itself and reports it, so two desktops started at
# the same moment can never end up sharing one X server.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$root/display" >"$root/xvfb.log" 2>&1 &
pids+=($!)
names+=(xvfb)
# The number is complete once its newline is there.
wait_for "Xvfb to choose a display" grep -q . "$root/display"
wait_for "Xvfb to finish writing its display" sh -c "[ \"\$(wc -l <'$root/display')\" -ge 1 ]"
export DISPLAY=":$(tr -d '[:space:]' <"$root/display")"
wait_for "Xvfb" xdpyinfo

# openbox now and then fails to open a display that has just answered: give
# it a second and third try before calling the desktop broken.
for attempt in 1 2 3; do
    start openbox openbox --sm-disable
    for _ in $(seq 1 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break 2
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    # A failed try is forgotten, or the check below would take it for a
    # daemon that died.
    kill "${pids[-1]}" 2>/dev/null || true
    wait "${pids[-1]}" 2>/dev/null || true
    cp "$root/openbox.log" "$root/openbox-try$attempt.log" 2>/dev/null || true
    unset 'pids[-1]' 'names[-1]'
done
wait_for "openbox" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
fi

# The accessibility bus, where applications publish their text fields. Set
# QUILLO_TEST_DESKTOP_NO_A11Y=1 for a desktop without it.
if [ "${QUILLO_TEST_DESKTOP_NO_A11Y:-}" = "" ]; then
    start a11y /usr/libexec/at-spi-bus-launcher --launch-immediately
    wait_for "the accessibility bus" sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus | grep -q true'
fi

start dunst dunst
wait_for "dunst" sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications | grep -q true'
# Every notification's app name, summary and body, for tests to read.
start notifications dbus-monitor "interface='org.freedesktop.Notifications',member='Notify'"

[ "$wayland" = 1 ] || start trayer trayer --edge top --align right --widthtype pixel --width 120 --height 28 --transparent false

cat >"$root/pulse.pa" <<PA
load-module module-native-protocol-unix socket=$root/pulse/native auth-anonymous=1
load-module module-null-sink sink_name=quillo_null sink_properties=device.description=Quillo_Test_Output
load-module module-remap-source source_name=quillo_loopmic master=quillo_null.monitor channels=1 source_properties=device.description=Quillo_Test_Microphone
load-module module-null-sink sink_name=quillo_null2 sink_properties=device.description=Quillo_Test_Output_2
load-module module-remap-source source_name=quillo_loopmic2 master=quillo_null2.monitor channels=1 source_properties=device.description=Quillo_Test_Microphone_2
set-default-sink quillo_null
set-default-source quillo_loopmic
PA
start pulseaudio pulseaudio -n -F "$root/pulse.pa" --exit-idle-time=-1 --daemonize=no --log-target=stderr --disallow-exit
wait_for "PulseAudio" pactl info

# Keep the null sinks' clocks running while nothing plays, so a recording
# receives data at once, and warm up both remapped sources together (the first
# capture of each loses about a second).
start silence pacat --playback --latency-msec=20 --device=quillo_null --raw --format=s16le --rate=16000 --channels=1 /dev/zero
start silence2 pacat --playback --latency-msec=20 --device=quillo_null2 --raw --format=s16le --rate=16000 --channels=1 /dev/zero
warmups=()
for mic in quillo_loopmic quillo_loopmic2; do
    timeout 2 parecord --device=$mic --raw --format=s16le --rate=16000 --channels=1 /dev/null 2>/dev/null &
    warmups+=($!)
done
for pid in "${warmups[@]}"; do
    wait "$pid" || true
done

for i in "${!pids[@]}"; do
    if ! kill -0 "${pids[$i]}" 2>/dev/null; then
        echo "test-desktop: ${names[$i]} died at start; logs:" >&2
        tail -n 20 "$root/"*.log >&2 || true
        exit 1
    fi
done

set +e
"$@"
status=$?
set -e
exit $status
