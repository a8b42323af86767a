#!/usr/bin/env bash
# The main job of kivo.dll, end to end (make demo): a local POP3 server with a
# demo mailbox, the plug-in in the test host under Wine and Xvfb, pictures of
# the settings dialog and the new-mail message box, and a transcript of every
# call between host and plug-in.
#
#   tools/demo.sh WIN32_BUILD WORK_DIR OUTPUT_DIR
#
# WIN32_BUILD holds bin/kivo.dll and bin/kivo_demo.exe. WORK_DIR keeps the
# Wine prefix and the locale between runs (made on the first run). OUTPUT_DIR
# is emptied and receives the PNG pictures, transcript.txt and the
# account.dat that the dialog wrote. Every process started here is stopped on
# every way out.
set -eu

usage="usage: $0 WIN32_BUILD WORK_DIR OUTPUT_DIR"
build=$(cd "${1:?$usage}" && pwd)
work=$(mkdir -p "${2:?$usage}" && cd "$2" && pwd)
out=$(mkdir -p "${3:?$usage}" && cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
exe=$build/bin/kivo_demo.exe
started=$(date +%s)

session=$work/session
dovecot=$work/dovecot
raw=$work/raw

say() { printf '%s\n' "$*"; }

stopped=no
stop_all() {
  [ "$stopped" = no ] || return 0
  stopped=yes
  "$here/wine-session.sh" stop "$session" >/dev/null 2>&1 || true
  "$here/dovecot-fixture.sh" stop "$dovecot" >/dev/null 2>&1 || true
  rm -rf "$raw"
  say "  - stopped: the Wine session with its Xvfb, and Dovecot"
}
cleanup() {
  local status=$?
  trap - EXIT INT TERM
  stop_all
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A loopback port of at most three digits: the settings dialog's port field
# shows three, and what is typed stops at a field's visible width.
pick_port() {
  /usr/bin/python3 - <<'PY'
import socket
for port in [110] + list(range(900, 100, -1)):
    s = socket.socket()
    try:
        s.bind(("127.0.0.1", port))
    except OSError:
        continue
    finally:
        s.close()
    print(port)
    break
PY
}

say "kivo demo"
for file in "$build/bin/kivo.dll" "$exe"; do
  [ -f "$file" ] || { say "  missing $file: build it with make win32" >&2; exit 1; }
done
rm -rf "$out" "$raw"
mkdir -p "$out" "$raw"

port=$(pick_port)
[ -n "$port" ] || { say "  no free loopback port below 1000" >&2; exit 1; }
"$here/dovecot-fixture.sh" start "$dovecot" "$port" >/dev/null
pid_file=$dovecot/run/master.pid
if ! [ -f "$pid_file" ] || ! kill -0 "$(cat "$pid_file")" 2>/dev/null; then
  say "  Dovecot did not start on port $port:" >&2
  tail -5 "$dovecot/dovecot.log" >&2 2>/dev/null || true
  exit 1
fi
say "  - Dovecot on 127.0.0.1:$port: mailbox \"demo\" (empty), mailbox \"three\" (3 messages), password kivo-pass"

[ -d "$work/wineprefix" ] || say "  - making the Wine prefix (first run only)"
session_line=$("$here/wine-session.sh" start "$session")
say "  - ${session_line}: Wine with code page 932, Xvfb"

say "  - the test host kivo_demo.exe with $build/bin/kivo.dll"
set +e
KIVO_DOVECOT_DIR=$dovecot timeout 300 "$here/wine-run.sh" "$session" "$exe" "Z:$raw/"
status=$?
set -e

pictures=""
for bmp in "$raw"/*.bmp; do
  [ -f "$bmp" ] || continue
  name=$(basename "$bmp" .bmp)
  convert "$bmp" "$out/$name.png"
  pictures="$pictures $name.png"
done
for file in transcript.txt account.dat; do
  [ -f "$raw/$file" ] && cp "$raw/$file" "$out/$file"
done
say "  - written to $out:$pictures transcript.txt account.dat"
stop_all

seconds=$(( $(date +%s) - started ))
if [ "$status" -eq 0 ]; then
  say "kivo demo passed in ${seconds} s: handshake, instance, account typed into the dialog, script calls, QV_KIVO_MailArrived(2), message box for 1; see $out/"
else
  say "kivo demo FAILED (test host exit code $status) after ${seconds} s; see $out/transcript.txt" >&2
  exit 1
fi
