#!/usr/bin/env bash
# zip_lld_link.sh ZIP MSVC_DIR BASS_DLL PLUGIN VERSION CLANG LLD_LINK LLVM_DLLTOOL EMULATOR...: the
# MSVC-ABI program (compiled by clang for x86_64-pc-windows-msvc) linked by
# lld-link against the zip's talven.lib, with no C runtime, runs under Wine
# and calls every export. kernel32.lib and bass.lib come from .def files.
source "$(dirname "$0")/unpack.sh"
unpack "$1"
msvc="$2" bass_dll="$3" plugin="$4" version="$5" clang="$6" lld_link="$7" dlltool="$8"; shift 8
mkdir -p run
"$clang" --target=x86_64-pc-windows-msvc -std=c99 -ffreestanding -fno-builtin -O1 -Wall -Wextra -Werror \
  -I"$root/include" -c "$msvc/consumer.c" -o run/consumer.obj
for lib in kernel32 bass; do
  "$dlltool" -m i386:x86-64 -d "$msvc/$lib.def" -l "run/$lib.lib"
done
"$lld_link" /nologo /entry:start /subsystem:console /nodefaultlib /out:run/consumer.exe \
  run/consumer.obj "$root/lib/talven.lib" run/bass.lib run/kernel32.lib
cp "$root/bin/talven.dll" "$root/bin/talven-host.exe" "$bass_dll" run/
(cd run && TALVEN_PLUGIN="Z:$plugin" TALVEN_VERSION="$version" "$@" consumer.exe)
