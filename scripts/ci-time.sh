#!/usr/bin/env bash
# Where the CI run's time goes. Runs `.ci/run` on a fresh clone (optionally
# pinned to a few cores, as on a small CI machine) and breaks the run down:
# set-up, each tree's build and tests, the slowest translation units, each
# test binary's share and the slowest tests.
#
#   scripts/ci-time.sh [--cores N] [--first-core K] [--rev REV] [--dir DIR] [--keep]
#       clone REV (default HEAD) into DIR (default a new folder under /tmp),
#       run `.ci/run` there on N cores from core K (default 2 from 0), report,
#       and remove the clone unless --keep. Runs on disjoint cores may go side
#       by side on a larger machine.
#   scripts/ci-time.sh --report [ROOT] [RUN_LOG]
#       the breakdown of trees already built under ROOT (default this
#       checkout); RUN_LOG is a log this script wrote, for the phase times.
#
# Figures from a loaded machine are upper bounds; the load average is shown.
set -uo pipefail

top=15

# One line per phase: seconds from the previous "== ... ==" marker of the
# time-stamped log (lines "SECONDS<TAB>text").
phases()
{
    awk -F'\t' '
        function close_phase(t) { if (name != "") printf "  %-32s %7d s\n", name, t - start }
        /^[0-9]+\t== / {
            text = $2; sub(/^== /, "", text); sub(/ ==$/, "", text)
            close_phase($1); name = text; start = $1
        }
        { last = $1 }
        END { close_phase(last) }
        BEGIN { name = "set-up: packages"; start = 0 }' "$1"
}

# The slowest steps of a tree's last build, from ninja's log (newest entry
# per output).
slowest_steps()
{
    local tree=$1
    [ -f "$tree/.ninja_log" ] || return
    # Steps with several outputs are counted once (same command hash).
    awk -F'\t' 'NR > 1 { took[$4] = ($2 - $1) / 1000; step[$4] = $5 }
        END {
            for (o in took) {
                if (step[o] in counted) continue
                counted[step[o]] = 1
                total += took[o]; n++
                kind = (o ~ /\.o$/) ? "compile" : ((o ~ /\.gch$/ || o ~ /cmake_pch/) ? "pch" : "link/other")
                sum[kind] += took[o]; count[kind]++
            }
            printf "  %d steps, %.0f s of step time:", n, total
            for (k in sum) printf "  %s %d (%.0f s)", k, count[k], sum[k]
            printf "\n"
        }' "$tree/.ninja_log"
    echo "  slowest translation units:"
    awk -F'\t' 'NR > 1 { took[$4] = ($2 - $1) / 1000 }
        END { for (o in took) if (o ~ /\.o$/) printf "%8.1f s  %s\n", took[o], o }' "$tree/.ninja_log" |
        sort -rn | head -n "$top" | sed -e 's|CMakeFiles/[^/]*\.dir/||' -e 's|\.o$||'
    echo "  slowest other steps (links, precompiled headers):"
    awk -F'\t' 'NR > 1 { took[$4] = ($2 - $1) / 1000 }
        END { for (o in took) if (o !~ /\.o$/) printf "%8.1f s  %s\n", took[o], o }' "$tree/.ninja_log" |
        sort -rn | head -n 5
}

# Each test binary's share of a tree's last test run, and the slowest tests,
# from CTest's cost data and its list of test commands.
slowest_tests()
{
    local tree=$1 costs="$1/Testing/Temporary/CTestCostData.txt"
    [ -f "$costs" ] || return
    local map
    map=$(mktemp)
    # "N: Test command: /path/binary args" then "  Test #N: name".
    (cd "$tree" && ctest -N -V 2>/dev/null) | awk '
        /^[0-9]+: Test command: / { bin = $4; sub(/.*\//, "", bin) }
        /^ *Test +#[0-9]+: / { name = $0; sub(/^ *Test +#[0-9]+: /, "", name); print name "\t" bin }' >"$map"
    echo "  test binaries (processes, summed seconds, slowest):"
    awk -F'\t' 'FNR == NR { bin[$1] = $2; next }
        /^---/ { exit }
        { split($0, f, " "); b = (f[1] in bin) ? bin[f[1]] : "?"; n[b]++; s[b] += f[3]; if (f[3] > m[b]) m[b] = f[3]; all += f[3] }
        END {
            for (b in n) printf "%8.1f s  %-28s %5d  %6.1f s\n", s[b], b, n[b], m[b]
            printf "%8.1f s  %-28s\n", all, "(all)"
        }' "$map" "$costs" | sort -rn
    echo "  slowest tests:"
    awk '/^---/ { exit } { printf "%8.1f s  %s\n", $3, $1 }' "$costs" | sort -rn | head -n "$top"
    rm -f "$map"
}

report()
{
    local root=$1 log=${2:-}
    if [ -n "$log" ] && [ -f "$log" ]; then
        echo "== phases =="
        phases "$log"
    fi
    for tree in build-asan build; do
        [ -d "$root/$tree" ] || continue
        echo "== $tree: build =="
        slowest_steps "$root/$tree"
        echo "== $tree: tests =="
        slowest_tests "$root/$tree"
    done
    # A batch whose files clash is compiled again in parts: time lost.
    if [ -n "$log" ] && [ -f "$log" ]; then
        echo "== batches built in parts: $(grep -c 'do not build as one unit' "$log") =="
        grep 'do not build as one unit' "$log" | cut -f2- | sed -e 's/^note: the files of //' -e 's/ do not.*//' -e 's/^/  /'
    fi
}

# Prefixes every line with the seconds since the run began.
stamp()
{
    local begin=$SECONDS line
    while IFS= read -r line; do
        printf '%d\t%s\n' $((SECONDS - begin)) "$line"
    done
}

if [ "${1:-}" = "--report" ]; then
    root=${2:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
    report "$root" "${3:-}"
    exit 0
fi

cores=2
first=0
rev=HEAD
dir=
keep=0
while [ $# -gt 0 ]; do
    case $1 in
    --cores) cores=$2; shift 2 ;;
    --first-core) first=$2; shift 2 ;;
    --rev) rev=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "usage: $0 [--cores N] [--first-core K] [--rev REV] [--dir DIR] [--keep] | --report [ROOT] [RUN_LOG]" >&2; exit 2 ;;
    esac
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ -n "$dir" ] || dir=$(mktemp -d /tmp/kavelo-ci-time.XXXXXX)
mkdir -p "$dir"
src="$dir/src"
rm -rf "$src"
git clone --quiet --no-hardlinks "$root" "$src" || exit 1
git -C "$src" checkout --quiet --detach "$(git -C "$root" rev-parse "$rev")" || exit 1

# The machine's load and the clone's size on disk while the run goes,
# sampled each half minute.
(while sleep 30; do echo "$(cut -d' ' -f1 /proc/loadavg) $(du -sm "$src" 2>/dev/null | cut -f1)"; done) >"$dir/load" &
sampler=$!

echo "== ci-time: $(git -C "$src" log --oneline -1 | cut -c1-72) on $cores cores from core $first, load $(cut -d' ' -f1-3 /proc/loadavg) =="
log="$dir/run.log"
begin=$SECONDS
# As on CI: a missing X server fails, and tested trees shed their
# intermediate files.
(cd "$src" && CI=${CI:-1} taskset -c "$first-$((first + cores - 1))" /usr/bin/time -f '%e %U %S' -o "$dir/time" bash .ci/run) 2>&1 | stamp |
    tee "$log" | awk -F'\t' '$2 ~ /^== / { printf "%6d s  %s\n", $1, $2; fflush() }'
status=${PIPESTATUS[0]}
total=$((SECONDS - begin))
kill "$sampler" 2>/dev/null
wait "$sampler" 2>/dev/null

report "$src" "$log"
echo "== run =="
tail -n 1 "$log" | cut -f2-
awk -v status="$status" -v total="$total" -v cores="$cores" 'END {
    printf "  exit %d, %d s wall (%.1f min), %.0f s CPU (user %.0f + system %.0f) on %d cores\n",
        status, total, total / 60, $2 + $3, $2, $3, cores }' "$dir/time"
awk '{ s += $1; n++; if ($1 > m) m = $1; if ($2 > d) d = $2 }
    END { if (n) printf "  load average during the run: mean %.1f, peak %.1f (%d samples); clone at most %d MB on disk\n", s / n, m, n, d }' "$dir/load"
for tree in build-asan build; do
    [ -d "$src/$tree" ] && echo "  $tree after the run: $(du -sm "$src/$tree" | cut -f1) MB"
done
echo "  log: $log"
if [ "$keep" = 0 ]; then
    rm -rf "$src"
else
    echo "  clone kept: $src"
fi
exit "$status"
