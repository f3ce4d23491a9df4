#!/bin/sh
# Prepares the unprivileged user that runs the Windows tests when the suite
# runs as root: creates it when missing (a system user without a home or a
# login shell), lets it reach the checkout, and hands it the folders of the
# build tree that the tests write (prefixes, home, scenario folders, CTest's
# logs). Idempotent. Usage (as root): scripts/test-user.sh USER BUILD_DIR
set -e
user=$1
build=$2
if ! id -u "$user" >/dev/null 2>&1; then
    # Another checkout may create it at the same moment.
    useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" \
        2>/dev/null || id -u "$user" >/dev/null
fi

# The user must reach the sources and the build tree (the test programs
# carry their paths). A folder above them that it cannot enter gets a
# search-only entry for this user alone.
check="$(pwd)/CMakeLists.txt"
if ! runuser -u "$user" -- test -r "$check"; then
    d=$(pwd)
    while [ "$d" != / ]; do
        if ! runuser -u "$user" -- test -x "$d"; then
            # Without ACL support: search (not read) rights for everyone.
            setfacl -m "u:$user:x" "$d" 2>/dev/null || chmod o+x "$d"
        fi
        d=$(dirname "$d")
    done
    runuser -u "$user" -- test -r "$check" || {
        echo "test-user: $user cannot read $check" >&2
        exit 1
    }
fi

for d in pristine-prefix wineprefix home e2e restart-wineprefix Testing; do
    mkdir -p "$build/$d"
    chown -R "$user:" "$build/$d"
done
