#!/usr/bin/env bash
# Runs a command inside a private D-Bus session with an unlocked gnome-keyring, the way a
# desktop session provides one. Tests of the secret store need it. The keyring lives in a
# throwaway folder, so test runs never add to or read the user's own keyrings.
exec dbus-run-session -- bash -c '
    keyrings=$(mktemp -d)
    echo -n orvik-test | XDG_DATA_HOME="$keyrings" gnome-keyring-daemon --unlock --components=secrets >/dev/null
    "$@"
    status=$?
    rm -rf "$keyrings"
    exit $status' _ "$@"
