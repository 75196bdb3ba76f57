#!/usr/bin/env bash
# Builds the libFuzzer target of the settings-file reader, writes a few seed files and
# runs it. Usage: build.sh [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++

rtl="$root/platform/rtl"
fuzz_build FuzzIniFile "$rtl/IniFiles.cpp" "$rtl/StringList.cpp" "$rtl/StrUtils.cpp" \
  "$rtl/FileUtils.cpp" "$rtl/SysUtils.cpp"

seeds=$(fuzz_seeds FuzzIniFile)
printf '[Position]\nLeft=120\nTop=$7F\n[Source]\nTab=0\nDir=/home/u/Music\nUncheck=1\n[Output]\nStereo0=2\nQuality9=-1\nOutputDir=" spaced "\n' \
  >"$seeds/settings.ini"
printf '\xEF\xBB\xBF; names\r\n[1A2B3C4D]\r\n artist = A \r\n3=Tr\xC3\xA4ck\r\ntitle=Disc\r\n[1a2b3c4d]\r\n3=later\r\n' \
  >"$seeds/crlf-bom.ini"
printf 'orphan=1\n[]\n=x\n[broken\nno equals\n[A]]\nk==v\nK=""\n[ a ]\nk=dup\n' >"$seeds/odd.ini"

# Every run saves the scratch file: keep it in memory where possible.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
fuzz_run_each 8192 FuzzIniFile
