#!/usr/bin/env bash
# Builds every fuzz target with clang and libFuzzer (ASan + UBSan) and runs
# each for FUZZ_SECONDS (default 20), starting from its committed corpus.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
seconds="${FUZZ_SECONDS:-20}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
  -DTARVIK_SANITIZE=ON -DTARVIK_FUZZ=ON -DTARVIK_BUILD_TESTS=ON -DTARVIK_BUILD_BENCH=OFF \
  -DTARVIK_BUILD_GUI=OFF >/dev/null
targets=()
for dir in "$root"/fuzz/*/; do
  [ -f "$dir/CMakeLists.txt" ] || continue
  name="$(basename "$dir")_fuzz"
  targets+=("$name")
done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

for name in "${targets[@]}"; do
  dir="$root/fuzz/${name%_fuzz}"
  work="$build/corpus/${name%_fuzz}"
  mkdir -p "$work"
  echo "fuzzing $name for ${seconds}s"
  log="$build/$name.log"
  dict=()
  [ -f "$dir/${name%_fuzz}.dict" ] && dict=(-dict="$dir/${name%_fuzz}.dict")
  if ! "$build/fuzz/${name%_fuzz}/$name" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/" -close_fd_mask=3 "${dict[@]}" "$work" "$dir/corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzzer $name found a fault (crash input in $build)"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$log" || true
done
echo "fuzzers: ${#targets[@]} ran ${seconds}s each without a finding"
