#!/usr/bin/env bash
# Installs the Debian packages that building and testing kivo need, and only
# when one of them is missing. Usage: tools/install-deps.sh [build|check|demo|bench]
set -eu

tier=${1:-check}
build_pkgs="cmake make g++ g++-mingw-w64-i686 mingw-w64-i686-dev googletest"
check_pkgs="$build_pkgs wine wine32:i386 xvfb xauth dovecot-pop3d python3-pefile
  imagemagick fonts-ipafont-gothic locales clang libclang-rt-14-dev x11-utils"
# The benchmark's other clients (curl, Debian's Python with poplib) and callgrind.
bench_pkgs="$check_pkgs curl python3 valgrind"
case $tier in
  build) want=$build_pkgs ;;
  check|demo) want=$check_pkgs ;;
  bench) want=$bench_pkgs ;;
  *) echo "usage: $0 [build|check|demo|bench]" >&2; exit 2 ;;
esac

need_i386=no
case " $(echo $want) " in *":i386 "*) need_i386=yes ;; esac

missing=""
for p in $want; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ "$need_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  arch_missing=yes
else
  arch_missing=no
fi
[ -z "$missing" ] && [ "$arch_missing" = no ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "kivo needs these packages:$missing" >&2
  echo "run as root:" >&2
  [ "$arch_missing" = yes ] && echo "  dpkg --add-architecture i386 && \\" >&2
  echo "  apt-get update && apt-get install -y --no-install-recommends$missing" >&2
  exit 1
fi

echo "installing:$missing"
[ "$arch_missing" = yes ] && dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
