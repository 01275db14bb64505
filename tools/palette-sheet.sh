#!/usr/bin/env bash
# Makes docs/palettes.png: one small picture of each shipped colour list, labelled, all from one
# computed project, so that they differ only in their colours.
#   tools/palette-sheet.sh [BUILD_DIR]      (needs ImageMagick's montage)
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
render="$build/cli/vantorel-render"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The swallow-shaped region of the logistic map with the sequence AB: order and chaos side by side.
"$render" --fixed 1 --sequence AB --center-x 3.2 --center-y 3.2 --region-width 1.6 \
  --region-height 1.6 --size 180x180 --iterations 600 --calm-down 200 --project "$work/sheet.LPr" -q
names=()
while IFS=$'\t' read -r name _; do names+=("$name"); done < <("$render" --list-palettes)
labelled=()
for name in "${names[@]}"; do
  "$render" "$work/sheet.LPr" --colours "$name" -o "$work/$name.png" -q
  labelled+=(-label "$name" "$work/$name.png")
done
montage "${labelled[@]}" -tile 5x -geometry +6+6 -pointsize 14 -background white docs/palettes.png
echo "wrote docs/palettes.png (${#names[@]} colour lists)"
