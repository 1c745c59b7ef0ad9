#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes the readers with libFuzzer (Debian's clang and libclang-rt-14-dev),
# under AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Runs each target (text, xlsx, xls, dataset, genepop, populations; all by default) for SECONDS
# (default 60), all at once at the lowest priority. Each starts from the
# inputs kept under tests/data/fuzz/<target>/ (seeds and every input that
# ever broke the program) and the example datasets, and grows its own
# corpus in build-fuzz/corpus/<target>/. An input that crashes, leaks, runs
# out of memory or takes too long (over FUZZ_TIMEOUT seconds, default 25;
# raise it on a machine busy with other work) is written to
# build-fuzz/artifacts/<target>/: once mended, copy it to
# tests/data/fuzz/<target>/ so that the ordinary tests replay it for good.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(text xlsx xls dataset genepop populations)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVIRELTAN_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2

export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
pids=()
for target in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$target"
  artifacts="build-fuzz/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  seeds=("tests/data/fuzz/$target")
  case "$target" in
    text | dataset) seeds+=(examples) ;;
  esac
  # Messages of the reader under test would drown the fuzzer's own.
  nice -n 19 "build-fuzz/fuzz/fuzz_$target" "$corpus" "${seeds[@]}" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout="${FUZZ_TIMEOUT:-25}" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" >"build-fuzz/$target.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  if ! wait "${pids[$i]}"; then
    echo "fuzz_${targets[$i]}: FOUND A PROBLEM, see build-fuzz/${targets[$i]}.log and" \
      "build-fuzz/artifacts/${targets[$i]}/"
    status=1
  fi
  log="build-fuzz/${targets[$i]}.log"
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
  echo "fuzz_${targets[$i]}: ${runs:-?} inputs run, ${cov:-no coverage figure}"
done
exit "$status"
