#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
#   1. the whole suite (engine, widgets, Game Boy end-to-end) in an optimised build;
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the libFuzzer targets, for about two minutes in all, from seeds made by dapplix-cli.
# Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

scripts/install-deps.sh

echo "== Build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDAPPLIX_SANITIZE=ON -DDAPPLIX_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

echo "== Fuzz the project reader, the ROM loader, both through the colour ROM build, and the palette file reader"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAPPLIX_FUZZ=ON \
  -DDAPPLIX_GUI=OFF -DDAPPLIX_GBCODE=OFF -DDAPPLIX_TESTS=OFF -DDAPPLIX_BENCH=OFF
cmake --build build-fuzz -j"$jobs" --target fuzz_project fuzz_rom fuzz_colour fuzz_palette
seconds=${DAPPLIX_FUZZ_SECONDS:-30}
# Seeds the readers accept: the test ROMs, projects that dapplix-cli makes for them, and
# both together as the colour target takes them (the project's length, low byte first,
# the project, the ROM).
seeds=build/fuzz-seeds
rm -rf "$seeds" && mkdir -p "$seeds/rom" "$seeds/project" "$seeds/colour" "$seeds/palette"
printf 'JASC-PAL\r\n0100\r\n2\r\n255 0 0\r\n0 128 255\r\n' > "$seeds/palette/two.pal"
printf 'GIMP Palette\nName: seed\nColumns: 4\n#\n10 20 30\tfirst\n' > "$seeds/palette/one.gpl"
cp build/roms/*.gb "$seeds/rom/"
# The real games beside the project, when they are there, reach further into the scan.
for game in ../shared/realgames/*.gb; do if [ -f "$game" ]; then cp "$game" "$seeds/rom/"; fi; done
for rom in build/roms/*.gb; do
  name=$(basename "$rom" .gb)
  project="$seeds/project/$name.gbp"
  build/bin/dapplix-cli palette "$rom" 2 0 0 0 15 7 3 -o "$project" >/dev/null 2>&1
  build/bin/dapplix-cli switch "$rom" 2 1 2 2 9 9 1 2 -o "$seeds/project/$name-switched.gbp" \
    --project "$project" >/dev/null 2>&1
  length=$(stat -c %s "$project")
  { printf "\\x$(printf %02x $((length & 255)))\\x$(printf %02x $((length >> 8)))"; cat "$project" "$rom"; } \
    > "$seeds/colour/$name"
done
for target in project rom colour palette; do
  corpus=$(mktemp -d)
  # The seeds stay as they were made; new inputs go to a scratch corpus.
  build-fuzz/bin/fuzz_$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=$(case $target in rom) echo 270000 ;; colour) echo 290000 ;; *) echo 20000 ;; esac) -print_final_stats=1 \
    -artifact_prefix="$root/build-fuzz/crash-$target-" "$corpus" "$seeds/$target"
  rm -rf "$corpus"
done

echo "== All tests passed"
