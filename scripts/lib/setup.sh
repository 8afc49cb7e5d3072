# Shared by scripts/run and scripts/test: install the Debian packages the build needs, then
# configure and build. Sourced, not run.

TABLORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

TABLORA_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-webengine-dev qt6-webchannel-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    git procps iputils-ping dbus
    pulseaudio pulseaudio-utils libpulse-dev evolution-data-server libecal2.0-dev
    libx11-dev libxrandr-dev
    xvfb xauth
)

tablora_missing_packages() {
    local package
    for package in "${TABLORA_PACKAGES[@]}"; do
        if [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" != installed ]; then
            echo "$package"
        fi
    done
}

# Installs only when something is missing, so a second start skips apt entirely.
tablora_install_packages() {
    local missing
    mapfile -t missing < <(tablora_missing_packages)
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
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# tablora_build DIR [CMAKE_ARGS...]
tablora_build() {
    local dir=$1
    shift
    local generator=()
    if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    cmake -S "$TABLORA_ROOT" -B "$dir" "${generator[@]}" "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}
