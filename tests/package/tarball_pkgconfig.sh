#!/usr/bin/env bash
# tarball_pkgconfig.sh TARBALL CONSUMER_C BASS_INCLUDE BASS_LIBRARY PLUGIN VERSION: a program built
# with the flags pkg-config gives for the unpacked tarball's talven.pc runs
# against the packaged library.
source "$(dirname "$0")/unpack.sh"
unpack "$1"
consumer="$2" bass_include="$3" bass_library="$4" plugin="$5" version="$6"
export PKG_CONFIG_PATH="$root/lib/pkgconfig"
[ "$(pkg-config --modversion talven)" = "$version" ] || fail "talven.pc has version $(pkg-config --modversion talven)"
mkdir -p bass && cp "$bass_library" bass/
cc -std=c99 -Wall -Wextra -Werror "$consumer" -I"$bass_include" $(pkg-config --cflags --libs talven) \
  -Lbass -lbass -o consumer
# Read whole before matching: grep -q ending early would make ldd die of
# SIGPIPE, which pipefail reports as a failure.
linked="$(LD_LIBRARY_PATH="$root/lib:$PWD/bass" ldd ./consumer)"
grep -q "libtalven.so.${version%%.*} => $root/lib/" <<<"$linked" ||
  fail "the program does not load the packaged library: $linked"
LD_LIBRARY_PATH="$root/lib:$PWD/bass" ./consumer "$plugin" "$version"
