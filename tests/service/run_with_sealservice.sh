#!/usr/bin/env bash
# Runs a command with the seal service simulator listening on a free loopback
# port: run_with_sealservice.sh SIMULATOR WORKDIR COMMAND...
# The command finds the port in QEX_SEALSERVICE_PORT and a registered key in
# QEX_TEST_CERT_HASH. Exits 77 (skipped) when the simulator was not built.
set -u
sim=$1 work=$2
shift 2
if [ ! -x "$sim" ]; then
  echo "run_with_sealservice: $sim not built (build the native tree too); skipping" >&2
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
db=$work/seals.db
export QEX_TEST_CERT_HASH='n4bQgYhMfWWaL+qgxVrQFaO/TxsrC4Is0V1sFbDwCgg='
"$sim" --db "$db" register-seal --cert-hash "$QEX_TEST_CERT_HASH" --unit 测试单位 --name 电子公章 \
  --image-url http://127.0.0.1/seals/1.png --web-url NOURL --need-hw 1 >/dev/null || exit 1
"$sim" --db "$db" --port 0 --port-file "$work/port" >"$work/sim.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null' EXIT
for _ in $(seq 1 600); do
  [ -s "$work/port" ] && break
  kill -0 $pid 2>/dev/null || { cat "$work/sim.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/port" ] || { echo "run_with_sealservice: simulator did not start" >&2; exit 1; }
QEX_SEALSERVICE_PORT=$(cat "$work/port")
export QEX_SEALSERVICE_PORT
"$@"
