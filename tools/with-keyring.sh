#!/usr/bin/env bash
# Runs a command inside a private D-Bus session with an unlocked gnome-keyring, the way a
# desktop session provides one. Tests of the secret store need it.
exec dbus-run-session -- bash -c '
    echo -n orvik-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$@"' _ "$@"
