#!/usr/bin/env bash
# Creates one simulated USB key for mtoken_gm3000.dll (the software key):
# a device folder under the root holding an application with the user PIN
# and a container with an RSA-2048 signing key and its X.509 certificate,
# issued by a test CA kept (and reused) in <root>/.test-ca.
#
#   provision-key.sh --root DIR --name NAME [--pin PIN] [--app NAME]
#                    [--container NAME] [--retries N]
#
# Defaults: PIN 123456, application QEXAPP, container ZUL_TN, 10 tries.
# Running it again for the same key keeps the key pair and certificate and
# only rewrites the PIN settings (and unlocks the PIN). The last line printed
# is "cert-hash=<Base64 of SHA-256 of the DER certificate>", the key's
# identity at the seal service; the same text is in <device>/cert-hash.txt.
set -euo pipefail

usage() {
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

root= name= pin=123456 app=QEXAPP container=ZUL_TN retries=10
while [ $# -gt 0 ]; do
  case $1 in
    --root) root=${2:?}; shift 2 ;;
    --name) name=${2:?}; shift 2 ;;
    --pin) pin=${2?}; shift 2 ;;
    --app) app=${2:?}; shift 2 ;;
    --container) container=${2:?}; shift 2 ;;
    --retries) retries=${2:?}; shift 2 ;;
    -h|--help) usage ;;
    *) echo "provision-key: unknown argument $1" >&2; usage ;;
  esac
done
[ -n "$root" ] && [ -n "$name" ] || usage
for n in "$name" "$app" "$container"; do
  case $n in
    */*|.*) echo "provision-key: '$n' cannot be a folder name of the key (no '/', no leading '.')" >&2; exit 2 ;;
  esac
done
case $retries in
  ''|*[!0-9]*) echo "provision-key: --retries takes a number" >&2; exit 2 ;;
esac
[ "$retries" -ge 1 ] && [ "$retries" -le 9999 ] || { echo "provision-key: --retries between 1 and 9999" >&2; exit 2; }
[ -n "$pin" ] || { echo "provision-key: the PIN cannot be empty" >&2; exit 2; }

mkdir -p "$root"
ca=$root/.test-ca
if [ ! -f "$ca/ca.pem" ] || [ ! -f "$ca/ca.key" ]; then
  mkdir -p "$ca"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -subj "/CN=QEX Test CA/O=QEX Test" -keyout "$ca/ca.key" -out "$ca/ca.pem" 2>/dev/null
fi

device=$root/$name
dir=$device/$app/$container
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ ! -s "$dir/sign-key.sexp" ] || [ ! -s "$dir/sign-cert.der" ]; then
  openssl genrsa -out "$work/key.pem" 2048 2>/dev/null
  # libgcrypt reads the key as an S-expression. Its CRT form wants
  # u = p^-1 mod q while OpenSSL stores q^-1 mod p: swapping the primes
  # makes OpenSSL's coefficient the right u.
  openssl rsa -in "$work/key.pem" -text -noout 2>/dev/null | awk '
    /^[a-zA-Z0-9]+:/ || /^publicExponent/ {
      field = $1; sub(":", "", field)
      if (field == "publicExponent") {
        hex = $3; gsub(/[()]/, "", hex); sub("0x", "", hex)
        if (length(hex) % 2) hex = "0" hex
        v["publicExponent"] = hex; field = ""
      }
      next
    }
    field != "" { line = $0; gsub(/[ :]/, "", line); v[field] = v[field] line }
    END {
      printf "(private-key (rsa (n #%s#) (e #%s#) (d #%s#) (p #%s#) (q #%s#) (u #%s#)))\n",
        v["modulus"], v["publicExponent"], v["privateExponent"],
        v["prime2"], v["prime1"], v["coefficient"]
    }' > "$work/sign-key.sexp"
  grep -q '(n #[0-9a-f]\{256,\}#)' "$work/sign-key.sexp" || { echo "provision-key: could not read the generated key" >&2; exit 1; }
  cn=$(printf '%s' "$name" | tr '/+=,\\' '_____')
  cat > "$work/ext.cnf" <<EXT
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,nonRepudiation
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
EXT
  openssl req -new -key "$work/key.pem" -utf8 -subj "/CN=$cn/O=QEX Test" -out "$work/req.pem" 2>/dev/null
  openssl x509 -req -in "$work/req.pem" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -set_serial "0x$(openssl rand -hex 8)" \
    -days 3650 -sha256 -extfile "$work/ext.cnf" -outform DER -out "$work/sign-cert.der" 2>/dev/null
  mv "$work/sign-key.sexp" "$dir/sign-key.sexp"
  mv "$work/sign-cert.der" "$dir/sign-cert.der"
fi

printf 'user-pin=%s\nmax-retries=%s\n' "$pin" "$retries" > "$device/$app/app.ini"
rm -f "$device/$app/pin-retries"
hash=$(openssl dgst -sha256 -binary "$dir/sign-cert.der" | base64 -w0)
printf '%s\n' "$hash" > "$device/cert-hash.txt"
# The marker goes last: only a complete key is ever seen as plugged in.
[ -f "$device/device.ini" ] || printf 'name=%s\n' "$name" > "$device/device.ini"
echo "device=$device"
echo "cert-hash=$hash"
