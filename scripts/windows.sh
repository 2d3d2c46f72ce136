#!/usr/bin/env bash
# devir for Windows, built and tried on this machine: cross-builds devir-cli.exe with
# mingw-w64 (preset "windows"), checks that it needs no DLL beyond Windows' own, packs the
# ZIP, runs the Windows tests under Wine, then carries the sample over with devir-cli.exe
# under Wine against the stand-in (a Linux build) and compares the row counts and the trace
# with devir-cli's on Linux. The data folder and the password file have Turkish letters and
# blanks in their names; devir-cli.exe finds the template in DB\ beside it and writes the
# trace to C:\X.TXT, both by default.
#
# Wine's ODBC32 hands the calls to the host's unixODBC, which finds FreeTDS as "FreeTDS";
# on Windows the Microsoft driver would be chosen, which Wine lacks.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
devir_ensure_packages "${DEVIR_PACKAGES[@]}" "${DEVIR_WINDOWS_PACKAGES[@]}"

# Runs a step and says how long it took.
timed() {
  local label=$1 start=$SECONDS
  shift
  "$@"
  echo "windows.sh: $label: $((SECONDS - start)) s" >&2
}

timed "cross-build" devir_build windows
exe=build/windows/src/cli/devir-cli.exe

# The C++ runtime is linked in: only Windows' own DLLs may be imported.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -f |
  tr '\n' ' ')
echo "windows.sh: devir-cli.exe imports: $imports" >&2
if [ "$imports" != "KERNEL32.dll msvcrt.dll ODBC32.dll " ]; then
  echo "windows.sh: devir-cli.exe must import only KERNEL32, msvcrt and ODBC32" >&2
  exit 1
fi

# The ZIP holds devir-cli.exe and the README.
(cd build/windows && cpack -G ZIP >&2)
zip=$(ls build/windows/package/devir-*-win64.zip)
listing=$(cmake -E tar tf "$zip")
for file in devir-cli.exe README.md; do
  grep -q "/$file\$" <<<"$listing" || { echo "windows.sh: $file is not in $zip" >&2; exit 1; }
done
echo "windows.sh: $zip:" $listing >&2

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A fresh Wine prefix under the build tree, as the windows test preset names it.
export WINEPREFIX=$PWD/build/windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One wineserver for every Wine process of this script, stopped by cleanup. Left to come and
# go with the programs, it now and then shut down just as the next test program connected
# ("wine client error:0: recvmsg: Connection reset by peer"), and that test failed unrun.
wineserver -p
# Every Windows program starts through wine-run.sh, with a fixed address layout (see there).
wine_run=cmake/wine-run.sh
# wineboot's messages (no 32-bit Wine, the prefix created) are no news here, and the services
# it leaves running with the server must not hold this script's output open.
prefix() { "$wine_run" wineboot -i >/dev/null 2>&1 </dev/null; }
timed "a new Wine prefix (wineboot -i)" prefix
timed "Windows tests under Wine" ctest --preset windows

# The stand-in and the Linux devir-cli from the dev build that CI tests.
timed "Linux build" devir_build dev --target devir-sandbox devir-cli
sandbox=build/dev/sandbox/devir-sandbox
linux_cli=build/dev/src/cli/devir-cli

# Seeds the sample closing year into a data folder and serves it on a free port; sets port.
serve() {
  local data=$1 fd line
  mkdir -p "$data"
  "$sandbox" seed --data "$data"
  exec {fd}< <("$sandbox" serve --data "$data" --port 0 --browser-port 0)
  pids+=($!)
  read -r -t 30 line <&"$fd" || { echo "windows.sh: the stand-in did not start" >&2; exit 1; }
  port=${line##*:}
}

"$sandbox" template --out "$work/DB"
common=(--source E2017 --date 01.01.2018)

echo "windows.sh: the sample on Linux" >&2
serve "$work/linux/data"
DEVIR_PASSWORD=qolvanet LC_ALL=C.UTF-8 "$linux_cli" --server "127.0.0.1,$port" "${common[@]}" \
  --data-dir "$work/linux/data" --trace "$work/linux/X.TXT" --template-dir "$work/DB" \
  >"$work/linux/summary"
DEVIR_PASSWORD=qolvanet "$linux_cli" --server "127.0.0.1,$port" --row-counts \
  >"$work/linux/row-counts"

echo "windows.sh: the sample with devir-cli.exe under Wine (code page 1254)" >&2
data="$work/wine/Veri Klasörü ğüş"
program="$work/wine/Program Dosyaları/devir ığüşöç"
password="$work/wine/Şifre dosyası ğ.txt"
serve "$data"
mkdir -p "$program"
cp "$exe" "$program/"
cp -r "$work/DB" "$program/DB"
printf 'qolvanet\r\n' >"$password"
# Wine takes code page 1254 from the locale's name, built into the build tree with the
# Windows tests (see tests/CMakeLists.txt).
in_turkish=(LOCPATH="$PWD/build/windows/wine-locales" LC_ALL=tr_TR.UTF-8)
wine_data="$(env "${in_turkish[@]}" "$wine_run" winepath -w "$data")\\"
wine_password=$(env "${in_turkish[@]}" "$wine_run" winepath -w "$password")
rm -f "$WINEPREFIX/drive_c/X.TXT"
wine_cli=(env -u DEVIR_PASSWORD "${in_turkish[@]}" DEVIR_ODBC_DRIVER=FreeTDS "$wine_run"
  "$program/devir-cli.exe" --server "127.0.0.1,$port" --password-file "$wine_password")
timed "the transfer under Wine" "${wine_cli[@]}" "${common[@]}" --data-dir "$wine_data" |
  tee "$work/wine/summary" >&2
"${wine_cli[@]}" --row-counts | tr -d '\r' >"$work/wine/row-counts"
cat "$work/wine/row-counts" >&2

# Both runs carried the same rows over, and the trace is the Linux one in code page 1254.
diff -u "$work/linux/row-counts" "$work/wine/row-counts"
iconv -f UTF-8 -t CP1254 "$work/linux/X.TXT" >"$work/linux/X-1254.TXT"
cmp "$work/linux/X-1254.TXT" "$WINEPREFIX/drive_c/X.TXT"
echo "windows.sh: row counts and C:\\X.TXT ($(wc -l <"$WINEPREFIX/drive_c/X.TXT") lines, code page" \
  "1254) match the Linux run" >&2
