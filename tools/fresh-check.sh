#!/usr/bin/env bash
# Proves the README on a fresh Debian 12 machine: makes a minimal bookworm root with
# debootstrap, adds only what a new user's machine has (git, ca-certificates, sudo and an
# ordinary user who may use sudo), clones this repository's committed HEAD into the user's
# home and runs the README's commands there exactly as written. The root is thrown away
# afterwards, whatever happens.
#
#   sudo tools/fresh-check.sh [--test] [--run] [--keep-root DIR]
#
#   --test   ./build.sh test (the default when neither is given)
#   --run    ./build.sh run under Xvfb until the client's window appears, then quit it
#   --keep-root DIR   reuse (or create and keep) the bare root in DIR: saves the three
#            minutes of debootstrap when trying a package list again; the clone and
#            everything installed into it are still made anew in a copy
#
# Uncommitted changes are not part of the check: commit first. Needs root (mounts, chroot).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
want_test=0
want_run=0
keep_root=""
while [[ $# -gt 0 ]]; do
    case "$1" in
    --test) want_test=1 ;;
    --run) want_run=1 ;;
    --keep-root) keep_root=$2; shift ;;
    *) echo "usage: $0 [--test] [--run] [--keep-root DIR]" >&2; exit 2 ;;
    esac
    shift
done
[[ $want_test -eq 1 || $want_run -eq 1 ]] || want_test=1
if [[ $(id -u) -ne 0 ]]; then
    echo "fresh-check: needs root for debootstrap, mounts and chroot" >&2
    exit 2
fi

# Mounts made below live in a mount namespace of their own, so even a killed run leaves
# none behind on the host; the trap still unmounts them on every ordinary exit.
if [[ -z "${ORVIK_FRESH_NS:-}" ]]; then
    ORVIK_FRESH_NS=1 exec unshare --mount --propagation private -- "$0" \
        $([[ $want_test -eq 1 ]] && echo --test) $([[ $want_run -eq 1 ]] && echo --run) \
        ${keep_root:+--keep-root "$keep_root"}
fi

step() { echo "== fresh root: $* ($(date +%T))"; }

# The mirror the host itself uses; the host's apt settings come along, because its lists
# may be a dated snapshot that must not be refused for old Release dates.
mirror=$(sed -n 's/^URIs:[[:space:]]*\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
[[ -n "$mirror" ]] || mirror=$(awk '$1 == "deb" && $2 ~ /\/debian$/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[[ -n "$mirror" ]] || mirror=http://deb.debian.org/debian

work=$(mktemp -d /var/tmp/orvik-fresh.XXXXXX)
root=$work/root
mounted=()
cleanup() {
    local status=$?
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[$i]}" 2>/dev/null || true
    done
    rm -rf --one-file-system "$work"
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

if [[ -n "$keep_root" && -x "$keep_root/usr/bin/git" ]]; then
    step "copying the bare root from $keep_root"
    cp -a "$keep_root" "$root"
else
    step "debootstrap bookworm from $mirror"
    debootstrap --variant=minbase --include=git,ca-certificates,sudo bookworm "$root" "$mirror" \
        >"$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log"; exit 1; }
    if [[ -n "$keep_root" ]]; then
        rm -rf --one-file-system "$keep_root"
        cp -a "$root" "$keep_root"
    fi
fi

rm -f "$root/etc/apt/sources.list"
mkdir -p "$root/etc/apt/sources.list.d" "$root/etc/apt/apt.conf.d"
cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null ||
    printf 'deb %s bookworm main\ndeb %s bookworm-updates main\n' "$mirror" "$mirror" >"$root/etc/apt/sources.list"
[[ -f /etc/apt/sources.list ]] && cp /etc/apt/sources.list "$root/etc/apt/sources.list"
cp -a /etc/apt/apt.conf.d/. "$root/etc/apt/apt.conf.d/"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# What Debian's installer writes and debootstrap does not: without it "localhost" resolves
# to nothing.
cat >"$root/etc/hosts" <<HOSTS
127.0.0.1	localhost
127.0.1.1	$(cat "$root/etc/hostname")
::1	localhost ip6-localhost ip6-loopback
ff02::1	ip6-allnodes
ff02::2	ip6-allrouters
HOSTS

mountin() {
    mount "$@"
    mounted+=("${*: -1}")
}
mountin -t proc proc "$root/proc"
mountin -t sysfs sysfs "$root/sys"
mkdir -p "$root/dev/pts" "$root/dev/shm"
mountin -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mountin -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"

# A new user's machine: an ordinary account that may use sudo, and apt's lists fetched.
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 HOME=/root "$@"; }
in_root apt-get update -qq
in_root useradd --create-home --shell /bin/bash dev
echo 'dev ALL=(ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/dev"
chmod 0440 "$root/etc/sudoers.d/dev"

git clone --quiet --no-hardlinks "$repo" "$root/home/dev/orvik"
chroot "$root" chown -R dev:dev /home/dev/orvik
as_user() {
    chroot --userspec=dev:dev "$root" /usr/bin/env -i \
        PATH=/usr/local/bin:/usr/bin:/bin HOME=/home/dev USER=dev LOGNAME=dev LANG=C.UTF-8 \
        TERM=dumb /bin/bash -c "cd ~/orvik && $1"
}

if [[ $want_test -eq 1 ]]; then
    step "./build.sh test"
    as_user './build.sh test'
fi

if [[ $want_run -eq 1 ]]; then
    step "./build.sh run under Xvfb until the window appears"
    # The window's title starts with the application's name and version; the client ends
    # on SIGTERM the way the tray's quit does, with 0.
    cat >"$root/home/dev/run-check.sh" <<'CHECK'
./build.sh run &
client=$!
for _ in $(seq 3600); do
    xwininfo -root -tree 2>/dev/null | grep -q '"OrvikVPN [0-9]' && break
    kill -0 "$client" 2>/dev/null || break
    sleep 0.5
done
if ! xwininfo -root -tree | grep '"OrvikVPN [0-9]'; then
    echo "fresh-check: the client's window did not appear" >&2
    kill "$client" 2>/dev/null
    exit 1
fi
kill -TERM "$client"
wait "$client"
CHECK
    as_user 'tools/install-deps.sh && xvfb-run -a -s "-screen 0 1280x1000x24" bash ~/run-check.sh'
    echo "the client's window appeared and the client quit with 0"
fi
step "passed"
