#!/usr/bin/env bash
# Reads a ninja build's output and says how far it is: a line for every
# tenth of the steps (and the last), each "built N of M steps (P %)". Lines
# that are not progress (warnings, errors, "no work to do") pass through.
# Expects NINJA_STATUS="[%f/%t] ".
set -u
next=0
while IFS= read -r line; do
  if [[ $line =~ ^\[([0-9]+)/([0-9]+)\]\  ]]; then
    done=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
    ((total > 0)) || continue
    percent=$((done * 100 / total))
    if ((percent >= next || done == total)); then
      echo "built $done of $total steps ($percent %)"
      next=$((percent / 10 * 10 + 10))
    fi
  else
    printf '%s\n' "$line"
  fi
done
