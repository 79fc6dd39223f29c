#!/usr/bin/env bash
# tarball_cmake.sh TARBALL PROJECT_DIR CONSUMER_C BASS_INCLUDE BASS_LIBRARY PLUGIN VERSION: a
# CMake project finds Talven in the unpacked tarball with find_package,
# builds, and its program runs against the packaged library.
source "$(dirname "$0")/unpack.sh"
unpack "$1"
project="$2" consumer="$3" bass_include="$4" bass_library="$5" plugin="$6" version="$7"
# BASS from a folder of its own: the build tree's holds another libtalven.
rm -rf consumer-build bass && mkdir bass && cp "$bass_library" bass/
cmake -S "$project" -B consumer-build -DCMAKE_PREFIX_PATH="$root" -DCONSUMER_SOURCE="$consumer" \
  -DBASS_INCLUDE_DIR="$bass_include" -DBASS_LIBRARY="$PWD/bass/$(basename "$bass_library")" >/dev/null
cmake --build consumer-build >/dev/null
# Read whole before matching: grep -q ending early would make ldd die of
# SIGPIPE, which pipefail reports as a failure.
linked="$(ldd consumer-build/consumer)"
grep -q "libtalven.so.${version%%.*} => $root/lib/" <<<"$linked" ||
  fail "the program does not load the packaged library: $linked"
consumer-build/consumer "$plugin" "$version"
