#!/usr/bin/env bash
# zip_mingw.sh ZIP CONSUMER_C BASS_INCLUDE BASS_DLL BASS_IMPORT PLUGIN VERSION EMULATOR...: a C99 program
# built with MinGW against the unpacked zip (header, libtalven.dll.a) runs
# under Wine with the zip's talven.dll (and talven-host.exe beside it) and
# processes a block, in its own process and in an isolated one.
source "$(dirname "$0")/unpack.sh"
unpack "$1"
consumer="$2" bass_include="$3" bass_dll="$4" bass_import="$5" plugin="$6" version="$7"; shift 7
mkdir -p run
x86_64-w64-mingw32-gcc -std=c99 -pedantic -Wall -Wextra -Werror -I"$root/include" -I"$bass_include" \
  "$consumer" -o run/consumer.exe -L"$root/lib" -ltalven "$bass_import"
cp "$root/bin/talven.dll" "$root/bin/talven-host.exe" "$bass_dll" run/
(cd run && "$@" consumer.exe "Z:$plugin" "$version")
