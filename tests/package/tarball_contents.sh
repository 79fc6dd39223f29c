#!/usr/bin/env bash
# tarball_contents.sh TARBALL VERSION: the tarball holds the release's
# files; libtalven.so.X.Y.Z carries the soname libtalven.so.X, with the two
# links, no run path, and exports only the TALVEN_ functions.
source "$(dirname "$0")/unpack.sh"
unpack "$1"
version="$2"
major="${version%%.*}"
file_version="$(echo "$version" | cut -d. -f1-3)"
expected="CHANGELOG.md LICENSE README.md include/talven.h lib/libtalven.so lib/libtalven.so.$major
lib/libtalven.so.$file_version lib/cmake/Talven/TalvenConfig.cmake lib/cmake/Talven/TalvenConfigVersion.cmake
lib/cmake/Talven/TalvenTargets.cmake lib/cmake/Talven/TalvenTargets-relwithdebinfo.cmake lib/pkgconfig/talven.pc
bindings/dotnet/Talven.cs bindings/python/talven/__init__.py bindings/python/talven/_native.py
bindings/python/talven/plugin.py lib/talven-host"
actual="$(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)"
[ "$actual" = "$(echo $expected | tr ' ' '\n' | sort)" ] || fail "contents differ: $(echo $actual)"

lib="$root/lib/libtalven.so.$file_version"
[ "$(readlink "$root/lib/libtalven.so.$major")" = "libtalven.so.$file_version" ] || fail "soname link"
[ "$(readlink "$root/lib/libtalven.so")" = "libtalven.so.$major" ] || fail "development link"
dynamic="$(readelf -d "$lib")"
grep -q "Library soname: \[libtalven.so.$major\]" <<<"$dynamic" || fail "soname: $dynamic"
! grep -Eq "R(UN)?PATH" <<<"$dynamic" || fail "a run path into the build tree"
exported="$(nm -D --defined-only "$lib" | awk '$2 == "T" {print $3}' | sort)"
declared="$(grep -o 'TALVEN_[A-Za-z]*(' "$(dirname "$0")/../../include/talven.h" | tr -d '(' | sort -u)"
[ "$exported" = "$declared" ] || fail "exports differ from talven.h: $(echo $exported)"
echo "tarball: $(echo "$actual" | wc -l) files, $(basename "$lib") with soname libtalven.so.$major," \
     "$(echo "$exported" | wc -l) exports"
