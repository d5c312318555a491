#!/usr/bin/env bash
# Installs what is missing, then builds and tests every preset CI checks:
#   default  every test (labels unit, gui, slow); also compiles every benchmark
#            (not run), so one that stops compiling fails the stage
#   asan     every test under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan     the engine and browser tests under ThreadSanitizer
#   fuzz     every libFuzzer target for 30 s on its seed corpus
# Each stage builds its whole preset and picks its tests by label or name, so
# new libraries and their tests join without changes here. Every stage runs
# even after a failure; the exit status is non-zero when any stage failed.
#
# Usage: test.sh [--quick] [ctest arguments...]
#   --quick   the default build and its tests only (the developer subset)
#   Further arguments go to every stage's ctest, e.g. `-LE slow` skips the
#   large-file tests.
set -uo pipefail
cd "$(dirname "$0")/.."

stages=(default asan tsan fuzz)
if [[ "${1:-}" == "--quick" ]]; then
  stages=(default)
  shift
fi

bash scripts/install-deps.sh || exit 1
jobs=$(nproc)

# Tests each stage runs, beyond the ctest arguments given.
select_tests() {
  case "$1" in
    tsan) echo "-R ^(engine|browser)_" ;;
    fuzz) echo "-L fuzz" ;;
  esac
}

failed=()
summary=()
for stage in "${stages[@]}"; do
  echo "==== stage $stage"
  start=$SECONDS
  # shellcheck disable=SC2046
  if cmake --preset "$stage" > /dev/null &&
     cmake --build --preset "$stage" --parallel "$jobs" &&
     ctest --preset "$stage" --parallel "$jobs" $(select_tests "$stage") "$@"; then
    result=passed
  else
    result=FAILED
    failed+=("$stage")
  fi
  summary+=("$(printf '%-8s %-7s %4d s' "$stage" "$result" $((SECONDS - start)))")
done

echo "==== summary"
printf '%s\n' "${summary[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "failed stages: ${failed[*]}"
  exit 1
fi
echo "all stages passed in $SECONDS s"
