#!/usr/bin/env bash
# Runs a command inside a private D-Bus session with an unlocked gnome-keyring, the way a
# desktop session provides one. Tests of the secret store need it. The keyring lives in a
# throwaway folder, so test runs never add to or read the user's own keyrings.
exec dbus-run-session -- bash -c '
    keyrings=$(mktemp -d)
    echo -n orvik-test | XDG_DATA_HOME="$keyrings" gnome-keyring-daemon --unlock --components=secrets >/dev/null
    # The daemon forks and takes its bus name a moment later: wait for it (at most 5 s), so
    # the command finds the keyring and the daemon can be stopped afterwards.
    secretsPid() {
        dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets 2>/dev/null |
            awk "{print \$2}"
    }
    for _ in $(seq 50); do
        [[ -n "$(secretsPid)" ]] && break
        sleep 0.1
    done
    "$@"
    status=$?
    # A daemon that has not yet noticed the session closing would outlive it.
    pid=$(secretsPid)
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
    rm -rf "$keyrings"
    exit $status' _ "$@"
