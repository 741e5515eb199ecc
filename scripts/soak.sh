#!/usr/bin/env bash
# Runs the real kavelo for MINUTES on a private Xvfb with openbox while stock
# clients churn (about ten events a second) and Kavelo's own actions mix in,
# sampling its resident memory every 10 s between its actions. Fails when a
# sample passes 100 MB, or when memory after the first 5 minutes rises more
# than 10 MB (ten minutes' median against the first ten's after those 5;
# half the rest of a shorter run); when a forwarded URL is answered, or a
# key brings its panel into view, after more than 250 ms; or when a window
# stands under the layout floor in a layout mode or mostly outside every
# monitor (named, with who asked for the move that put it there); or when,
# the churn stopped and settled, it takes more than 5 % of a core over 3 s.
# Prints the answers' counts, medians and maxima, the main-thread waits the
# program logged and its processor share at rest.
# Not part of the default test run.
#
#   scripts/soak.sh MINUTES            the normal tree (build/)
#   KAVELO_SOAK_TREE=build-release scripts/soak.sh 60
#   KAVELO_SOAK_BINARY=/path/to/kavelo scripts/soak.sh 15
#   KAVELO_SOAK_FEWEST=45 scripts/soak.sh 10    never fewer than 45 clients
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
minutes=${1:?usage: scripts/soak.sh MINUTES}
tree=$root/${KAVELO_SOAK_TREE:-build}

cmake --build "$tree" --target kavelo kavelo_soak -j "${KAVELO_SOAK_JOBS:-3}"
exec "$tree/tests/kavelo_soak" "$minutes" "${KAVELO_SOAK_BINARY:-$tree/app/kavelo}"
