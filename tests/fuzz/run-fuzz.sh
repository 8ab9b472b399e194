#!/usr/bin/env bash
# Builds the branding reader's libFuzzer target with clang-14 (address and
# undefined-behaviour sanitizers) and runs it.
#
#   tests/fuzz/run-fuzz.sh [runs] [extra libFuzzer options...]
#
# runs: number of inputs to try (default 20000); 0 = no limit (stop it with
# -max_total_time=SECONDS). A finding stops the run with a non-zero exit and
# leaves the input as build/fuzz/crash-*.
#
# The seed corpus is made fresh each time from the sample data packets
# (tests/unit/branding/packets), branding files written by brandtool (built
# with the native preset when missing) and small bitmaps. Inputs the fuzzer
# finds are kept in build/fuzz/corpus between runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
runs=${1:-20000}
shift || true
[ "$runs" = 0 ] && runs=-1  # libFuzzer's "no limit"

out=build/fuzz
mkdir -p "$out/corpus"
rm -rf "$out/seeds"
mkdir -p "$out/seeds"

# --- the target ---
clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" \
  tests/fuzz/fuzz_branding.cpp launcher/unPack.cpp launcher/DataPacket.cpp launcher/Bitmap.cpp \
  common/utf.cpp platform/system.cpp platform/sim/sim_machine.cpp \
  -lz -o "$out/fuzz_branding"

# --- seeds: the first byte says where the input enters (0 packed file, 1 packet, 2 bitmap) ---
seed() {  # seed NAME SELECTOR FILE
  { printf "\\x$2"; cat "$3"; } >"$out/seeds/$1"
}
for f in tests/unit/branding/packets/*.cds; do
  seed "packet-$(basename "$f")" 01 "$f"
done

tool=build/native/brandtool
if [ ! -x "$tool" ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target brandtool >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A 4 x 2 24-bit bitmap and a 2 x 2 8-bit one with a 4-colour table.
printf 'BM\x46\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x04\x00\x00\x00\x02\x00\x00\x00\x01\x00\x18\x00\x00\x00\x00\x00\x10\x00\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$tmp/rgb.bmp"
for i in 1 2 3 4 5 6 7 8; do printf '\x10\x80\xff'; done >>"$tmp/rgb.bmp"
printf 'BM\x46\x00\x00\x00\x00\x00\x00\x00\x46\x00\x00\x00\x28\x00\x00\x00\x02\x00\x00\x00\xfe\xff\xff\xff\x01\x00\x08\x00\x00\x00\x00\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x04\x00\x00\x00\x00\x00\x00\x00' >"$tmp/pal.bmp"
printf '\x00\x00\x00\x00\xff\x00\x00\x00\x00\xff\x00\x00\x00\x00\xff\x00\x00\x01\x00\x00\x02\x03\x00\x00' >>"$tmp/pal.bmp"
seed bitmap-rgb 02 "$tmp/rgb.bmp"
seed bitmap-pal 02 "$tmp/pal.bmp"
"$tool" pack "$tmp/plain.dat" --title "Title 标题" --maker "Maker" --banner "$tmp/rgb.bmp" --addin "Add-in" >/dev/null
"$tool" pack "$tmp/header.dat" --title "T" --maker "" --banner "$tmp/pal.bmp" --addin "" \
  --header "made for the fuzzer" --graphic-header >/dev/null
seed packed-plain 00 "$tmp/plain.dat"
seed packed-header 00 "$tmp/header.dat"

# --- the run ---
cd "$out"
exec ./fuzz_branding -runs="$runs" -max_len=131072 -timeout=20 -print_final_stats=1 "$@" corpus seeds
