#!/bin/sh
# Runs a test with a /tmp of its own, an empty memory file system that no
# other process sees. The connector's trace flag file has a fixed place in
# /tmp, and every connection on the machine reads it: a test that writes it
# and counts the lines of its log would otherwise count the connections of
# other tests running meanwhile (of this run or of another). Where no mount
# namespace can be made, the test runs as it is.
if unshare --mount --propagation private true 2>/dev/null; then
    exec unshare --mount --propagation private \
        sh -c 'mount -t tmpfs -o mode=1777 test-tmp /tmp && exec "$@"' sh "$@"
fi
if unshare --user --map-root-user --mount --propagation private true 2>/dev/null; then
    exec unshare --user --map-root-user --mount --propagation private \
        sh -c 'mount -t tmpfs -o mode=1777 test-tmp /tmp && exec "$@"' sh "$@"
fi
exec "$@"
