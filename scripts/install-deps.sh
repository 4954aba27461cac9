#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Safe to run again:
# packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev libyaml-cpp-dev libsqlite3-dev
  libcurl4-openssl-dev nettle-dev
  # the player: Qt 6 Widgets, image readers, and fonts with the metrics of
  # the Windows fonts projects name
  qt6-base-dev qt6-image-formats-plugins
  libxrandr-dev   # display modes on X11
  # browsers and Flash objects: QtWebEngine (its helper process too); npm for
  # the self-hosted Flash player comes below
  qt6-webengine-dev qt6-webchannel-dev libqt6webenginecore6-bin
  # sound and video: GStreamer with the decoders of the formats projects
  # carry, a SoundFont for MIDI, the desktop's sound theme for beeps
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav timgm6mb-soundfont sound-theme-freedesktop
  fonts-liberation fonts-wine fonts-farsiweb fonts-noto-core
  # the package: icons rendered from their drawing, man pages from --help,
  # the run-time dependencies found by dpkg-shlibdeps
  librsvg2-bin help2man dpkg-dev
)
if [ "${1:-}" = "--test" ]; then
  packages+=(
    clang libclang-rt-14-dev   # libFuzzer and the sanitizer builds
    fp-compiler                # an independent writer of number text
    binutils-mingw-w64-i686    # builds real PE files to read
    icoutils                   # wrestool, lists what a PE file holds
    dbus-daemon                # a private session bus for the screen-saver test
    xvfb xauth                 # a desktop for the player without a display
    ffmpeg                     # makes the media the media tests play
    gstreamer1.0-tools         # the bare pipeline the media bench compares against
    desktop-file-utils appstream  # check the desktop entry and the AppStream data
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm, from Debian unless a Node.js with its own npm is installed already
# (Debian's npm conflicts with such a package).
command -v npm > /dev/null 2>&1 || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Flash player's files (its version is pinned in third_party/ruffle),
# installed with the player and served to the web engine from its own folder.
ruffle="$(cd "$(dirname "$0")/.." && pwd)/third_party/ruffle"
if [ ! -f "$ruffle/node_modules/@ruffle-rs/ruffle/ruffle.js" ]; then
  npm ci --prefix "$ruffle" --no-audit --no-fund --silent
fi
