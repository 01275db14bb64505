#!/bin/sh
# Makes docs/help/supersampling.png: the same crop of a picture rendered plainly (left) and with
# --supersample 4 (right), each enlarged three times without smoothing so that the pixels show.
# Usage: tools/supersampling-figure.sh [BUILD_DIR]   (ImageMagick's convert joins the halves)
set -eu
build=${1:-build}
render="$build/cli/vantorel-render"
out=docs/help/supersampling.png
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Filaments at the upper left of the default picture, 120 x 90 pixels.
region="--center-x 3,9555 --center-y 1,1922 --region-width 0,0033 --region-height 0,002475 --size 120x90 -q"
"$render" $region -o "$work/plain.png"
"$render" $region --supersample 4 -o "$work/ss4.png"
convert "$work/plain.png" "$work/ss4.png" -filter point -resize 300% +append \
  -bordercolor white -border 0 -strip "$work/both.png"
cp "$work/both.png" "$out"
echo "wrote $out"
