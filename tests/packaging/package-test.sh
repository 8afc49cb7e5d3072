#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack and checks it: the programs and the
# files a system needs under /usr, dependencies found from the linked libraries, the udev rule
# reloaded on installation, and no lintian error or warning where lintian is installed.
# Usage: package-test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/tablora_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/tablora ./usr/bin/tablora-widget ./usr/bin/tablora-widget-render \
    ./usr/lib/udev/rules.d/70-tablora-touchscreen.rules ./usr/share/applications/tablora.desktop \
    ./usr/share/tablora/WidgetSDK/tarn.js ./usr/share/doc/tablora/changelog.gz; do
    grep -qx "$file" <<<"$contents" || fail "$file is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6webenginecore6 libqt6dbus6 libpulse0 libecal-2.0; do
    grep -q "$library" <<<"$depends" || fail "no dependency on $library: $depends"
done
grep -q pulseaudio <<<"$depends" && fail "the package would replace the sound server: $depends"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst | grep -q 'udevadm control --reload-rules' ||
    fail "postinst does not reload the udev rules"

if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" ||
        fail "lintian found errors or warnings"
fi
echo "packaged $(basename "$deb")"
