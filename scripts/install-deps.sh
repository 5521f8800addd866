#!/usr/bin/env bash
# Installs every Debian package Quillo needs to build, run and test.
# Idempotent: packages already present are skipped, so a second run is quick.
set -euo pipefail

build_pkgs=(
    g++ clang cmake make pkg-config ninja-build clang-format clang-tidy ccache
    qt6-base-dev qt6-base-dev-tools qt6-websockets-dev qtkeychain-qt6-dev libgl-dev
    libqt6svg6 adwaita-icon-theme
    libx11-dev libxi-dev libxtst-dev
    libpulse-dev
    libavcodec-dev libavformat-dev libswresample-dev libavutil-dev
    libcurl4-openssl-dev nlohmann-json3-dev libsimdjson-dev libicu-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libpocketsphinx-dev libclang-rt-14-dev
    dpkg-dev
)
# What the program needs at run time beyond the libraries above: the model of
# the offline speech engine, and on Wayland Qt's platform plugin and the tools
# that paste there. `make run` installs these too.
run_pkgs=(
    pocketsphinx-en-us
    qt6-wayland wl-clipboard wtype libsecret-1-0
)
# The throw-away test desktop: X server, window manager, session bus, notification
# daemon, tray host, audio server, the accessibility bus with GTK 3 and VTE
# applications to paste into, recorded speech to play into the microphone, and
# the validators that check the autostart entry Quillo writes and the package's
# desktop entry, metadata and contents; a Secret Service for the saved keys, the
# accessibility bindings the screen reader test reads the screens through, and
# sway, whose headless backend is the Wayland variant of the desktop.
desktop_pkgs=(
    xvfb x11-utils x11-xkb-utils imagemagick xdotool xclip openbox trayer dunst dbus
    fonts-dejavu-core python3 python3-tk pulseaudio pulseaudio-utils sox ffmpeg espeak-ng
    pocketsphinx-testdata procps psmisc
    desktop-file-utils appstream lintian
    at-spi2-core libatk-adaptor lxterminal python3-gi gir1.2-gtk-3.0
    sway gnome-keyring python3-pyatspi
)

want=("${build_pkgs[@]}" "${run_pkgs[@]}")
if [ "${1:-}" != "--build-only" ]; then
    want+=("${desktop_pkgs[@]}")
fi

missing=()
for p in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        sudo_cmd=(sudo)
    else
        echo "install-deps: missing packages (${missing[*]}) and not root; run this script as root" >&2
        exit 1
    fi
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
