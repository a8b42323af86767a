#!/usr/bin/env bash
# The benchmark: one run, one local Dovecot, one maildrop ("three", 3
# messages), every client in turn, each making CHECKS checks in a row:
#   kivo          the mail check, linked natively (no sanitizers)
#   kivo.dll      the built DLL under Wine, loaded as a host loads it
#   floor         a minimal raw-socket client: connect, greeting, USER, PASS, STAT
#   curl          curl's POP3 with a STAT request, a process per check
#   poplib        Python's poplib, in one process
# Each figure is also given as a ratio to the floor's. CPU per check is the
# instructions that callgrind counts natively: within the check function for
# kivo and the floor, the whole process for curl, and the difference between
# a run of 1 and of 11 checks for poplib.
#
#   tools/bench.sh BENCH_BUILD WIN32_BUILD [CHECKS]
set -eu
bench=$(cd "${1:?usage: $0 BENCH_BUILD WIN32_BUILD [CHECKS]}" && pwd)
win32=$(cd "${2:?usage: $0 BENCH_BUILD WIN32_BUILD [CHECKS]}" && pwd)
checks=${3:-1000}
here=$(cd "$(dirname "$0")/.." && pwd)
user=three
password=kivo-pass
python=/usr/bin/python3  # Debian's, with its standard library

cleanup() {
  "$here/tools/wine-session.sh" stop "$bench/wine-session" >/dev/null 2>&1 || true
  "$here/tools/dovecot-fixture.sh" stop "$bench/dovecot" >/dev/null 2>&1 || true
}
trap cleanup EXIT
"$here/tools/dovecot-fixture.sh" start "$bench/dovecot" >/dev/null
port=$(cat "$bench/dovecot/port")
"$here/tools/wine-session.sh" start "$bench/wine-session" "$win32/bin/wine_idle.exe" >/dev/null
curl_command=(curl -sS "pop3://127.0.0.1:$port/" -u "$user:$password" -X STAT -I)

results=$bench/bench-results.txt
: > "$results"
timed() {  # timed NAME COMMAND...: the client's line, renamed
  local name=$1 line
  shift
  line=$("$@" | tr -d '\r' | tail -n 1)
  echo "$name ${line#* }" >> "$results"
  echo "  $name: $line" >&2
}
echo "timing $checks checks per client against 127.0.0.1:$port (user $user)" >&2
timed floor "$bench/bin/kivo_bench" --client floor --port "$port" --user "$user" --count "$checks"
timed kivo "$bench/bin/kivo_bench" --client kivo --port "$port" --user "$user" --count "$checks"
timed kivo.dll "$here/tools/wine-run.sh" "$bench/wine-session" "$win32/bin/kivo_bench.exe" \
  --client kivo.dll --port "$port" --user "$user" --count "$checks"
timed curl "$bench/bin/kivo_bench" --client command --port "$port" --count "$checks" -- "${curl_command[@]}"
timed poplib "$python" "$here/bench/poplib_bench.py" "$port" "$user" "$password" "$checks"

collected() {  # the instructions that callgrind collected in COMMAND...
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -n 1
}
echo "counting instructions with callgrind" >&2
n=20  # checks per counted run; kivo_bench makes 5 more first
ir_floor=$(( $(collected --toggle-collect=floor_check "$bench/bin/kivo_bench" --client floor \
  --port "$port" --user "$user" --count $n) / (n + 5) ))
ir_kivo=$(( $(collected --toggle-collect=kivo "$bench/bin/kivo_bench" --client kivo \
  --port "$port" --user "$user" --count $n) / (n + 5) ))
ir_curl=$(collected "${curl_command[@]}")
ir_poplib=$(( ($(collected "$python" "$here/bench/poplib_bench.py" "$port" "$user" "$password" 11) -
  $(collected "$python" "$here/bench/poplib_bench.py" "$port" "$user" "$password" 1)) / 10 ))

echo
echo "kivo benchmark: $checks checks per client, Dovecot on loopback, $(nproc) cores, $(date -u +%Y-%m-%d)"
awk -v ir_floor="$ir_floor" -v ir_kivo="$ir_kivo" -v ir_curl="$ir_curl" -v ir_poplib="$ir_poplib" '
  { name[NR] = $1; rate[NR] = $2; median[NR] = $3; p99[NR] = $4; if ($1 == "floor") f = NR }
  END {
    ir["floor"] = ir_floor; ir["kivo"] = ir_kivo; ir["curl"] = ir_curl; ir["poplib"] = ir_poplib
    printf "| client | checks/s | median ms | p99 ms | instructions/check |\n"
    printf "| --- | --- | --- | --- | --- |\n"
    for (i = 1; i <= NR; i++) {
      n = name[i]
      cpu = (n in ir) ? sprintf("%d (%.2fx)", ir[n], ir[n] / ir_floor) : "- (not native)"
      printf "| %s | %.1f (%.2fx) | %.2f (%.2fx) | %.2f (%.2fx) | %s |\n", n,
        rate[i], rate[i] / rate[f], median[i], median[i] / median[f], p99[i], p99[i] / p99[f], cpu
    }
  }' "$results"
echo "(ratios are to the floor; for curl the instructions are its whole process)"
