#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the JPEG validator against a full libjpeg-turbo decode (jpeginfo -c, djpeg) and the content
# hash against coreutils' sha256sum, on large wallpaper-like files made here. Best of $RUNS runs, all
# tools measured in turn within each run so that they share the machine's state.
#
#   bench/jpeg-bench.sh [BUILD_DIR]        (default: build/ci; needs the jpeg-validate, jpeg-adversarial and
#                                           sha256-file targets)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/ci}" && pwd)
validate=$build/bench/jpeg-validate
hash=$build/bench/sha256-file
adversarial=$build/bench/jpeg-adversarial
runs=${RUNS:-7}

for tool in convert jpeginfo djpeg jpegtran sha256sum "$validate" "$hash" "$adversarial"; do
  command -v "$tool" >/dev/null || { echo "jpeg-bench: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Making 8000x4500 plasma:fractal images in $work (takes a while) ..."
convert -seed 1 -size 8000x4500 plasma:fractal "$work/plasma.ppm"
# ImageMagick keeps chroma at full resolution from quality 90 on: this one is 4:4:4.
convert "$work/plasma.ppm" -quality 92 "$work/plasma-q92-444.jpg"
convert "$work/plasma.ppm" -quality 92 -sampling-factor 2x2 "$work/plasma-q92-420.jpg"
jpegtran -restart 1 -outfile "$work/plasma-q92-420-rst.jpg" "$work/plasma-q92-420.jpg"
rm "$work/plasma.ppm" "$work/plasma-q92-420.jpg"
# The validator's worst cases per byte: Huffman table definitions and nothing else (no image: rejected at
# EOI), and one-block scans each after a redefinition of its tables (accepted).
"$adversarial" tables 10 "$work/table-definitions.jpg"
"$adversarial" scans 10 "$work/tiny-scans.jpg"
head -c $((100 * 1024 * 1024)) /dev/urandom > "$work/random-100MiB.bin"

jpegs=("$work/plasma-q92-444.jpg" "$work/plasma-q92-420-rst.jpg")
"$validate" "${jpegs[@]}" >/dev/null || { echo "jpeg-bench: the validator rejected a generated file" >&2; exit 1; }
for f in "${jpegs[@]}"; do jpeginfo -c "$f" >/dev/null; done

# Microseconds one command takes.
elapsed() {
  local s e
  s=$(date +%s%N)
  "$@" >/dev/null 2>&1
  e=$(date +%s%N)
  echo $(((e - s) / 1000))
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ms() { awk -v a="$1" 'BEGIN { printf "%.1f", a / 1000 }'; }

echo
echo "JPEG validation, best of $runs (ms)"
printf '%-26s %9s %9s %9s %12s %10s\n' file ours "jpeginfo" djpeg "ours/jinfo" "ours/djpeg"
for f in "${jpegs[@]}"; do
  best_v=; best_i=; best_d=
  for _ in $(seq "$runs"); do
    v=$(elapsed "$validate" "$f"); i=$(elapsed jpeginfo -c "$f"); d=$(elapsed djpeg -outfile /dev/null "$f")
    [[ -z $best_v || $v -lt $best_v ]] && best_v=$v
    [[ -z $best_i || $i -lt $best_i ]] && best_i=$i
    [[ -z $best_d || $d -lt $best_d ]] && best_d=$d
  done
  printf '%-26s %9s %9s %9s %12s %10s\n' "$(basename "$f") ($(($(stat -c %s "$f") / 1048576)) MiB)" \
    "$(ms "$best_v")" "$(ms "$best_i")" "$(ms "$best_d")" "$(ratio "$best_v" "$best_i")" "$(ratio "$best_v" "$best_d")"
done
echo "targets: ours/jinfo <= 0.85, ours/djpeg <= 0.55"

echo
echo "Worst cases, best of $runs (ms); per byte against the first file above (ours on a plain file)"
printf '%-26s %9s %9s %12s %12s\n' file ours jpeginfo "ours/jinfo" "per byte"
plain=${jpegs[0]}
best_p=
for _ in $(seq "$runs"); do
  p=$(elapsed "$validate" "$plain")
  [[ -z $best_p || $p -lt $best_p ]] && best_p=$p
done
for f in "$work/table-definitions.jpg" "$work/tiny-scans.jpg"; do
  best_v=; best_i=
  for _ in $(seq "$runs"); do
    v=$(elapsed "$validate" "$f"); i=$(elapsed jpeginfo -c "$f")
    [[ -z $best_v || $v -lt $best_v ]] && best_v=$v
    [[ -z $best_i || $i -lt $best_i ]] && best_i=$i
  done
  per_byte=$(awk -v v="$best_v" -v s="$(stat -c %s "$f")" -v p="$best_p" -v ps="$(stat -c %s "$plain")" \
    'BEGIN { printf "%.2f", (v / s) / (p / ps) }')
  printf '%-26s %9s %9s %12s %12s\n' "$(basename "$f") ($(($(stat -c %s "$f") / 1048576)) MiB)" \
    "$(ms "$best_v")" "$(ms "$best_i")" "$(ratio "$best_v" "$best_i")" "$per_byte"
done
echo "targets: ours/jinfo <= 3 (jpeginfo gives up at the second scan of tiny-scans), per byte <= 3"

echo
echo "SHA-256, best of $runs (ms); the empty file shows each program's start-up, which the last column removes"
: > "$work/empty"
printf '%-26s %9s %9s %14s %14s\n' file ours sha256sum "sha256sum/ours" "net of start"
start_o=; start_s=
for f in "$work/empty" "${jpegs[@]}" "$work/random-100MiB.bin"; do
  [[ $("$hash" "$f" | cut -d' ' -f1) == $(sha256sum "$f" | cut -d' ' -f1) ]] || { echo "jpeg-bench: digests differ" >&2; exit 1; }
  best_o=; best_s=
  for _ in $(seq "$runs"); do
    o=$(elapsed "$hash" "$f"); s=$(elapsed sha256sum "$f")
    [[ -z $best_o || $o -lt $best_o ]] && best_o=$o
    [[ -z $best_s || $s -lt $best_s ]] && best_s=$s
  done
  if [[ -z $start_o ]]; then
    start_o=$best_o; start_s=$best_s; net=-
  else
    net=$(awk -v o="$best_o" -v s="$best_s" -v so="$start_o" -v ss="$start_s" \
      'BEGIN { if (o - so > 0) printf "%.2f", (s - ss) / (o - so); else print "-" }')
  fi
  printf '%-26s %9s %9s %14s %14s\n' "$(basename "$f")" "$(ms "$best_o")" "$(ms "$best_s")" "$(ratio "$best_s" "$best_o")" "$net"
done
echo "target: sha256sum/ours >= 3"
