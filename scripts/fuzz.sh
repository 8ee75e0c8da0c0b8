#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang under AddressSanitizer and
# UBSan and runs each for SECONDS over its corpus (fuzz/corpus/<harness>, and
# seeds made from the known answers) with its dictionary (fuzz/<harness>.dict,
# and the member names of the documents in the known answers). New inputs go
# to build/fuzz/corpus/, never into the repository. A crash, leak, timeout or sanitizer report fails
# the script and leaves the input under build/fuzz/artifacts/ (its path is
# printed).
#
#   scripts/fuzz.sh SECONDS                   run every harness
#   scripts/fuzz.sh SECONDS --update-corpus   then merge what was found, with
#                                             seeds made from the known answers,
#                                             into a minimised fuzz/corpus/
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
source scripts/packages.sh

SECONDS_PER_HARNESS="${1:?usage: scripts/fuzz.sh SECONDS [--update-corpus]}"
UPDATE_CORPUS="${2:-}"
HARNESSES=(documents operations)

need_debian_packages clang libclang-rt-14-dev cmake make

BUILD=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target "${HARNESSES[@]/%/_fuzz}"

# Every abort writes its diagnostic to standard error; -close_fd_mask=2 drops
# those while libFuzzer's own output and sanitizer reports still show.
fuzz_options=(-close_fd_mask=2 -timeout=60 -rss_limit_mb=4096 -print_final_stats=1)

# Seeds made from the known answers: every kind of document they hold is
# fuzzed from the start, whether or not fuzz/corpus has inputs of it yet.
seeds="$BUILD/seeds"
rm -rf "$seeds" && python3 fuzz/seed_corpus.py "$seeds"

failed=0
for h in "${HARNESSES[@]}"; do
  scratch="$BUILD/corpus/$h"
  artifacts="$BUILD/artifacts/$h"
  mkdir -p "$scratch" "$artifacts"
  rm -f "$artifacts"/*
  log="$BUILD/$h.log"
  python3 fuzz/seed_corpus.py --dictionary "$h" "$BUILD/$h.dict"
  echo "== fuzzing $h for ${SECONDS_PER_HARNESS}s"
  status=0
  "$BUILD/fuzz/${h}_fuzz" "${fuzz_options[@]}" -max_total_time="$SECONDS_PER_HARNESS" \
    -dict="$BUILD/$h.dict" -artifact_prefix="$artifacts/" "$scratch" "fuzz/corpus/$h" "$seeds/$h" >"$log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$log" || true
  if [ "$status" -ne 0 ]; then
    failed=1
    tail -n 60 "$log"
    echo "!! $h failed (exit $status); full log: $ROOT/$log"
    for f in "$artifacts"/*; do
      [ -e "$f" ] && echo "!! input: $ROOT/$f (replay: $BUILD/fuzz/${h}_fuzz $f)"
    done
  fi
done
[ "$failed" -eq 0 ] || exit 1

if [ "$UPDATE_CORPUS" = "--update-corpus" ]; then
  for h in "${HARNESSES[@]}"; do
    merged="$BUILD/merged/$h"
    rm -rf "$merged" && mkdir -p "$merged" "fuzz/corpus/$h"
    "$BUILD/fuzz/${h}_fuzz" -close_fd_mask=2 -merge=1 "$merged" "fuzz/corpus/$h" "$seeds/$h" "$BUILD/corpus/$h" \
      >"$BUILD/$h.merge.log" 2>&1
    rm -rf "fuzz/corpus/$h" && mv "$merged" "fuzz/corpus/$h"
    echo "== fuzz/corpus/$h: $(find "fuzz/corpus/$h" -type f | wc -l) inputs, $(du -sb "fuzz/corpus/$h" | cut -f1) bytes"
  done
fi
