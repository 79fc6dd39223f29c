# Sourced by the package tests, which run in a folder of their own:
# unpack ARCHIVE there and set $root to its top folder. A missing archive
# skips the test (exit 77): scripts/package makes it, and scripts/test runs
# that before the suites.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

unpack() {
  local archive="$1" name
  [ -f "$archive" ] || { echo "no $archive: run scripts/package first"; exit 77; }
  name="$(basename "$archive")"; name="${name%.zip}"; name="${name%.tar.gz}"
  rm -rf unpacked && mkdir unpacked
  (cd unpacked && cmake -E tar xf "$archive")
  root="$PWD/unpacked/$name"
  [ -d "$root" ] || fail "$(basename "$archive") has no top folder $name"
}

# The export names of a .def file, sorted.
def_exports() { sed -n '/^EXPORTS/,$p' "$1" | awk '/^ *TALVEN_/ {print $1}' | sort; }
