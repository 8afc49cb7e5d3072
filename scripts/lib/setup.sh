# Shared by scripts/run, scripts/test and scripts/package: install the Debian packages a task
# needs, then configure and build. Sourced, not run.

TABLORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What building and running the program needs, and nothing more: no sound server (libpulse talks
# to PulseAudio or to PipeWire's pulse server alike), no calendar server, no test tools.
TABLORA_RUN_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-webengine-dev qt6-webchannel-dev qt6-svg-dev qt6-qpa-plugins
    libpulse-dev libecal2.0-dev libgit2-dev
    libx11-dev libxrandr-dev libxcb1-dev libxcb-screensaver0-dev libxcb-dpms0-dev
)

# Besides, what building the Debian package needs.
TABLORA_PACKAGING_PACKAGES=(dpkg-dev file lintian)

# Besides, what the tests need: their frameworks and the real components they start (a session
# bus, a sound server, the calendar server, an X server, a Wayland compositor) or check against.
TABLORA_TEST_PACKAGES=(
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 clang-format git procps iputils-ping dbus
    pulseaudio pulseaudio-utils evolution-data-server
    xvfb xauth
    weston qt6-wayland
    "${TABLORA_PACKAGING_PACKAGES[@]}"
)

# Besides, what the fuzz targets need: clang with libFuzzer and its sanitizers.
TABLORA_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

tablora_missing_packages() {
    local package
    for package in "$@"; do
        if [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" != installed ]; then
            echo "$package"
        fi
    done
}

# tablora_install_packages [--no-install-recommends] PACKAGE...
# Installs only what is missing, so a second start skips apt entirely.
tablora_install_packages() {
    local apt_options=()
    if [ "${1:-}" = --no-install-recommends ]; then
        apt_options=(--no-install-recommends)
        shift
    fi
    local missing
    mapfile -t missing < <(tablora_missing_packages "$@")
    [ "${#missing[@]}" -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Tablora needs these packages; install them as root: ${missing[*]}" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    echo "Installing ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${apt_options[@]}" \
        "${missing[@]}"
}

# tablora_configure DIR [CMAKE_ARGS...]
tablora_configure() {
    local dir=$1
    shift
    local generator=()
    if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    cmake -S "$TABLORA_ROOT" -B "$dir" "${generator[@]}" "$@" >/dev/null
}

# tablora_build DIR [TARGET...]: every target when none is named.
tablora_build() {
    local dir=$1
    shift
    local targets=()
    [ "$#" -gt 0 ] && targets=(--target "$@")
    cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
}

# The programs a user runs; the tests and benchmarks are not among them.
TABLORA_PROGRAMS=(tablora tablora-widget tablora-widget-render)
