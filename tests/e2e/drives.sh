#!/bin/sh
# The small drives of the end-to-end scenarios: a scenario whose first line
# is "# e2e-drive SIZE" gets a tmpfs of SIZE at BUILD/e2e/drives/NAME, owned
# by the test user, which it maps as a Wine drive and fills. Mounting needs
# root, so the test commands call this before they hand over to the test
# user. Usage (as root): tests/e2e/drives.sh mount|umount BUILD USER [SCENARIO...]
# (default: every scenario).
set -e
action=$1 build=$2 user=$3
shift 3
[ $# -gt 0 ] || set -- "$(dirname "$0")"/scenarios/*.sh
for s in "$@"; do
    size=$(sed -n '1s/^# e2e-drive \([0-9]*[KMG]\)$/\1/p' "$s")
    [ -n "$size" ] || continue
    dir=$build/e2e/drives/$(basename "$s" .sh)
    if [ "$action" = mount ]; then
        mkdir -p "$dir"
        mountpoint -q "$dir" || mount -t tmpfs -o "size=$size,mode=0755,uid=$(id -u "$user"),gid=$(id -g "$user")" \
            e2e-drive "$dir"
    elif mountpoint -q "$dir"; then
        # A process of the scenario may still be closing its files: then detach.
        umount "$dir" 2>/dev/null || umount -l "$dir"
        rmdir "$dir"
    fi
done
