#!/usr/bin/env bash
# Prints the product lines, the test lines and their ratio. Method (docs/line-count.md):
# every line of every source file (C++ .cpp/.h, assembly .s/.inc, CMakeLists.txt), blank
# and comment lines included, counted by wc -l over the files git tracks.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  git ls-files -- "$@" | grep -E '(\.(cpp|h|s|inc)|CMakeLists\.txt)$' | xargs -r cat | wc -l
}

# The demo ROM's sources: the program the window program opens first (scripts/run.sh), and the
# game the end-to-end tests colour.
demo=(gbcode/testroms/game.s gbcode/testroms/art.s gbcode/testroms/copyloops.inc)
not_demo=(':!gbcode/testroms/game.s' ':!gbcode/testroms/art.s' ':!gbcode/testroms/copyloops.inc')

product=$(count engine emulator widgets dialogs editing project play view app gbcode/sidefiles gbcode/tools "${demo[@]}")
demo_lines=$(count "${demo[@]}")
tests_e2e=$(count tests/e2e)
tests_other=$(count tests ':!tests/e2e' gbcode/testroms "${not_demo[@]}" fuzz)
tests=$((tests_e2e + tests_other))
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "product lines:             $product (of them the demo ROM: $demo_lines)"
echo "test lines:                $tests"
echo "  outside tests/e2e:       $tests_other"
echo "  tests/e2e:               $tests_e2e"
echo "ratio tests/product:       $(ratio "$tests" "$product")"
echo "ratio outside e2e/product: $(ratio "$tests_other" "$product")"
echo "with the demo ROM counted as tests: product $((product - demo_lines)), tests $((tests + demo_lines)), ratio $(ratio $((tests + demo_lines)) $((product - demo_lines)))"
