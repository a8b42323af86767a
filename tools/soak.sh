#!/usr/bin/env bash
# The soak at full length: CHECKS checks against a local Dovecot and as many
# against a refused port, in one process, natively (kivo linked in, no
# sanitizers) and with kivo.dll under Wine; prints each run's figures.
#   tools/soak.sh BENCH_BUILD WIN32_BUILD [CHECKS]
set -eu
bench=$(cd "${1:?usage: $0 BENCH_BUILD WIN32_BUILD [CHECKS]}" && pwd)
win32=$(cd "${2:?usage: $0 BENCH_BUILD WIN32_BUILD [CHECKS]}" && pwd)
checks=${3:-10000}
here=$(cd "$(dirname "$0")/.." && pwd)

cleanup() {
  "$here/tools/wine-session.sh" stop "$bench/wine-session" >/dev/null 2>&1 || true
  "$here/tools/dovecot-fixture.sh" stop "$bench/dovecot" >/dev/null 2>&1 || true
}
trap cleanup EXIT
"$here/tools/dovecot-fixture.sh" start "$bench/dovecot" >/dev/null
"$here/tools/wine-session.sh" start "$bench/wine-session" "$win32/bin/wine_idle.exe" >/dev/null
export KIVO_DOVECOT_DIR=$bench/dovecot

status=0
"$bench/bin/kivo_soak" --checks "$checks" --refused "$checks" --user three --strict || status=1
"$here/tools/wine-run.sh" "$bench/wine-session" "$win32/bin/kivo_soak.exe" \
  --checks "$checks" --refused "$checks" --user three --strict | tr -d '\r' || status=1
exit $status
