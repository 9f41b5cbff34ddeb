#!/usr/bin/env bash
# Builds the seed maker (native preset) and writes the fuzz targets' seed corpora into
# fuzz/corpus/<target>/, replacing what is there. The corpora are small and kept in the repository;
# run this again when the stream builder or a target's input form changes.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target kerf_make_fuzz_seeds
rm -rf fuzz/corpus
build/native/bin/kerf_make_fuzz_seeds "$PWD" fuzz/corpus
for d in fuzz/corpus/*/; do
  printf '%-24s %3d seeds %7d bytes\n' "$(basename "$d")" "$(ls "$d" | wc -l)" "$(cat "$d"/* | wc -c)"
done
