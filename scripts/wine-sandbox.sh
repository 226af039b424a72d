#!/usr/bin/env bash
# Runs one Windows test of a build tree apart from every other test, so that
# the tests of all trees can run side by side:
#   - its own network namespace: its own 127.0.0.1:10102 for the client's
#     bridge, and nothing it serves or connects to is seen by other tests;
#   - its own Wine prefix: a copy of the tree's template prefix, so its own
#     wineserver, "QEXTIVARA" mutex, registry, drive letters and settings;
#   - its own X display: dialogs that take the foreground, keys sent to the
#     client and screenshots of the root window meet no other test's windows.
#
#   wine-sandbox.sh --template-boot       start the tree's template prefix anew: wineboot
#   wine-sandbox.sh --template            finish it: the set-up that needs the build
#   wine-sandbox.sh NAME COMMAND [ARGS]   run COMMAND in a sandbox named NAME
#
# Called through <tree>/wine-sandbox.sh, which sets QEX_TREE, QEX_BUILD_DIR
# and QEX_SOURCE_DIR. COMMAND finds its prefix in QEX_WINEPREFIX (the tree's
# wine-run.sh and the test harness use it) and a folder of its own in
# QEX_TEST_WORK. The sandbox of a failed test is kept for a look
# (<tree>/sandbox/NAME: work files, and the prefix's changed files in
# prefix-changes/); a passed one is removed.
set -u
: "${QEX_TREE:?}" "${QEX_BUILD_DIR:?}" "${QEX_SOURCE_DIR:?}"
source "$QEX_SOURCE_DIR/scripts/wine-arch.sh"
template=$QEX_BUILD_DIR/wineprefix

if [ "$QEX_TREE" = win32 ] && [ "$QEX_WINE_32BIT" = 0 ]; then
  # 77: the tests' "skipped" code.
  echo "wine-sandbox: this machine's kernel runs no 32-bit programs (ia32 emulation is off):" \
       "the win32 tree's programs cannot run here" >&2
  exit 77
fi

# Everything below runs in new network and mount namespaces. Root (as CI
# runs) creates them directly; anyone else needs unprivileged user
# namespaces. Either way a machine that allows neither fails here, loudly:
# without the namespace the tests would share port 10102.
if [ -z "${QEX_SANDBOX_INSIDE:-}" ]; then
  export QEX_SANDBOX_INSIDE=1
  if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net --mount --propagation private -- bash "$0" "$@"
  fi
  exec unshare --map-root-user --net --mount --propagation private -- bash "$0" "$@"
fi
unset QEX_SANDBOX_INSIDE
ip link set lo up || { echo "wine-sandbox: cannot bring up loopback in the new namespace" >&2; exit 1; }

xvfb_pid=
start_display() {
  # The display listens only on Linux's abstract socket name, which belongs
  # to the network namespace: no socket file in /tmp/.X11-unix, so nothing
  # outside the sandbox can reach it or be displaced by it. Its number is
  # still taken with the X lock file (/tmp/.X<n>-lock) like any display's:
  # Xvfb names other files by it (its compiled keymap, /var/lib/xkb/server-<n>.xkm),
  # and two displays of one number started at once break each other. A
  # number taken by now makes Xvfb give up at once: try another.
  # -noreset: the display keeps its state from one program to the next.
  local n tries=0
  while [ $tries -lt 100 ]; do
    tries=$((tries + 1))
    n=$((200 + RANDOM % 800))
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -nolisten unix -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    # Ready once it listens; only this sandbox's sockets are listed here.
    while kill -0 "$xvfb_pid" 2>/dev/null; do
      if grep -q "@/tmp/.X11-unix/X$n\$" /proc/net/unix; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.05
    done
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
  done
  echo "wine-sandbox: Xvfb did not start (no free display number?)" >&2
  return 1
}

end_prefix() {
  # Ends every process of the prefix and waits for its wineserver, before
  # the prefix goes away: a later copy can get the same inode, and Wine
  # would take a server still running for it as its own.
  WINEPREFIX=$1 wineserver -k >/dev/null 2>&1
  WINEPREFIX=$1 wineserver -w >/dev/null 2>&1
  return 0
}

stop_display() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  return 0
}

case ${1:-} in
  --template-boot|--template)
    # The one initialisation of the tree's run (wineboot, then the hooks of
    # scripts/wine-prefix.d/); every test then starts from a copy of it.
    # wineboot needs nothing of the build, so it can run while the tree builds.
    start_display || exit 1
    if [ "$1" = --template-boot ]; then
      rm -rf "$template" "$template.lock"
      QEX_WINEPREFIX=$template bash "$QEX_SOURCE_DIR/scripts/wine-prefix.sh" --boot
    else
      rm -f "$template/.qex-ready"
      QEX_WINEPREFIX=$template bash "$QEX_SOURCE_DIR/scripts/wine-prefix.sh"
    fi
    rc=$?
    end_prefix "$template"
    stop_display
    exit $rc
    ;;
esac

name=${1:?usage: wine-sandbox.sh NAME COMMAND [ARGS...]}
shift
[ $# -gt 0 ] || { echo "usage: wine-sandbox.sh NAME COMMAND [ARGS...]" >&2; exit 2; }
if [ ! -f "$template/.qex-ready" ]; then
  echo "wine-sandbox: no template prefix in $template (the test $QEX_TREE.wine_prefix makes it)" >&2
  exit 1
fi

box=$QEX_BUILD_DIR/sandbox/$name
rm -rf "$box"
mkdir -p "$box/work" "$box/prefix-changes" "$box/.overlay" "$box/wineprefix"
# The copy: an overlay whose lower layer is the template (read only) and
# whose upper layer takes whatever the test changes. A full copy is 1.3 GB
# (Wine's DLLs for both architectures); the overlay costs nothing and can
# never change the template. Where overlays cannot be mounted (some
# container file systems), a real copy (a reflink where the file system
# has them).
if ! mount -t overlay qex-prefix \
      -o "lowerdir=$template,upperdir=$box/prefix-changes,workdir=$box/.overlay" "$box/wineprefix" 2>/dev/null; then
  echo "wine-sandbox: no overlay mount here; copying the template prefix" >&2
  rmdir "$box/wineprefix"
  cp -a --reflink=auto "$template" "$box/wineprefix" || exit 1
fi
export QEX_WINEPREFIX=$box/wineprefix QEX_TEST_WORK=$box/work

start_display || exit 1
"$@"
rc=$?
end_prefix "$QEX_WINEPREFIX"
stop_display
if mountpoint -q "$QEX_WINEPREFIX"; then
  umount "$QEX_WINEPREFIX" || umount -l "$QEX_WINEPREFIX"
fi
if [ $rc -eq 0 ] || [ $rc -eq 77 ]; then
  rm -rf "$box"
else
  echo "wine-sandbox: $name ended with $rc; its files are in $box" >&2
fi
exit $rc
