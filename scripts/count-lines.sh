#!/usr/bin/env bash
# Prints the product lines, the test lines and their ratio. Method (docs/line-count.md):
# every line of every source file (C++ .cpp/.h, assembly .s/.inc, CMakeLists.txt), blank
# and comment lines included, counted by wc -l over the files git tracks.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  git ls-files -- "$@" | grep -E '(\.(cpp|h|s|inc)|CMakeLists\.txt)$' | xargs -r cat | wc -l
}

product=$(count engine emulator widgets dialogs editing project play view app gbcode/sidefiles gbcode/tools)
tests_e2e=$(count tests/e2e)
tests_other=$(count tests ':!tests/e2e' gbcode/testroms fuzz)
tests=$((tests_e2e + tests_other))
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "product lines:             $product"
echo "test lines:                $tests"
echo "  outside tests/e2e:       $tests_other"
echo "  tests/e2e:               $tests_e2e"
echo "ratio tests/product:       $(ratio "$tests" "$product")"
echo "ratio outside e2e/product: $(ratio "$tests_other" "$product")"
