#!/usr/bin/env bash
# tarnwick-make writes a book without loading Qt Gui or a widget library: the
# libraries the process maps, as the dynamic loader reports them.
set -euo pipefail
make=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Two tiny pictures: a JPEG and a GIF header are enough for a stretched book.
printf '\xff\xd8\xff\xc0\x00\x11\x08\x00\x10\x00\x20\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xd9' > "$work/a.jpg"
printf 'GIF89a\x20\x00\x10\x00\x00\x00\x00;' > "$work/b.gif"
LD_DEBUG=files "$make" --book-width 32 --book-height 16 "$work" > "$work/out.txt" 2> "$work/loaded.txt"
grep -q 'MyEBook.dml' "$work/out.txt" || { echo "tarnwick-make wrote no book"; cat "$work/loaded.txt" | tail -5; exit 1; }
if grep -E 'file=[^ ]*libQt6(Gui|Widgets)' "$work/loaded.txt"; then
    echo "tarnwick-make loaded a GUI library to write a book"
    exit 1
fi
grep -q 'file=[^ ]*libQt6Core' "$work/loaded.txt" || { echo "LD_DEBUG reported nothing"; exit 1; }
echo "tarnwick-make mapped Qt Core only"
