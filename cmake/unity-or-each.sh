#!/usr/bin/env bash
# Compiler launcher of the sanitizer tree, which compiles each target's
# files in batches (one translation unit per batch). Two files of a batch
# may not share a unit: helpers of the same name in their anonymous
# namespaces, a `using namespace` that makes another file's name ambiguous.
# Each file is valid on its own, so such a batch is split in halves, again
# and again, until every part builds (a lone file that fails is a real
# error), and the parts' objects are joined into the batch's object, with a
# note. The build never fails because of how the files were batched.
#
# Called as: unity-or-each.sh <compiler> <arguments...>

source= object= depfile=
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case ${args[i]} in
  -c) source=${args[i + 1]} ;;
  -o) object=${args[i + 1]} ;;
  -MF) depfile=${args[i + 1]} ;;
  esac
done

if [[ $source != */Unity/unity_*_cxx.cxx || -z $object ]]; then
  exec "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kavelo-unity.XXXXXX")
trap 'rm -rf "$work"' EXIT

if "$@" 2>"$work/batch.err"; then
  cat "$work/batch.err" >&2
  exit 0
fi

# The batch's files, in order, from the lines CMake wrote: #include "path".
mapfile -t files < <(sed -n 's/^#include "\(.*\)"$/\1/p' "$source")
if ((${#files[@]} < 2)); then
  cat "$work/batch.err" >&2
  exit 1
fi

objects=()
deps=()
parts=()

# Compiles files[lo, hi) as one unit into part n; 1 when it does not build.
compile_part()
{
  local lo=$1 hi=$2 n=${#objects[@]} unit one i
  if ((hi - lo == 1)); then
    unit=${files[lo]}
  else
    unit=$work/part$n.cxx
    for ((i = lo; i < hi; i++)); do
      printf '#include "%s"\n' "${files[i]}"
    done >"$unit"
  fi
  one=("${args[@]}")
  for ((i = 0; i < ${#one[@]}; i++)); do
    case ${one[i]} in
    -c) one[i + 1]=$unit ;;
    -o) one[i + 1]=$work/$n.o ;;
    -MF) one[i + 1]=$work/$n.d ;;
    esac
  done
  if ((hi - lo == 1)); then
    "${one[@]}" || return 2
  else
    "${one[@]}" 2>/dev/null || return 1
  fi
  objects+=("$work/$n.o")
  deps+=("$work/$n.d")
  parts+=("$(printf '%s ' "${files[@]:lo:hi - lo}" | sed 's|[^ ]*/||g')")
}

# Files[lo, hi) in as few parts as build; fails only on a file that does not
# build alone.
split()
{
  local lo=$1 hi=$2 mid
  compile_part "$lo" "$hi"
  case $? in
  0) return 0 ;;
  2) return 1 ;;
  esac
  mid=$(((lo + hi) / 2))
  split "$lo" "$mid" && split "$mid" "$hi"
}

mid=$((${#files[@]} / 2))
split 0 "$mid" && split "$mid" "${#files[@]}" || exit 1

ld -r -o "$object" "${objects[@]}" || exit 1
if [ -n "$depfile" ]; then
  # One rule for the batch's object: every part's dependencies.
  {
    printf '%s:' "$object"
    for d in "${deps[@]}"; do
      sed -e '1s/^[^:]*://' -e 's/\\$//' "$d" | tr '\n' ' '
    done
    printf '\n'
  } >"$depfile"
fi
{
  echo "note: the files of ${object%.o} do not build as one unit; built in parts:"
  printf '  %s\n' "${parts[@]}"
} >&2
exit 0
