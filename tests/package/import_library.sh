#!/usr/bin/env bash
# import_library.sh ZIP DEF LLVM_NM LLVM_READOBJ: talven.lib is a COFF
# import library of talven.dll for x86-64 whose members name every export
# undecorated (name type "name": the symbol is the export's name), as both
# the thunk and the __imp_ pointer, and nothing else.
source "$(dirname "$0")/unpack.sh"
unpack "$1"
lib="$root/lib/talven.lib"
names="$(def_exports "$2")"

report="$("$4" "$lib")"
# The import descriptor objects are x86-64 COFF; every other member is a
# short import record naming talven.dll.
grep -q "Format: COFF-x86-64" <<<"$report" || fail "no x86-64 import descriptor"
members="$(echo "$report" | grep -c "Format: COFF-import-file" || true)"
[ "$members" -eq "$(echo "$names" | wc -l)" ] || fail "$members import records for $(echo "$names" | wc -l) exports"
[ "$(echo "$report" | grep -B1 "Format: COFF-import-file" | awk '/^File:/ {print $2}' | sort -u)" = "talven.dll" ] ||
  fail "an import record names another DLL than talven.dll"
[ "$(echo "$report" | grep -A3 "Format: COFF-import-file" | awk '/Type:/ {print $2}' | sort -u)" = "code" ] ||
  fail "an import record is not code"
[ "$(echo "$report" | awk '/Name type:/ {print $3}' | sort -u)" = "name" ] || fail "a decorated import name"
symbols="$(echo "$report" | awk '/^Symbol: / {print $2}' | sort)"
[ "$symbols" = "$( (echo "$names"; echo "$names" | sed 's/^/__imp_/') | sort)" ] || fail "symbols: $(echo $symbols)"

# What a linker's symbol table sees: each name defined, exactly as exported.
defined="$("$3" "$lib" | awk '$2 == "T" {print $3}' | sort)"
[ "$defined" = "$symbols" ] || fail "llvm-nm: $(echo $defined)"
echo "talven.lib: $members import records, each export undecorated as NAME and __imp_NAME"
