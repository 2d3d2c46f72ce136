#!/bin/sh
# devir-cli.exe writing to a console under Wine: Turkish letters must show as such, not as
# the console code page's reading of UTF-8 bytes ("veritabanÄ±na baÄlanÄ±lamadÄ±").
# `script` gives Wine a terminal, which Wine turns into the program's console.
#   cli_console_test.sh WINE DEVIR-CLI.EXE
set -u
wine=$1
exe=$2
# A connection that fails at once: the stage label is written to the console.
screen=$(DEVIR_PASSWORD=x DEVIR_ODBC_DRIVER='devir test: no such driver' \
  script -qec "\"$wine\" \"$exe\" --server 127.0.0.1,1 --row-counts --target-year 2ğ18; \
\"$wine\" \"$exe\" --server 127.0.0.1,1 --row-counts" /dev/null </dev/null)
# The console draws blanks as cursor moves: compare without escape sequences and blanks.
flat=$(printf '%s' "$screen" | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d ' \r\n')
status=0
for expected in "not'2ğ18'" "veritabanınabağlanılamadı"; do
  case $flat in
    *"$expected"*) ;;
    *) echo "missing on the console: $expected" >&2; status=1 ;;
  esac
done
[ "$status" -eq 0 ] || printf '%s\n' "--- the console showed:" "$flat" >&2
exit "$status"
