#!/usr/bin/env bash
# A Wine session for running the Windows build: a 32-bit prefix with the
# Japanese code page, a display (Xvfb) and a persistent wineserver, shared
# by every program started through tools/wine-run.sh.
#
#   tools/wine-session.sh start SESSION_DIR [IDLE_EXE]
#   tools/wine-session.sh stop SESSION_DIR
#
# The prefix and the locale are made once, beside SESSION_DIR, and kept.
set -eu

command=${1:?usage: $0 start|stop SESSION_DIR [IDLE_EXE]}
session=$(mkdir -p "$2" && cd "$2" && pwd)
idle_exe=${3:-}
top=$(dirname "$session")
here=$(cd "$(dirname "$0")" && pwd)

stop() {
  [ -f "$session/env" ] || return 0
  . "$session/env" 2>/dev/null
  wineserver -k 2>/dev/null || true
  for name in idle xvfb; do
    if [ -f "$session/$name.pid" ]; then
      kill "$(cat "$session/$name.pid")" 2>/dev/null || true
      rm -f "$session/$name.pid"
    fi
  done
  rm -f "$session/env"
}

make_locale() {
  [ -d "$top/locale/ja_JP.UTF-8" ] && return 0
  mkdir -p "$top/locale"
  localedef -i ja_JP -f UTF-8 "$top/locale/ja_JP.UTF-8" 2>/dev/null ||
    [ -d "$top/locale/ja_JP.UTF-8" ]
}

make_prefix() {
  [ -f "$WINEPREFIX/.kivo-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Dialogs without a window manager: Wine draws their frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # The dialog's Japanese face name, mapped to a font that Debian ships.
  /usr/bin/python3 - "$session/fonts.reg" <<'PY'
import sys
text = ('Windows Registry Editor Version 5.00\r\n\r\n'
        '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        '"\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af"="IPAPGothic"\r\n'
        '"\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"="IPAGothic"\r\n'
        '"MS UI Gothic"="IPAPGothic"\r\n')
open(sys.argv[1], 'wb').write(b'\xff\xfe' + text.encode('utf-16-le'))
PY
  wine regedit /S "$(winepath -w "$session/fonts.reg" 2>/dev/null)" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.kivo-ready"
}

free_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
  done
  return 1
}

case $command in
stop) stop ;;
start)
  stop
  make_locale
  display=$(free_display)
  cat > "$session/env" <<ENV
export WINEPREFIX="$top/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export LOCPATH="$top/locale"
export LC_ALL=ja_JP.UTF-8
export DISPLAY=:$display
ENV
  . "$session/env" 2>/dev/null
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  echo $! > "$session/xvfb.pid"
  for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
  make_prefix
  wineserver -p </dev/null >/dev/null 2>&1
  if [ -n "$idle_exe" ]; then
    # One long-lived Wine process keeps Wine's own services up between tests.
    setsid wine "$idle_exe" </dev/null >/dev/null 2>&1 &
    echo $! > "$session/idle.pid"
  fi
  # Wine's own services start with the first program; start them here, with
  # no terminal or pipe of a test to hold open.
  wine cmd /c exit </dev/null >/dev/null 2>&1
  echo "wine session on display :$display"
  ;;
*) echo "usage: $0 start|stop SESSION_DIR [IDLE_EXE]" >&2; exit 2 ;;
esac
