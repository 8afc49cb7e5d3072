#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs from elsewhere, as a
# user would after `cmake --install`: they find their widgets beside them, not in the source tree.
# Usage: install-test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The three programs, and nothing of the tests or benchmarks.
[ "$(ls "$prefix/bin" | tr '\n' ' ')" = "tablora tablora-widget tablora-widget-render " ] ||
    fail "bin holds: $(ls "$prefix/bin" | tr '\n' ' ')"
[ -z "$(find "$prefix" -name '*_tests' -o -name '*_bench' -o -name 'hung_*')" ] ||
    fail "test programs were installed"
for file in share/applications/tablora.desktop share/icons/hicolor/scalable/apps/tablora.svg \
    share/icons/hicolor/scalable/apps/tablora-tray.svg lib/udev/rules.d/70-tablora-touchscreen.rules \
    share/tablora/WidgetSDK/tarn.js share/tablora/Widgets/cpu.tarnwidget/manifest.json \
    share/man/man1/tablora.1.gz share/doc/tablora/copyright share/doc/tablora/README.md; do
    [ -f "$prefix/$file" ] || fail "$file is missing"
done
# The desktop entry names what is installed.
grep -qx 'Exec=tablora' "$prefix/share/applications/tablora.desktop" || fail "desktop entry Exec"
grep -qx 'Icon=tablora' "$prefix/share/applications/tablora.desktop" || fail "desktop entry Icon"

# A widget only the installed folder has proves the installed programs read it.
cp -r "$prefix/share/tablora/Widgets/cpu.tarnwidget" "$prefix/share/tablora/Widgets/marker.tarnwidget"
sed -i 's/"id": *"cpu"/"id": "installed-marker"/' \
    "$prefix/share/tablora/Widgets/marker.tarnwidget/manifest.json"
cd "$work"
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
listed=$("$prefix/bin/tablora-widget" list) || fail "tablora-widget list failed"
grep -q '^installed-marker' <<<"$listed" || fail "the installed widgets were not read: $listed"
version=$("$prefix/bin/tablora" --version) || fail "tablora --version failed"
[ "$version" = "tablora $2" ] || fail "tablora --version said: $version"
echo "installed and ran from $prefix"
