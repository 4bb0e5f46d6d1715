#!/usr/bin/env bash
# Builds the .deb, unpacks it into a scratch root, checks its contents and dependencies, and
# starts the unpacked program to see that it finds its sounds.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/orvo-peln-tandrick_*.deb)
dpkg-deb -x "$deb" "$scratch/root"

fail() { echo "FAIL: $*"; exit 1; }
root=$scratch/root
for path in opt/orvo-peln-tandrick/orvo-peln-tandrick opt/orvo-peln-tandrick/x/o.cjs \
            opt/orvo-peln-tandrick/HAND-M.CUR usr/share/applications/orvo-peln-tandrick.desktop \
            usr/share/icons/hicolor/256x256/apps/orvo-peln-tandrick.png \
            usr/share/icons/hicolor/32x32/apps/orvo-peln-tandrick.png; do
  [ -f "$root/$path" ] || fail "missing $path"
done
[ "$(readlink "$root/usr/bin/orvo-peln-tandrick")" = /opt/orvo-peln-tandrick/orvo-peln-tandrick ] ||
  fail "the launcher does not point at the program"
sounds=$(ls "$root/opt/orvo-peln-tandrick/sounds" | wc -l)
[ "$sounds" -ge 20 ] || fail "only $sounds sounds packaged"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libsndfile1 libsamplerate0 libpulse0 qt6-qpa-plugins fonts-liberation2; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

# The unpacked program starts and fills its list: its first start saves the chosen test (a
# sanitizer build on a busy machine can take well over ten seconds).
export XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=offscreen
"$root/opt/orvo-peln-tandrick/orvo-peln-tandrick" 2>/dev/null &
pid=$!
for _ in $(seq 300); do
  grep -q '^Combo1=0$' "$XDG_CONFIG_HOME/Kestrani.ini" 2>/dev/null && break
  sleep 0.1
done
grep -q '^Combo1=0$' "$XDG_CONFIG_HOME/Kestrani.ini" || fail "the installed program found no sounds"
kill -0 "$pid" || fail "the installed program did not keep running"
echo "PASS: package $(basename "$deb") holds the program folder, launcher, desktop entry and icons"
