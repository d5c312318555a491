#!/usr/bin/env bash
# Test and product lines per folder, as a Markdown table on standard output
# (docs/ci.md keeps the last one). Product: each library folder;
# tests: tests/<folder>. tests/support, tests/tools and the rest of tests/
# count as test lines too; bench/ and the fixture tools (scripts/fixtures)
# count as neither. Lines are all lines of source files (C++, CMake, shell,
# Python, JavaScript, HTML, Qt forms).
set -euo pipefail
cd "$(dirname "$0")/.."

lines() {  # lines of the source files under the given paths (0 when none)
  local n
  n=$(find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.cmake' -o -name CMakeLists.txt \
        -o -name '*.sh' -o -name '*.py' -o -name '*.js' -o -name '*.html' -o -name '*.ui' \) \
        -print0 2>/dev/null | xargs -0 -r cat | wc -l)
  echo "${n:-0}"
}
percent() { if (( $2 > 0 )); then echo "$(( 100 * $1 / $2 )) %"; else echo "-"; fi; }

folders=(container codec engine wall browser telemetry app resources)
product_total=0
test_total=0
echo "| folder | product lines | test lines | tests / product |"
echo "| --- | ---: | ---: | ---: |"
for f in "${folders[@]}"; do
  [[ -d $f || -d tests/$f ]] || continue
  p=$( [[ -d $f ]] && lines "$f" || echo 0 )
  t=$( [[ -d tests/$f ]] && lines "tests/$f" || echo 0 )
  product_total=$((product_total + p))
  test_total=$((test_total + t))
  echo "| $f/ | $p | $t | $(percent "$t" "$p") |"
done
shared_paths=()
for d in tests/*/; do
  name=$(basename "$d")
  [[ " ${folders[*]} " == *" $name "* ]] || shared_paths+=("$d")
done
shared=$(( $(lines "${shared_paths[@]}" ) + $(find tests -maxdepth 1 -type f \( -name '*.cmake' -o -name CMakeLists.txt \) -print0 | xargs -0 cat | wc -l) ))
test_total=$((test_total + shared))
echo "| tests/ shared (support, tools, harness) | | $shared | |"
echo "| **total** | **$product_total** | **$test_total** | **$(percent "$test_total" "$product_total")** |"
