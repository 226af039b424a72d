# Sourced: gives this shell an X display. Keeps $DISPLAY when one is set;
# otherwise starts Xvfb on a free display number and stops it on exit
# (call qex_xvfb_stop from the caller's own EXIT trap).
qex_xvfb_pid=""
qex_xvfb_start() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${QEX_FORCE_XVFB:-}" ]; then return 0; fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  qex_xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  export DISPLAY=":$n"
}
qex_xvfb_stop() {
  if [ -n "$qex_xvfb_pid" ]; then
    kill "$qex_xvfb_pid" 2>/dev/null || true
    wait "$qex_xvfb_pid" 2>/dev/null || true
    qex_xvfb_pid=""
  fi
}
