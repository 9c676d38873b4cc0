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

# The check an input breaks (the property, the sanitizer's report with its
# place, or the fuzzer's own: timeout, out of memory), or nothing when it passes.
broken_check() {
  "$bin/fuzz_$1" "$2" 2>&1 | grep -v 'libFuzzer: deadly' |
    grep -oE 'property broken: .*|[^ ]+: runtime error: [a-z -]+|ERROR: [A-Za-z]+: [a-z-]+|#0 0x[0-9a-f]+ in .*' |
    sed -E 's/#0 0x[0-9a-f]+ //' | head -n 2 | tr '\n' ' '
}

mkdir -p build/linux-fuzz/logs
faulty=()
for t in "${targets[@]}"; do
  corpus=build/linux-fuzz/corpus/$t
  kept=tests/fuzz/regressions/$t
  log=build/linux-fuzz/logs/$t.log
  mkdir -p "$corpus" "$kept"
  known=("$kept"/*)
  [ -e "${known[0]}" ] || known=()
  echo "fuzzing $t for ${seconds}s"
  # The fuzzer stops at the first fault; a hang counts after 10 s.
  "$bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$kept/" \
    "$corpus" "tests/fuzz/seeds/$t" >"$log" 2>&1
  rc=$?
  if [ $rc -ne 0 ]; then
    faulty+=("$t")
    grep -E 'ERROR|property broken' "$log" | head -n 3
    new=$(grep -oE 'Test unit written to .*' "$log" | sed 's/Test unit written to //')
    check=$([ -n "$new" ] && broken_check "$t" "$new")
    # A fault that a kept input already shows is not kept twice.
    for k in "${known[@]}"; do
      if [ -n "$check" ] && [ "$(broken_check "$t" "$k")" = "$check" ]; then
        echo "the same fault as the kept input $k, which is still open"
        rm -f "$new"
        new=
        break
      fi
    done
    [ -n "$new" ] && echo "kept: $new"
  fi
  rmdir "$kept" 2>/dev/null
  grep -E '^(#[0-9]+.*DONE|Done [0-9]+ runs)' "$log" | tail -n 1
done

echo
echo "fuzz: $((${#targets[@]} - ${#faulty[@]})) passed, ${#faulty[@]} failed${faulty[*]:+ (${faulty[*]}; inputs kept in tests/fuzz/regressions/)}"
[ ${#faulty[@]} -eq 0 ]
