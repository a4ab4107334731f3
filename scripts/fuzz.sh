#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (address and undefined
# behaviour sanitizers on) and runs each for SECONDS (default 60), then
# prints what each found: executions per second, coverage, and any crash or
# broken invariant. Such an input is copied into fuzz/corpus/<target>/, where
# the test command replays it from then on; commit it with the mend.
#
# Usage: bash scripts/fuzz.sh [SECONDS]
# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
SECONDS_EACH=${1:-60}
if ! [[ "$SECONDS_EACH" =~ ^[1-9][0-9]*$ ]]; then
  echo "Usage: bash scripts/fuzz.sh [SECONDS]  (a whole number of seconds per target)" >&2
  exit 2
fi
install_packages

FUZZ=$BUILD/fuzz
cmake -S "$ROOT" -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVU_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$FUZZ"

targets=()
for src in "$ROOT"/fuzz/*_fuzz.cpp; do
  name=$(basename "$src" _fuzz.cpp)
  targets+=("$name")
done

# The inputs a run finds are kept in the build tree and seed the next run;
# only the committed corpus is replayed by the tests.
found=0
summary=()
for t in "${targets[@]}"; do
  work=$FUZZ/work/$t artifacts=$FUZZ/artifacts/$t log=$FUZZ/logs/$t.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")" "$ROOT/fuzz/corpus/$t"
  echo "== fuzzing $t for $SECONDS_EACH s (log: $log)"
  set +e
  "$FUZZ/fuzz_$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -max_len=4096 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/" \
    "$work" "$ROOT/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  speed=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)
  ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)
  corp=$(grep -oE 'corp: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)
  line=$(printf '%-10s %9s exec/s %11s runs   cov %5s   ft %6s   corpus %5s' "$t" \
    "${speed:--}" "${runs:--}" "${cov:--}" "${ft:--}" "${corp:--}")
  bad=()
  for a in "$artifacts"/*; do
    [ -f "$a" ] || continue
    cp "$a" "$ROOT/fuzz/corpus/$t/"
    bad+=("$(basename "$a")")
    rm -f "$a"
  done
  if [ "${#bad[@]}" -gt 0 ]; then
    found=$((found + ${#bad[@]}))
    line+="   FOUND: ${bad[*]} (now in fuzz/corpus/$t; the cause is in $log)"
  elif [ "$rc" -ne 0 ]; then
    found=$((found + 1))
    line+="   FAILED with exit $rc (log: $log)"
  fi
  summary+=("$line")
done

echo
echo "== what the fuzzing found (each target $SECONDS_EACH s)"
printf '%s\n' "${summary[@]}"
if [ "$found" -gt 0 ]; then
  echo "$found finding(s): each input is in fuzz/corpus/<target>/ and fails the test command until mended."
  exit 1
fi
echo "no crash and no broken invariant"
