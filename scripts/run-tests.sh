#!/usr/bin/env bash
# Runs the test suites of both platforms (or the one named: linux, asan, tsan, windows)
# and ends with one summary line per platform.
set -uo pipefail
cd "$(dirname "$0")/.."

which=${1:-all}
summaries=()
status=0

# "N passed, N failed" from a ctest log.
summarize() {
  local platform=$1 log=$2 rc=$3
  local line total failed
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    summaries+=("$platform: 0 passed, 1 failed (the test run did not complete)")
    status=1
    return
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  summaries+=("$platform: $((total - failed)) passed, $failed failed")
  if [ "$rc" -ne 0 ] || [ "$failed" -ne 0 ] || [ "$total" -eq 0 ]; then status=1; fi
}

if [ "$which" = all ] || [ "$which" = linux ]; then
  log=$(mktemp)
  ctest --test-dir build/linux --output-on-failure -j2 2>&1 | tee "$log"
  summarize linux "$log" "${PIPESTATUS[0]}"
  rm -f "$log"
fi

if [ "$which" = all ] || [ "$which" = asan ]; then
  # The unit tests and the fuzz replays again with AddressSanitizer and
  # UndefinedBehaviorSanitizer.
  log=$(mktemp)
  ctest --test-dir build/linux-asan --output-on-failure -j2 -L 'unit|fuzz-replay' 2>&1 | tee "$log"
  summarize linux-asan "$log" "${PIPESTATUS[0]}"
  rm -f "$log"
fi

if [ "$which" = all ] || [ "$which" = tsan ]; then
  # The unit tests again with ThreadSanitizer; a reported race fails its test.
  log=$(mktemp)
  ctest --test-dir build/linux-tsan --output-on-failure -j2 -L unit 2>&1 | tee "$log"
  summarize linux-tsan "$log" "${PIPESTATUS[0]}"
  rm -f "$log"
fi

if [ "$which" = all ] || [ "$which" = windows ]; then
  # shellcheck source=wine-session.sh
  source scripts/wine-session.sh
  wine_session_start
  log=$(mktemp)
  ctest --test-dir build/windows --output-on-failure 2>&1 | tee "$log"
  summarize windows "$log" "${PIPESTATUS[0]}"
  rm -f "$log"
  wine_session_stop
fi

echo
for s in "${summaries[@]}"; do echo "$s"; done
exit $status
