#!/usr/bin/env bash
# Checks the .deb that `make package` built: its files, the desktop entry and the AppStream
# metainfo as the desktop tools read them, the declared dependencies, and that it installs.
set -euo pipefail
BUILD_DIR=${1:-build}

deb=$(ls -t "$BUILD_DIR"/tovalin_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || { echo "package-check: no tovalin_*.deb in $BUILD_DIR (run make package)"; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "package-check: $*"; exit 1; }

dpkg-deb -x "$deb" "$root"
for f in usr/bin/tovalin usr/bin/tovalin-relay usr/lib/systemd/system/tovalin-relay.service \
         usr/share/applications/tovalin.desktop \
         usr/share/metainfo/app.tovalin.Tovalin.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/tovalin.svg \
         usr/share/icons/hicolor/symbolic/apps/tovalin-symbolic.svg; do
  [ -f "$root/$f" ] || fail "missing /$f"
done
[ -x "$root/usr/bin/tovalin" ] || fail "/usr/bin/tovalin is not executable"
# Nothing but the application: no tests, benchmarks or headers.
extra=$(cd "$root" && find . -type f | grep -v -e '^./usr/bin/tovalin$' -e '^./usr/bin/tovalin-relay$' \
  -e '^./usr/lib/systemd/system/tovalin-relay.service$' -e '^./usr/share/' || true)
[ -z "$extra" ] || fail "unexpected files: $extra"

desktop-file-validate "$root/usr/share/applications/tovalin.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/app.tovalin.Tovalin.metainfo.xml"

# The packaged binary answers without a display and without handing over.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tovalin" --version)
[ "$version" = "Tovalin $(dpkg-deb -f "$deb" Version)" ] || fail "--version says '$version'"

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6dbus6 libqcoro6core0 libqcoro6network0 \
         libxcb1 libxcb-xtest0 libxcb-keysyms1 libcanberra0 qt6-qpa-plugins libqt6svg6; do
  grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
echo "Depends: $depends"

# Every dependency can be met from the configured archives (a dry run: nothing is installed).
if ls /var/lib/apt/lists/*Packages* >/dev/null 2>&1; then
  apt-get install --simulate -qq "$(realpath "$deb")" >/dev/null || fail "apt cannot install $deb"
fi
echo "package-check: $deb is good"
