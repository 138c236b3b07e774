#!/usr/bin/env bash
# tools/install-deps.sh while another apt holds dpkg's lock: it says so on a line of its own and
# lets apt-get wait for the lock (DPkg::Lock::Timeout) instead of failing at once; with the lock
# free it says nothing of it. apt-get, dpkg-query, lslocks and id are stand-ins first on PATH, so
# nothing is installed and the real lock is never touched.
#   install_deps_test.sh SOURCE_DIR
set -euo pipefail
fakes=$(mktemp -d)
trap 'rm -rf "$fakes"' EXIT
printf '#!/bin/sh\nexit 1\n' >"$fakes/dpkg-query"                      # nothing is installed
printf '#!/bin/sh\necho "apt-get $*" >>"%s/apt.log"\n' "$fakes" >"$fakes/apt-get"
printf '#!/bin/sh\necho 0\n' >"$fakes/id"                               # root: no sudo
printf '#!/bin/sh\n[ -e "%s/held" ] && echo /var/lib/dpkg/lock-frontend\nexit 0\n' "$fakes" >"$fakes/lslocks"
chmod +x "$fakes"/*

fail() {
  echo "install-deps: $*" >&2
  cat "$fakes/err" "$fakes/apt.log" >&2 || true
  exit 1
}

touch "$fakes/held"
PATH="$fakes:$PATH" ASMPIC_APT_LOCK_WAIT=7 "$1/tools/install-deps.sh" 2>"$fakes/err" || fail "failed"
grep -q "another apt or dpkg holds the package lock; waiting for it (up to 7 s)" "$fakes/err" || fail "no line about the lock"
grep -q "^apt-get -o DPkg::Lock::Timeout=7 update" "$fakes/apt.log" || fail "update does not wait"
grep -q "^apt-get -o DPkg::Lock::Timeout=7 install -y" "$fakes/apt.log" || fail "install does not wait"

rm "$fakes/held" "$fakes/apt.log"
PATH="$fakes:$PATH" "$1/tools/install-deps.sh" 2>"$fakes/err" || fail "failed without a lock"
! grep -q "package lock" "$fakes/err" || fail "speaks of a lock nobody holds"
grep -q "^apt-get -o DPkg::Lock::Timeout=600 install" "$fakes/apt.log" || fail "the default wait is not 600 s"
echo "install-deps waits for a held lock: ok"
