#!/usr/bin/env bash
# Sets up, builds and runs every test twice: an AddressSanitizer +
# UndefinedBehaviorSanitizer build, then a normal build with -Werror. Exits
# non-zero on any failure; the last line is CTest's summary. Each phase is timed;
# scripts/ci-time.sh breaks a run down further.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# `cpu`: processor seconds (user + system) the finished child processes used
# so far. `times` runs in this shell: a subshell would count its own.
cputimes=$(mktemp)
trap 'rm -f "$cputimes"' EXIT
measure() { times >"$cputimes"; cpu=$(awk 'END { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); s += t[1] * 60 + t[2] } printf "%d", s }' "$cputimes"); }
start() { measure; begin=$SECONDS begun=$cpu; }
# Appends "what N s (M s of processor)" since `start`.
timed() { measure; phases+=("$1 $((SECONDS - begin)) s ($((cpu - begun)) s of processor)"); }

phases=()
start
"$root/scripts/setup.sh" || exit 1
timed "set-up:"

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
summary=()
for tree in build-asan build; do
  echo "== $tree: build =="
  start
  if ! cmake --build "$root/$tree" -j "$jobs"; then
    echo "== $tree: build failed =="
    status=1
    summary+=("$tree: build failed")
    continue
  fi
  timed "$tree: build"
  echo "== $tree: test =="
  start
  log=$(mktemp)
  # The resource file lets X11 suites, each with its own X server, share
  # out the sessions instead of all starting at once.
  (cd "$root/$tree" && ctest --output-on-failure --no-label-summary -j "$jobs" \
    --resource-spec-file ctest-resources.json) 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  timed "$tree: test"
  summary+=("$tree: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  rm -f "$log"
  # CI's disk is shared: once a tree is tested, its object files, archives
  # and precompiled headers only take room from the next tree's build. A
  # developer's trees are left whole.
  if [ -n "${CI:-}" ]; then
    echo "== $tree: $(du -sh "$root/$tree" | cut -f1) built; intermediate files removed (CI) =="
    find "$root/$tree" -type f \( -name '*.o' -o -name '*.a' -o -name '*.gch' \) -delete
  fi
done

echo "== summary =="
printf '%s\n' "${phases[@]}"
printf '%s\n' "${summary[@]}"
# The normal build's CTest summary closes the run.
last=${summary[-1]}
echo "${last#build: }"
exit $status
