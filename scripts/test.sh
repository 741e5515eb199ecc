#!/usr/bin/env bash
# Sets up, builds and runs every test twice: a normal build with -Werror and
# an AddressSanitizer + UndefinedBehaviorSanitizer build. Exits non-zero on
# any failure; the last line is CTest's summary.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" || exit 1

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
summary=()
for tree in build-asan build; do
  echo "== $tree: build =="
  if ! cmake --build "$root/$tree" -j "$jobs"; then
    echo "== $tree: build failed =="
    status=1
    summary+=("$tree: build failed")
    continue
  fi
  echo "== $tree: test =="
  log=$(mktemp)
  (cd "$root/$tree" && ctest --output-on-failure -j "$jobs") 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary+=("$tree: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  rm -f "$log"
done

echo "== summary =="
printf '%s\n' "${summary[@]}"
# The normal build's CTest summary closes the run.
last=${summary[-1]}
echo "${last#build: }"
exit $status
