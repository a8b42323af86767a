#!/usr/bin/env bash
# Runs a Windows program in the Wine session that tools/wine-session.sh started.
#   tools/wine-run.sh SESSION_DIR PROGRAM [ARGUMENTS...]
set -eu
session=${1:?usage: $0 SESSION_DIR PROGRAM [ARGUMENTS...]}
shift
if [ ! -f "$session/env" ]; then
  echo "no Wine session in $session: start it with tools/wine-session.sh" >&2
  exit 1
fi
. "$session/env" 2>/dev/null
exec wine "$@"
