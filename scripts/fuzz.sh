#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (build-fuzz/) and runs
# each for SECONDS, two at a time, from the seed corpus in fuzz/corpus.
# Findings land in build-fuzz/findings/<target>/; the summary gives the
# executions and findings per target. With SECONDS 0 each target only runs
# its seeds once: the reproducers of past findings among them must pass.
# Installs clang 14 and libFuzzer's runtime when they are missing (on top
# of what scripts/setup.sh installs); CI does not fuzz.
#   scripts/fuzz.sh SECONDS [TARGET ...]
set -uo pipefail

seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET ...]}
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$root/build-fuzz
# FUZZ_JOBS targets run at once; FUZZ_BUILD_JOBS compile jobs.
jobs=${FUZZ_JOBS:-2}

packages=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q || exit 1
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" || exit 1
fi

cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DKAVELO_FUZZ=ON >/dev/null || exit 1
cmake --build "$tree" --target fuzz_targets -j "${FUZZ_BUILD_JOBS:-4}" || exit 1

targets=("$@")
if ((${#targets[@]} == 0)); then
  for dir in "$root"/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

run() {
  local target=$1
  local corpus=$tree/corpus/$target findings=$tree/findings/$target
  mkdir -p "$corpus" "$findings"
  if ((seconds == 0)); then
    local seeds=("$root/fuzz/corpus/$target/"*)
    if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 "$tree/fuzz/$target" -runs=0 -timeout=10 \
      -artifact_prefix="$findings/" "${seeds[@]}" >"$tree/$target.log" 2>&1; then
      echo "$target: ${#seeds[@]} seeds, 0 findings"
    else
      echo "$target: ${#seeds[@]} seeds, 1 findings"
    fi
    return
  fi
  # The working corpus grows; the seeds in the tree stay as they are.
  cp -n "$root/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$tree/fuzz/$target" "$corpus" -dict="$root/fuzz/kavelo.dict" -max_total_time="$seconds" -max_len=65536 \
    -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$findings/" \
    >"$tree/$target.log" 2>&1
  local runs found
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$tree/$target.log" | grep -o '[0-9]*$' | tail -n 1)
  found=$(find "$findings" -type f | wc -l)
  echo "$target: ${runs:-?} executions, $found findings"
}

mkdir -p "$tree"
summary=$tree/summary.txt
: >"$summary"
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do
    wait -n
  done
  run "$target" >>"$summary" &
done
wait
sort "$summary"
! grep -qv ' 0 findings$' "$summary"
