#!/usr/bin/env bash
# Builds the Debian package in BUILD (default: build), unpacks it into a
# scratch root and checks it there: the files it must hold, its declared
# dependencies, the desktop entry and AppStream data, the man pages, the
# version every program shows, and the installed player running the demo and
# a project packed by the installed morvane-pack, headless.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

cmake --build "$build" --target package
deb=$(ls -t "$build"/morvane-player_*_*.deb | head -n 1)
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
[ "$(basename "$deb")" = "morvane-player_${version}_${arch}.deb" ] || {
  echo "unexpected package name: $deb"; exit 1; }
echo "checking $deb"

root=$(mktemp -d /tmp/morvane-package-check.XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
fail() { echo "package check: $*" >&2; exit 1; }

for f in usr/bin/morvane-player usr/bin/morvane-pack usr/bin/morvane-inspect usr/bin/morvane-script \
    usr/share/applications/morvane-player.desktop \
    usr/share/metainfo/org.morvane.player.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/morvane-player.svg \
    usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256,512x512}/apps/morvane-player.png \
    usr/share/man/man1/morvane-{player,pack,inspect,script}.1.gz \
    usr/share/doc/morvane-player/README.md \
    usr/share/doc/morvane-player/manual/player.md \
    usr/share/doc/morvane-player/examples/demo/project.yaml; do
  [ -s "$root/$f" ] || fail "$f is missing"
done

# Dependencies: the libraries the programs link (from dpkg-shlibdeps) and
# what is loaded at run time; the fonts the Windows fonts map to as Recommends.
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
for p in libqt6widgets6 libqt6gui6 libgstreamer1.0-0 libyaml-cpp0.7 libcurl4 libc6 \
    qt6-qpa-plugins gstreamer1.0-plugins-base gstreamer1.0-plugins-good; do
  grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
for p in fonts-liberation fonts-wine fonts-farsiweb fonts-noto-core; do
  grep -qE "(^|, )$p( |,|$)" <<<"$recommends" || fail "Recommends lacks $p: $recommends"
done

desktop-file-validate "$root/usr/share/applications/morvane-player.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.morvane.player.metainfo.xml"

for program in morvane-player morvane-pack morvane-inspect morvane-script; do
  shown=$("$root/usr/bin/$program" --version)
  [ "$shown" = "$program $version" ] || fail "$program --version says '$shown', not '$program $version'"
  zcat "$root/usr/share/man/man1/$program.1.gz" | grep -q '^\.TH "\?'"${program^^}" \
    || fail "the man page of $program has no title"
done
for program in morvane-player morvane-pack; do
  ! readelf -S "$root/usr/bin/$program" | grep -q '\.debug_info' || fail "$program is not stripped"
done

# The installed player on the demo it carries, and on a project packed by the
# installed morvane-pack onto it: each shows its first page.
run_installed() {
  local name=$1; shift
  local status=0
  QT_QPA_PLATFORM=offscreen MORVANE_PREFIX="$root/prefix" \
    "$root/usr/bin/morvane-player" --headless --quit-after 1500 --trace "$root/$name.jsonl" \
    --screenshot "$root/$name-shots" "$@" >"$root/$name.log" 2>&1 || status=$?
  [ "$status" -eq 1 ] || { cat "$root/$name.log"; fail "the installed player ended with $status on $name"; }
  grep -q '{"event":"show","page":1}' "$root/$name.jsonl" \
    || { cat "$root/$name.jsonl"; fail "the installed player showed no page of $name"; }
  [ -s "$root/$name-shots/page1.png" ] || fail "no picture of page 1 of $name"
}
run_installed demo --demo
"$root/usr/bin/morvane-pack" tests/fixtures/player/pages -o "$root/page-test"
run_installed packed "$root/page-test"
echo "package check passed: $(basename "$deb")"
