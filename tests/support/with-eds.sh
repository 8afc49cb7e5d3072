#!/bin/sh
# Runs a test program against an Evolution Data Server of its own: a private session bus, on
# which the calendar services start on demand, and a home folder that is thrown away afterwards.
set -e
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/data" "$home/config" "$home/cache" "$home/runtime"
chmod 700 "$home/runtime"
env -u DBUS_SESSION_BUS_ADDRESS HOME="$home" XDG_DATA_HOME="$home/data" \
    XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
    GSETTINGS_BACKEND=memory dbus-run-session -- "$@"
