#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang with ASan and UBSan):
# dorvu's input reader, a whole run, dorvu-prep's readers and the Newick tree
# reader and writer, and runs each for SECONDS seconds, then prints for each
# the number of inputs executed and the number of findings (crashes, leaks,
# time-outs, out-of-memory). Exits 1 if there is any finding or a target fails
# to run.
#
#   fuzz/run_fuzzers.sh SECONDS
#
# DORVU_FUZZ_BUILD: build directory (default build/fuzz in the source tree).
# DORVU_FUZZ_WORK: where the grown corpora, logs and findings go (default: a
# new temporary directory). The seed corpora in fuzz/corpus are only read.
set -uo pipefail

if [[ $# -ne 1 || ! $1 =~ ^[0-9]+$ || $1 -eq 0 ]]; then
  echo "usage: $0 SECONDS" >&2
  exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DORVU_FUZZ_BUILD:-$root/build/fuzz}
work=${DORVU_FUZZ_WORK:-$(mktemp -d -t dorvu-fuzz.XXXXXX)}

cd "$root" || exit 1
cmake --preset fuzz -B "$build" >/dev/null || { echo "fuzz: configure failed" >&2; exit 1; }
cmake --build "$build" -j 2 --target input_reader_fuzz whole_run_fuzz prep_reader_fuzz newick_fuzz >/dev/null ||
  { echo "fuzz: build failed" >&2; exit 1; }

# Per target: largest input, the time after which one input counts as a hang,
# and the dictionary of tokens.
declare -A maxLen=([input_reader]=16384 [whole_run]=8192 [prep_reader]=16384 [newick]=16384)
declare -A timeout=([input_reader]=10 [whole_run]=60 [prep_reader]=10 [newick]=10)
declare -A dict=([input_reader]=dorvu.dict [whole_run]=dorvu.dict [prep_reader]=prep_reader.dict [newick]=newick.dict)

failed=0
for target in input_reader whole_run prep_reader newick; do
  dir=$work/$target
  mkdir -p "$dir/corpus" "$dir/findings"
  "$build/fuzz/${target}_fuzz" \
    -max_total_time="$seconds" -timeout="${timeout[$target]}" -max_len="${maxLen[$target]}" \
    -dict="$root/fuzz/${dict[$target]}" -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" \
    "$dir/corpus" "$root/fuzz/corpus/$target" >"$dir/fuzz.log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/fuzz.log" | tail -1)
  findings=$(find "$dir/findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  echo "$target: executions ${executions:-0}, crashes $findings (exit status $status; log $dir/fuzz.log)"
  if [[ $findings -ne 0 || $status -ne 0 ]]; then
    failed=1
    find "$dir/findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) -printf '  %p\n'
    grep -m 5 -E 'ERROR|fuzz check failed|runtime error' "$dir/fuzz.log" | sed 's/^/  /'
  fi
done
exit $failed
