#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time (default 60 s, all targets at
# once) from its seed corpus in tests/fuzz/corpus, which is only read; new
# inputs collect in build/fuzz/corpus. With --merge, the new inputs that add
# coverage are merged into the repository's corpus, to be committed.
# Usage: fuzz.sh [SECONDS] [--merge]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
merge=0
for arg in "$@"; do
  case "$arg" in
    --merge) merge=1 ;;
    *) seconds=$arg ;;
  esac
done

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -Wno-dev -DPIXTAGGER_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build/fuzz classify_fuzz load_fuzz profile_fuzz sidecar_fuzz embed_fuzz rules_fuzz heif_size_fuzz jpeg_size_fuzz video_size_fuzz

targets=(classify profile load sidecar embed rules heif_size jpeg_size video_size)
pids=()
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t" "build/fuzz/artifacts/$t"
  # Findings land in artifacts/; the log keeps the last stats line.
  dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
  build/fuzz/${t}_fuzz "build/fuzz/corpus/$t" "tests/fuzz/corpus/$t" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$t/" >"build/fuzz/$t.log" 2>&1 &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  if wait "${pids[$i]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build/fuzz/$t.log")
    cov=$(grep -oE 'cov: [0-9]+' "build/fuzz/$t.log" | tail -n 1)
    echo "fuzz $t: ${runs:-?} executions, $cov, no findings"
  else
    echo "fuzz $t: FAILED, see build/fuzz/$t.log and build/fuzz/artifacts/$t/"
    tail -n 40 "build/fuzz/$t.log"
    failed=1
  fi
done

if [ "$merge" = 1 ]; then
  for t in "${targets[@]}"; do
    build/fuzz/${t}_fuzz -merge=1 "tests/fuzz/corpus/$t" "build/fuzz/corpus/$t" >/dev/null 2>&1
    echo "fuzz $t: corpus now $(ls "tests/fuzz/corpus/$t" | wc -l) inputs"
  done
fi
exit "$failed"
