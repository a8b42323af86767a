#!/usr/bin/env bash
# What a user installs (make dist): DIST_DIR/kivo-<version>.zip holding
# kivo.dll and readme.txt.
#
#   tools/dist.sh WIN32_BUILD DIST_DIR
#
# The DLL is WIN32_BUILD/bin/kivo.dll as the Wine tests ran it, copied to
# DIST_DIR/kivo.dll and from there into the zip; nothing is rebuilt. It is
# refused unless the last test run of WIN32_BUILD ran every test of that
# tree, all passed, and the run came after the DLL was built (make check).
# readme.txt is docs/user-readme.txt as UTF-8 with a byte-order mark and
# CR LF line ends, which the editors of Windows read as UTF-8.
set -eu

usage="usage: $0 WIN32_BUILD DIST_DIR"
build=$(cd "${1:?$usage}" && pwd)
dist=${2:?$usage}
top=$(cd "$(dirname "$0")/.." && pwd)
dll=$build/bin/kivo.dll
log=$build/Testing/Temporary/LastTest.log

refuse() {
  echo "dist: $*" >&2
  echo "dist: run make check, then make dist" >&2
  exit 1
}

[ -f "$dll" ] || refuse "no $dll"
[ -f "$log" ] || refuse "the Wine tests of $build have not run"
[ "$log" -nt "$dll" ] || refuse "kivo.dll was built after the last test run of $build"
ran=$(grep -c '^[0-9]*/[0-9]* Test: ' "$log" || true)
passed=$(grep -c '^Test Passed\.$' "$log" || true)
# Listing the tests rewrites the log of the last run: it is put back.
kept=$(mktemp)
cp -p "$log" "$kept"
total=$(cd "$build" && ctest -N | sed -n 's/^Total Tests: *//p')
cp -p "$kept" "$log"
rm -f "$kept"
[ -n "$total" ] && [ "$total" -gt 0 ] || refuse "no tests in $build"
[ "$ran" -eq "$total" ] || refuse "the last test run of $build ran $ran of its $total tests"
[ "$passed" -eq "$total" ] || refuse "the last test run of $build passed $passed of its $total tests"

version=$(sed -n 's/^#define KIVO_VERSION_TEXT "\([0-9]*\), *\([0-9]*\), *\([0-9]*\),.*/\1.\2.\3/p' \
  "$top/plugin/kivo/res/version.h")
[ -n "$version" ] || { echo "dist: no version in plugin/kivo/res/version.h" >&2; exit 1; }

mkdir -p "$dist"
cp "$dll" "$dist/kivo.dll"
zip=$dist/kivo-$version.zip
/usr/bin/python3 - "$dist/kivo.dll" "$top/docs/user-readme.txt" "$zip" <<'PY'
import hashlib, os, sys, time, zipfile
dll, readme, out = sys.argv[1:]
text = open(readme, encoding='utf-8').read().replace('\r\n', '\n').replace('\n', '\r\n')
readme_bytes = b'\xef\xbb\xbf' + text.encode('utf-8')
dll_bytes = open(dll, 'rb').read()

def entry(name, path):
    info = zipfile.ZipInfo(name, time.localtime(os.path.getmtime(path))[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    return info

tmp = out + '.part'
with zipfile.ZipFile(tmp, 'w') as z:
    z.writestr(entry('kivo.dll', dll), dll_bytes)
    z.writestr(entry('readme.txt', readme), readme_bytes)
with zipfile.ZipFile(tmp) as z:
    if z.testzip() is not None or z.read('kivo.dll') != dll_bytes:
        sys.exit('dist: the zip does not hold the DLL as built')
os.replace(tmp, out)
print('%s: kivo.dll (%d bytes, sha256 %s), readme.txt (UTF-8 with BOM, CR LF)'
      % (out, len(dll_bytes), hashlib.sha256(dll_bytes).hexdigest()))
PY
echo "dist: kivo.dll is the build that passed all $total tests of $build at $(date -r "$log" '+%F %T')"
