#!/usr/bin/env bash
# zip_contents.sh ZIP DEF OBJDUMP: the zip holds exactly the release's files,
# and its talven.dll exports exactly the .def's functions.
source "$(dirname "$0")/unpack.sh"
unpack "$1"
expected="CHANGELOG.md LICENSE README.md bin/talven.dll bin/talven-host.exe include/talven.h lib/libtalven.dll.a lib/talven.lib
bindings/dotnet/Talven.cs bindings/python/talven/__init__.py bindings/python/talven/_native.py
bindings/python/talven/plugin.py"
actual="$(cd "$root" && find . -type f | sed 's|^\./||' | sort)"
[ "$actual" = "$(echo $expected | tr ' ' '\n' | sort)" ] || fail "contents differ: $(echo $actual)"
grep -q "GNU GENERAL PUBLIC LICENSE" <<<"$(head -2 "$root/LICENSE")" || fail "LICENSE is not the GPL"
cmp -s "$root/include/talven.h" "$(dirname "$0")/../../include/talven.h" || fail "talven.h differs from the source's"

exports="$("$3" -p "$root/bin/talven.dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next} t && /^\t\[/ {print $NF} t && /^$/ {t = 0}' | sort)"
[ "$exports" = "$(def_exports "$2")" ] || fail "talven.dll exports $(echo $exports)"
echo "zip: $(echo "$actual" | wc -l) files, talven.dll exports the $(echo "$exports" | wc -l) functions of the .def"
