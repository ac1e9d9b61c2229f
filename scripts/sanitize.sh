#!/usr/bin/env bash
# Builds the programs and tests with the sanitizers and runs them:
#   scripts/sanitize.sh [address|thread|all]   (default: all)
# address: AddressSanitizer + UndefinedBehaviorSanitizer (and leak checks), every test, in
#          build-asan/.
# thread:  ThreadSanitizer in build-tsan/, the tests that run the receiver's and the uploader's
#          threads end to end (integration). The window tests are left out: Qt's libraries are
#          not instrumented, and their own thread pool hand-overs show up as races.
# Every report of a sanitizer fails the run, also one from a program a test started (the
# receiver, the simulator, the uploader): the reports are written to files, which are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
what="${1:-all}"
case "$what" in
  address | thread | all) ;;
  *)
    echo "usage: scripts/sanitize.sh [address|thread|all]" >&2
    exit 2
    ;;
esac
jobs="$(nproc)"
programs=(quillon quillon-sim sollex)

build() {  # build dir, sanitizers, test programs...
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON \
    -DQUILLON_SANITIZE="$2" >/dev/null
  local dir="$1" args=()
  shift 2
  for t in "${programs[@]}" "$@"; do args+=(--target "$t"); done
  cmake --build "$dir" -j"$jobs" "${args[@]}"
}

# Runs ctest in `dir` with the given ctest arguments; fails on a failed test or on any report.
run() {  # build dir, name, ctest arguments...
  local dir="$1" name="$2"
  shift 2
  local logs="$root/$dir/sanitizer-reports"
  rm -rf "$logs"
  mkdir -p "$logs"
  local started=$SECONDS status=0
  (
    cd "$dir"
    ASAN_OPTIONS="log_path=$logs/asan:detect_leaks=1" \
      UBSAN_OPTIONS="log_path=$logs/ubsan:print_stacktrace=1" \
      TSAN_OPTIONS="log_path=$logs/tsan:second_deadlock_stack=1" \
      ctest --output-on-failure -j"$jobs" --timeout 600 "$@"
  ) || status=$?
  # A process that ends while it starts a report can leave an empty file: nothing to show.
  local reports
  reports="$(find "$logs" -type f -size +0 | sort)"
  if [[ -n "$reports" ]]; then
    for f in $reports; do
      echo "==== $f"
      head -c 20000 "$f"
    done
    echo "$name: sanitizer reports (above)"
    status=1
  fi
  echo "$name: $((SECONDS - started)) s for the tests"
  return "$status"
}

if [[ "$what" == address || "$what" == all ]]; then
  started=$SECONDS
  build build-asan address,undefined unit_tests integration_tests ui_tests uploader_tests
  echo "address,undefined: $((SECONDS - started)) s for the build"
  run build-asan address,undefined
fi
if [[ "$what" == thread || "$what" == all ]]; then
  started=$SECONDS
  build build-tsan thread integration_tests uploader_tests
  echo "thread: $((SECONDS - started)) s for the build"
  run build-tsan thread -L integration
fi
