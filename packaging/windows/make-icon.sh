#!/bin/sh
# make-icon.sh SVG ICO: the program's icon for Windows, drawn by rsvg-convert at the sizes the
# desktop shows (16 to 256 pixels) and gathered into one .ico, each size kept as PNG (read by
# Windows since Vista).
set -eu
svg=$1
ico=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sizes="16 24 32 48 64 256"
count=0
for size in $sizes; do
  rsvg-convert --width "$size" --height "$size" --format png --output "$work/$size.png" "$svg"
  count=$((count + 1))
done

# Little-endian fields of the header and of the directory, one byte at a time.
byte() { printf "\\$(printf '%03o' $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

{
  le16 0; le16 1; le16 "$count"        # reserved, type 1 (icon), number of images
  offset=$((6 + 16 * count))
  for size in $sizes; do
    length=$(wc -c <"$work/$size.png")
    byte $((size % 256)); byte $((size % 256)) # 256 is written 0
    byte 0; byte 0                             # no palette, reserved
    le16 1; le16 32                            # planes, bits per pixel
    le32 "$length"; le32 "$offset"
    offset=$((offset + length))
  done
  for size in $sizes; do
    cat "$work/$size.png"
  done
} >"$work/icon.ico"
mv "$work/icon.ico" "$ico"
