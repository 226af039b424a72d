#!/usr/bin/env bash
# Builds the client (win32; win64 where the kernel runs no 32-bit programs)
# and runs it under Wine with one simulated USB key, the seal service
# simulator with the key's seal registered, and the demo sealing page, until
# Ctrl-C, until the client is closed, or until `run.sh stop`.
#   scripts/run.sh          set up, build, start everything, wait
#   scripts/run.sh stop     stop a run started from another shell
# On the user's $DISPLAY when one is set; otherwise on a virtual X display
# inside a Wine desktop window (title bars and a tray), with the commands to
# look at it printed. Everything runs from <build>/run/: the key store, a Wine
# prefix of its own (tests never touch it) and the logs.
#   QEX_BUILD_ROOT=/path     where the trees go (default: build/, as test.sh)
#   QEX_CMAKE_ARGS=...       extra configure arguments
#   QEX_RUN_DESKTOP=1        use the Wine desktop window on $DISPLAY as well
#   QEX_RUN_TREE=win64       run the 64-bit build (default: win32 where it can run)
#   QEX_RUN_DIR=/path        where the run keeps its files (default: <build>/run)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${QEX_BUILD_ROOT:-$src/build}
run=${QEX_RUN_DIR:-$build/run}
state=$run/state
mkdir -p "$run"

# ---- stopping --------------------------------------------------------------
# Each part that starts something pushes the command that stops it; they run
# in reverse order, once, whatever way the run ends.
stoppers=()
on_stop() { stoppers+=("$1"); }
stopped=0
stop_all() {
  [ "$stopped" -eq 1 ] && return
  stopped=1
  local i
  for ((i = ${#stoppers[@]} - 1; i >= 0; i--)); do
    eval "${stoppers[$i]}" || true
  done
  rm -f "$state"
  echo "run: stopped"
}

state_get() { sed -n "s/^$1=//p" "$state" 2>/dev/null | tail -1; }

if [ "${1:-}" = stop ]; then
  pid=$(state_get pid)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  # The running script is gone (or was killed hard): clean up after it.
  if [ -f "$state" ]; then
    WINEPREFIX=$run/wineprefix wineserver -k 2>/dev/null || true
    xvfb=$(state_get xvfb)
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    sim=$(state_get sealservice)
    [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
    rm -f "$state"
  fi
  echo "run: nothing running"
  exit 0
fi
[ $# -eq 0 ] || { sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

if [ -f "$state" ] && kill -0 "$(state_get pid)" 2>/dev/null; then
  echo "run: already running (pid $(state_get pid)); scripts/run.sh stop ends it" >&2
  exit 1
fi
echo "pid=$$" > "$state"
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- set-up and build ------------------------------------------------------
bash "$src/scripts/setup.sh"

# The shipped client is the 32-bit build. A kernel without ia32 emulation
# cannot run it, not even Wine's 32-bit loader: there the 64-bit build of
# the same code stands in.
source "$src/scripts/wine-arch.sh"
run_tree=${QEX_RUN_TREE:-}
if [ -z "$run_tree" ]; then
  run_tree=win32
  if [ "$QEX_WINE_32BIT" = 0 ]; then
    run_tree=win64
    echo "run: this machine's kernel runs no 32-bit programs (ia32 emulation is off);" \
         "running the 64-bit build of the client instead of the shipped 32-bit one"
  fi
fi
case $run_tree in
  win32) toolchain=i686-w64-mingw32 ;;
  win64) toolchain=x86_64-w64-mingw32 ;;
  *) echo "run: QEX_RUN_TREE must be win32 or win64" >&2; exit 2 ;;
esac
tree=$build/$run_tree

# A tree that is configured already (by test.sh, or an earlier run) is only
# built: ninja configures it again itself when the CMake files changed.
# QEX_CMAKE_ARGS configures it anew with them.
configure_tree() {
  local dir=$1 name=$2
  shift 2
  if [ -f "$dir/build.ninja" ] && [ -z "${QEX_CMAKE_ARGS:-}" ]; then
    return 0
  fi
  echo "== configure $dir"
  # shellcheck disable=SC2206
  cmake -G Ninja -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEX_TREE="$name" "$@" \
    ${QEX_CMAKE_ARGS:-} >"$build/$name.configure.log" 2>&1 || { cat "$build/$name.configure.log"; return 1; }
}

# The seal service simulator is a Linux program of the native tree.
native=$build/native
build_sealservice() {
  configure_tree "$native" native -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc
  echo "== build qex-sealservice"
  cmake --build "$native" -j "${QEX_JOBS:-$(nproc)}" --target qex-sealservice
}

build_client() {
  configure_tree "$tree" "$run_tree" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-$toolchain.cmake"
  # The client, the recording browser of the prefix, and the control its
  # handwriting dialog hosts (registered by the prefix set-up).
  local targets=(QEXTivara qexrecorder mtoken_gm3000 QEXMultiCACryptModule glyphon)
  echo "== build ${targets[*]}"
  cmake --build "$tree" -j "${QEX_JOBS:-$(nproc)}" --target "${targets[@]}"
}
build_client
build_sealservice

# ---- parts of the run ------------------------------------------------------
# Wine for the run: its own prefix, set up by the same hooks as the tests'
# (drive D:, and the recording "http" handler: pages the client opens are
# listed in the browser log instead of opening a browser inside Wine).
export QEX_WINEPREFIX=$run/wineprefix QEX_BUILD_DIR=$tree QEX_SOURCE_DIR=$src QEX_TREE=$run_tree
export QEX_BROWSER_LOG=$run/browser.log

start_display() {
  if [ -n "${DISPLAY:-}" ]; then
    echo "run: on the display $DISPLAY"
    desktop=${QEX_RUN_DESKTOP:-}
    return
  fi
  source "$src/scripts/xvfb.sh"
  qex_xvfb_start
  echo "xvfb=$qex_xvfb_pid" >> "$state"
  on_stop qex_xvfb_stop
  desktop=1
  echo "run: on the virtual display $DISPLAY"
}

provision_key() {
  keys=$run/keys
  if [ ! -f "$keys/KEY1/device.ini" ]; then
    bash "$src/scripts/provision-key.sh" --root "$keys" --name KEY1 >"$run/provision.log"
  fi
  echo "run: USB key KEY1 (PIN 123456) in $keys"
  echo "  unplug: rm -r $keys/KEY1   plug in a new one: scripts/provision-key.sh --root $keys --name KEY1"
}

# The Wine desktop window is a setting of the prefix: every program of the
# run, the client and anything it starts, then opens inside it.
set_desktop() {
  local reg=$run/desktop.reg
  {
    echo 'REGEDIT4'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\Explorer]'
    if [ -n "$desktop" ]; then echo '"Desktop"="QEXTivara"'; else echo '"Desktop"=-'; fi
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]'
    echo '"QEXTivara"="1024x768"'
  } > "$reg"
  WINEPREFIX=$QEX_WINEPREFIX wine regedit /S "$(printf 'Z:%s' "$reg" | sed 's|/|\\|g')" 2>/dev/null
}

start_client() {
  "$src/scripts/wine-prefix.sh"
  on_stop "WINEPREFIX='$QEX_WINEPREFIX' wineserver -k 2>/dev/null"
  (source "$src/scripts/wine-env.sh" && set_desktop)
  (cd "$tree/bin" && QEX_SKF_ROOT=$keys exec "$src/scripts/wine-run.sh" "$tree/bin/QEXTivara.exe") \
    >"$run/client.log" 2>&1 &
  client_pid=$!
  echo "client=$client_pid" >> "$state"
  on_stop "kill $client_pid 2>/dev/null"
}

# The seal service simulator on 127.0.0.1:$port with the key's seal
# registered (handwriting required, so a sign request shows the QR dialog),
# the demo sealing page, and the client's settings pointing at both.
port=${QEX_RUN_PORT:-8080}
start_sealservice() {
  local hash db=$run/seal.db
  hash=$(cat "$keys/KEY1/cert-hash.txt")
  if ss -ltn 2>/dev/null | grep -q "127.0.0.1:$port "; then
    echo "run: port $port is taken; set QEX_RUN_PORT to another one" >&2
    return 1
  fi
  "$native/bin/qex-sealservice" --db "$db" register-seal --cert-hash "$hash" --unit 测试单位 \
    --name 电子公章 --image-url "http://127.0.0.1:$port/seal/1.png" \
    --web-url "http://127.0.0.1:$port/demo" --need-hw "${QEX_RUN_NEED_HW:-1}" >/dev/null
  "$native/bin/qex-sealservice" --db "$db" serve --port "$port" --www "$src/sim/www" \
    >"$run/sealservice.log" 2>&1 &
  local pid=$!
  echo "sealservice=$pid" >> "$state"
  on_stop "kill $pid 2>/dev/null"
  for _ in $(seq 1 100); do
    ss -ltn 2>/dev/null | grep -q "127.0.0.1:$port " && break
    kill -0 "$pid" 2>/dev/null || { cat "$run/sealservice.log" >&2; return 1; }
    sleep 0.1
  done
  echo "run: seal service simulator on http://127.0.0.1:$port (log $run/sealservice.log)"
}

# wsconfig.ini in the prefix: [WS] URL in both system folders (the 32-bit
# client reads syswow64), [WEBSITE] URL in the install folder.
configure_client() {
  local c=$QEX_WINEPREFIX/drive_c d
  for d in "$c/windows/system32" "$c/windows/syswow64"; do
    mkdir -p "$d"
    printf '[WS]\r\nURL=http://127.0.0.1:%s/qexseal/ws/mycxf\r\n' "$port" > "$d/wsconfig.ini"
  done
  for d in "$c/Program Files/ZULQEX" "$c/Program Files (x86)/ZULQEX"; do
    mkdir -p "$d"
    printf '[WEBSITE]\r\nURL=http://127.0.0.1:%s/demo\r\n' "$port" > "$d/wsconfig.ini"
  done
}

how_to_look() {
  echo "run: QEXTivara is running (log $run/client.log; pages it opens: $QEX_BROWSER_LOG)"
  echo "  demo page:   http://127.0.0.1:$port/demo   (log in first: 登录, PIN 123456)"
  echo "  phone page:  the QR code of a capture points at http://127.0.0.1:$port/phone/capture?id=..."
  if [ -n "$qex_xvfb_pid" ]; then
    echo "  screenshot:  DISPLAY=$DISPLAY import -window root shot.png"
    if command -v x11vnc >/dev/null; then
      echo "  watch live:  x11vnc -display $DISPLAY -localhost -nopw -once   (then a VNC viewer on localhost:5900)"
    fi
  fi
  echo "  stop:        Ctrl-C here, or scripts/run.sh stop"
}

qex_xvfb_pid=""
start_display
provision_key
start_sealservice
"$src/scripts/wine-prefix.sh"
configure_client
start_client
how_to_look

# Runs until the client ends (closed by the user) or we are told to stop.
wait "$client_pid" || true
echo "run: the client has ended"
