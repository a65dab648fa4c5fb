#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# and runs each on its seed corpus for a bounded time. A crash, a leak, a hang of one input or a
# broken check fails the run; the input that did it is kept under build/fuzz/artifacts/.
#   QV_FUZZ_SECONDS=N   seconds per target (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${QV_FUZZ_SECONDS:-30}"
build=build/fuzz
sanitize=-fsanitize=fuzzer-no-link,address,undefined

# Only the libraries the fuzzers need are built; the desktop view and its toolkit stay out.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_BUILD_FUZZ=ON -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON \
  "-DCMAKE_CXX_FLAGS=$sanitize -fno-sanitize-recover=undefined"
cmake --build "$build" --target qv_fuzzers -j2

mkdir -p "$build/artifacts"
failed=0
for seeds in fuzz/corpus/*/; do
  target="$(basename "$seeds")"
  program="$build/fuzz/$target"
  if [ ! -x "$program" ]; then
    echo "fuzz: $target has seeds but no program" >&2
    failed=1
    continue
  fi
  # New inputs go to a scratch corpus; the committed seeds stay as they are.
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "fuzz: $target for ${seconds}s"
  if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$work" "$seeds" >"$build/$target.log" 2>&1; then
    tail -n 40 "$build/$target.log" >&2
    echo "fuzz: $target FAILED (log: $build/$target.log)" >&2
    failed=1
    continue
  fi
  grep -E '^stat::number_of_executed_units' "$build/$target.log" | sed "s/^/fuzz: $target /"
done

if [ "$failed" -ne 0 ]; then
  echo "fuzz: a target failed" >&2
  exit 1
fi
echo "fuzz: every target ran clean"
