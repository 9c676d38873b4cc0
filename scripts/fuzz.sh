#!/usr/bin/env bash
# Runs each fuzz target (or the ones named) for FUZZ_SECONDS seconds (60 by
# default). An input that breaks a target is kept in
# tests/fuzz/regressions/<target>/, which make test replays from then on;
# the growing corpus stays in build/linux-fuzz/corpus/.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
cmake --preset linux-fuzz >/dev/null || exit 1
cmake --build --preset linux-fuzz --target fuzz_programs || exit 1

bin=build/linux-fuzz/tests/fuzz
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in "$bin"/fuzz_*; do targets+=("${f#"$bin"/fuzz_}"); done
fi

mkdir -p build/linux-fuzz/logs
faulty=()
for t in "${targets[@]}"; do
  corpus=build/linux-fuzz/corpus/$t
  kept=tests/fuzz/regressions/$t
  log=build/linux-fuzz/logs/$t.log
  mkdir -p "$corpus" "$kept"
  echo "fuzzing $t for ${seconds}s"
  # The fuzzer stops at the first fault; a hang counts after 10 s.
  "$bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$kept/" \
    "$corpus" "tests/fuzz/seeds/$t" >"$log" 2>&1
  rc=$?
  rmdir "$kept" 2>/dev/null
  if [ $rc -ne 0 ]; then
    faulty+=("$t")
    grep -E 'ERROR|property broken|Test unit written' "$log" | head -n 5
  fi
  grep -E '^(#[0-9]+.*DONE|Done [0-9]+ runs)' "$log" | tail -n 1
done

echo
echo "fuzz: $((${#targets[@]} - ${#faulty[@]})) passed, ${#faulty[@]} failed${faulty[*]:+ (${faulty[*]}; inputs kept in tests/fuzz/regressions/)}"
[ ${#faulty[@]} -eq 0 ]
