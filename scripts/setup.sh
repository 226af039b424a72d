#!/usr/bin/env bash
# Installs, with apt-get, whatever a fresh Debian 12 machine lacks to build,
# run and test QEXTivara. Idempotent: a second run only checks.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive

# A mirror in the middle of a sync can fail one index; retry, then go on with
# what was fetched (the install itself reports anything really missing).
# When one architecture's security index is missing, the two architectures'
# candidates of the same library differ and 32-bit Wine cannot be installed;
# a temporary pin keeps both on the versions of the main suite.
mirror_pin=/etc/apt/preferences.d/qextivara-mirror
apt_update() {
  for i in 1 2 3; do
    apt-get update -qq && return 0
    sleep 5
  done
  echo "setup: apt-get update reported errors; continuing with the lists it has" >&2
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 90\n' > "$mirror_pin"
}

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root (apt-get install is needed)" >&2
    exit 1
  fi
}

packages=(
  # build
  cmake ninja-build make pkg-config g++ clang libclang-rt-14-dev llvm
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64
  # crypto for the software USB key (Linux and both mingw targets)
  libgcrypt20-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev openssl
  # SOAP stack
  gsoap libgsoap-dev dpkg-dev
  # seal service simulator
  libsqlite3-dev sqlite3 qrencode libqrencode-dev libpng-dev zbar-tools
  # running Windows programs
  wine wine64 wine32:i386 xvfb xauth x11-utils imagemagick locales fonts-wqy-microhei
  # end-to-end and tooling
  curl chromium nsis procps psmisc python3 iproute2 nodejs
)

missing=()
have_i386=0
dpkg --print-foreign-architectures | grep -qx i386 && have_i386=1

for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "$have_i386" -eq 0 ] || [ "${#missing[@]}" -gt 0 ]; then
  need_root
  if [ "$have_i386" -eq 0 ]; then
    echo "setup: adding the i386 architecture (32-bit Wine)"
    dpkg --add-architecture i386
  fi
  echo "setup: installing ${missing[*]:-}"
  apt_update
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  rm -f "$mirror_pin"
fi

# zh_CN.UTF-8 glibc locale: Wine derives the ANSI code page (936) from it.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  need_root
  echo "setup: generating the zh_CN.UTF-8 locale"
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# gSOAP runtime sources for the Windows builds, from Debian's source package.
# Kept outside the work tree so fresh clones on this machine reuse it.
src_dir="${QEX_GSOAP_SRC:-/var/cache/qextivara/gsoap-src}"
if [ ! -f "$src_dir/gsoap/stdsoap2.cpp" ]; then
  need_root
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null; then
    # Derive a deb-src entry from the binary one: same mirrors, suites and keys.
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/qextivara-src.sources
    apt_update
  fi
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq --download-only gsoap >/dev/null && dpkg-source -x --no-check ./gsoap_*.dsc extracted >/dev/null)
  mkdir -p "$src_dir"
  cp -r "$tmp"/extracted/gsoap "$src_dir/"
  rm -rf "$tmp"
fi
echo "setup: ready"
