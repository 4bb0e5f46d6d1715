#!/usr/bin/env bash
# Builds the .deb and checks it as Debian and the desktops would: its layout, lintian, the
# desktop entry and AppStream metainfo, the unpacked program started through its launcher,
# and, as root, an apt install, reinstall and purge that must leave nothing of it behind.
set -euo pipefail
build=$1
pkg=orvo-peln-tandrick
# Lintian warnings accepted on purpose, each with its reason in the README.
accepted_warnings=""

scratch=$(mktemp -d)
# apt reads the local .deb as its unprivileged user.
chmod 755 "$scratch"
installed_by_us=false
restore_deb=""
cleanup() {
  kill "${pid:-}" 2>/dev/null || true
  if $installed_by_us; then
    apt-get purge -y -qq "$pkg" >/dev/null 2>&1 || true
  fi
  if [ -n "$restore_deb" ]; then
    apt-get install -y -qq --no-install-recommends "$restore_deb" >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}
for tool in lintian desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh installs it)"
done
app_id=$(sed -n 's/^#define APP_ID "\(.*\)"$/\1/p' "$build/generated/BuildSettings.h")
app_icon=$(sed -n 's/^#define APP_ICON "\(.*\)"$/\1/p' "$build/generated/BuildSettings.h")

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
  fail "cpack: $(cat "$scratch/cpack.log")"
deb=$(ls "$scratch"/out/${pkg}_*.deb)
chmod -R go+rX "$scratch/out"
root=$scratch/root
dpkg-deb -x "$deb" "$root"

# The layout: the executable in /usr/lib, its data in /usr/share reached through relative
# links beside it, nothing outside /usr.
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -e '^\./$' -e '^\./usr/' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
for path in usr/lib/$pkg/$pkg usr/share/$pkg/x/o.cjs usr/share/$pkg/HAND-M.CUR \
            usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
            usr/share/icons/hicolor/256x256/apps/$app_icon.png \
            usr/share/icons/hicolor/32x32/apps/$app_icon.png usr/share/man/man1/$pkg.1.gz \
            usr/share/doc/$pkg/copyright usr/share/doc/$pkg/changelog.gz; do
  [ -f "$root/$path" ] && [ ! -L "$root/$path" ] || fail "missing $path"
done
check_link() {
  [ "$(readlink "$root/$1")" = "$2" ] || fail "$1 links to '$(readlink "$root/$1")', not $2"
  [ -e "$root/$1" ] || fail "$1 leads nowhere in the package"
}
check_link usr/bin/$pkg ../lib/$pkg/$pkg
for item in sounds x HAND-M.CUR; do
  check_link usr/lib/$pkg/$item ../../share/$pkg/$item
done
sounds=$(ls "$root/usr/share/$pkg/sounds" | wc -l)
[ "$sounds" -ge 20 ] || fail "only $sounds sounds packaged"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libsndfile1 libsamplerate0 libpulse0 qt6-qpa-plugins fonts-liberation2; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

# `cmake --install` gives the same tree as the package.
cmake --install "$build" --prefix "$scratch/installed/usr" >/dev/null
tree() { (cd "$1" && find . -mindepth 1 -printf '%p %y %l\n' | sort); }
difference=$(diff <(tree "$root") <(tree "$scratch/installed")) ||
  fail "cmake --install differs from the package: $difference"

# Debian's checks, the desktop entry and the AppStream metainfo.
echo "lintian (info tags shown, not failed):"
lintian --profile debian --display-info --fail-on error,warning ${accepted_warnings:+--suppress-tags "$accepted_warnings"} \
  "$deb" || fail "lintian found errors or warnings"
# validate-tree below also finds the entry that the metainfo names as its launchable.
entry=$root/usr/share/applications/$app_id.desktop
hints=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $hints"
[ -z "$hints" ] || fail "desktop-file-validate: $hints"
# Infos and pedantic hints may stay (the id's "example" is no top-level domain the validator
# knows, and it has capitals); a warning or an error fails.
appstream=$(appstreamcli validate-tree --no-net --pedantic "$root" 2>&1) ||
  fail "appstreamcli: $appstream"
echo "$appstream"
! grep -qE '^ *[EW]: ' <<<"$appstream" || fail "appstreamcli warns"

# Starts a program and waits until it has filled its list: its first start saves the chosen
# test (a sanitizer build on a busy machine can take well over ten seconds). About one start in
# a hundred opens the home page, an error box where no browser opener is: the program finds one
# that opens nothing.
mkdir -p "$scratch/bin"
printf '#!/bin/sh\nexit 0\n' >"$scratch/bin/xdg-open"
chmod 755 "$scratch/bin/xdg-open"
start_and_wait() {
  local config=$scratch/config-$2
  PATH=$scratch/bin:$PATH XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen "$1" 2>/dev/null &
  pid=$!
  for _ in $(seq 300); do
    grep -q '^Combo1=0$' "$config/Kestrani.ini" 2>/dev/null && break
    sleep 0.1
  done
  grep -q '^Combo1=0$' "$config/Kestrani.ini" || fail "$1 found no sounds"
  kill -0 "$pid" || fail "$1 did not keep running"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
}
# Through the launcher link, so the program finds its folder behind the links.
start_and_wait "$root/usr/bin/$pkg" unpacked

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: apt install, reinstall and purge of the package (they need root)"
  echo "PASS: package $(basename "$deb"): layout, lintian, desktop entry, metainfo, unpacked start"
  exit 0
fi

# As a user would: apt install, a reinstall, the program started from the PATH, then purge.
export DEBIAN_FRONTEND=noninteractive
if dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
  # Taken off first so that what it owns does not count as left behind; put back at the end.
  echo "$pkg $(dpkg-query -W -f='${Version}' "$pkg") was installed: purged for the test, installed again from this build after it"
  restore_deb=$deb
  apt-get purge -y -qq "$pkg" >/dev/null
fi
# What is on the system of the package's paths, and which packages, before it comes.
paths=$(dpkg-deb -c "$deb" | awk '{sub(/^\./, "", $6); sub(/\/$/, "", $6); if ($6 != "") print $6}')
present() {
  while read -r p; do
    if [ -e "$p" ] || [ -L "$p" ]; then echo "$p"; fi
  done <<<"$paths"
}
packages() { dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 ~ /^.i/ {print $2}' | sort; }
# Every name under /usr, /etc and dpkg's records, to see that the purge leaves none behind
# (Python's byte-code caches come and go with other programs).
snapshot() {
  find /usr /etc /var/lib/dpkg/info -xdev -name __pycache__ -prune -o -print 2>/dev/null | sort
}
paths_before=$(present)
packages_before=$(packages)
snapshot >"$scratch/before"

installed_by_us=true
apt-get install -y -qq --no-install-recommends "$deb" >"$scratch/apt.log" 2>&1 ||
  fail "apt install: $(cat "$scratch/apt.log")"
apt-get install -y -qq --no-install-recommends --reinstall "$deb" >"$scratch/apt.log" 2>&1 ||
  fail "apt reinstall: $(cat "$scratch/apt.log")"
[ "$(command -v "$pkg")" = /usr/bin/$pkg ] || fail "$pkg is not on the PATH after install"
start_and_wait "$pkg" installed

apt-get purge -y -qq "$pkg" >"$scratch/apt.log" 2>&1 || fail "apt purge: $(cat "$scratch/apt.log")"
installed_by_us=false
# Dependencies apt brought in go too, so the machine is as it was.
brought=$(comm -13 <(echo "$packages_before") <(packages))
if [ -n "$brought" ]; then
  apt-get purge -y -qq $brought >/dev/null
fi
left=$(diff <(echo "$paths_before") <(present)) || fail "left behind after purge: $left"
# The icon and desktop-entry caches that dpkg's triggers made, if the machine had none, go too.
for cache in /usr/share/icons/hicolor/icon-theme.cache /usr/share/applications/mimeinfo.cache; do
  grep -qxF "$cache" "$scratch/before" || rm -f "$cache"
done
changed=$(diff "$scratch/before" <(snapshot)) || fail "the purge left the system changed: $changed"
info=$(ls /var/lib/dpkg/info/"$pkg".* /var/lib/dpkg/info/"$pkg":* 2>/dev/null || true)
[ -z "$info" ] || fail "dpkg still holds: $info"
# Not installed and no configuration kept: the status's second letter is "n", or dpkg has
# forgotten the package.
status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null || true)
[ -z "$status" ] || [ "${status:1:1}" = n ] || fail "dpkg's status of $pkg after purge: $status"
[ "$(comm -3 <(echo "$packages_before") <(packages))" = "" ] || fail "the installed packages changed"
echo "PASS: package $(basename "$deb"): layout, lintian, desktop entry, metainfo, unpacked start, apt install, reinstall, start, purge"
