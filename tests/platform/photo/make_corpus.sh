#!/usr/bin/env bash
# Remakes the photo corpus in corpus/: every picture variant the loader test checks, written by the tools that write
# them in real life (ImageMagick, cjpeg, jpegtran, cwebp, img2webp, heif-enc, exiv2) and, where no tool does, made
# from their output; beside each its reference NAME.png, decoded once by the format's own decoder: heif-convert for
# HEIC and AVIF, Qt's reader for the others (corpus_reference, built with the tests). A PNG is its own reference.
# corpus/VERSIONS says which versions made the set.
#
# usage: tests/platform/photo/make_corpus.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
reference=$(cd "${1:?usage: make_corpus.sh BUILD_DIR}" && pwd)/tests/platform/photo/corpus_reference
out=$here/corpus work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -f "$out"/* && cd "$work"

# Blurred quadrants of four colours: every turn and mirror shows, and decoders that scale in different ways (libjpeg
# in its transform, Qt after decoding) still agree closely away from hard edges.
quadrants() { # WxH FILE
    local w=${1%x*} h=${1#*x}
    convert -size "$1" xc:'#2050c0' \( -size $((w / 2))x$((h / 2)) xc:'#e03020' \) -geometry +0+0 -composite \
        \( -size $((w / 2))x$((h / 2)) xc:'#30b040' \) -gravity northeast -composite \
        \( -size $((w / 2))x$((h / 2)) xc:'#f0d020' \) -gravity southeast -composite -blur 0x$((w / 64 + 1)) -depth 8 "$2"
}
quadrants 192x144 src.png && quadrants 576x548 medium.png && quadrants 1152x1096 large.png
convert src.png -negate negative.png
convert src.png \( -size 192x144 gradient:white-none \) -compose copy-opacity -composite rgba.png
convert xc:'#e03020' xc:'#2050c0' +append palette2.png
convert -size 16x1 gradient:'#e03020'-'#2050c0' palette16.png
for p in src medium large; do convert $p.png $p.ppm; done

im() { convert src.png "${@:3}" "$2:$out/$1"; }   # NAME FORMAT OPTIONS...
cj() { cjpeg -quality 90 "${@:3}" -outfile "$out/$1" "$2.ppm"; } # NAME PICTURE OPTIONS...
heic() { heif-enc -q 90 "${@:3}" "$2" -o "$work/h.heic" >/dev/null && mv "$work/h.heic" "$out/$1"; } # NAME PICTURE
patch() { python3 -c "import sys; d = open(sys.argv[1], 'rb').read(); open(sys.argv[1], 'wb').write($2)" "$out/$1"; }

# PNG: palettes as ImageMagick writes them for few colours, grey, RGB, alpha, 16 bits, interlacing and transparency
# chunks.
im png-palette-1-bit.png png +dither -remap palette2.png -define png:exclude-chunk=bKGD
im png-palette-4-bit.png png +dither -remap palette16.png -define png:exclude-chunk=bKGD
convert rgba.png -colorspace gray -define png:color-type=4 "png:$out/png-grey-with-alpha.png"
im png-rgb-8-bit.png png -define png:color-type=2
im png-single-pixel.png png -resize 1x1! -define png:color-type=2
im png-rgb-16-bit.png png -depth 16 -define png:bit-depth=16 -define png:color-type=2
convert rgba.png -define png:color-type=6 "png:$out/png-rgba-8-bit.png"
convert rgba.png -depth 16 -define png:bit-depth=16 -define png:color-type=6 "png:$out/png-rgba-16-bit.png"
im png-interlaced.png png -interlace PNG
im png-rgb-with-trns.png png -fuzz 10% -transparent '#2050c0' -define png:color-type=2
im png-palette-with-trns.png png +dither -colors 16 -fuzz 10% -transparent '#2050c0'
for bits in 1 8 16; do
    im png-grey-$bits-bit.png png -colorspace gray -depth $bits -define png:bit-depth=$bits -define png:color-type=0
done

# JPEG as cameras, phones and editors write it; the large and medium ones take libjpeg's scaled paths (1/8, 1/4, 1/2).
cj jpeg-baseline-420-large.jpg large && cj jpeg-progressive-444-medium.jpg medium -progressive -sample 1x1
cj jpeg-baseline-422.jpg src -sample 2x1 && cj jpeg-baseline-444.jpg src -sample 1x1
cj jpeg-progressive-420.jpg src -progressive && cj jpeg-grey.jpg src -grayscale
cj jpeg-arithmetic-progressive-444.jpg src -arithmetic -progressive -sample 1x1
cj jpeg-restart-markers.jpg src -restart 1
im jpeg-cmyk-adobe.jpg jpg -colorspace CMYK -quality 90
# As many scans as a file may have: each coefficient on its own, and the first 36 refined.
{ echo '0: 0 0 0 0;' && for k in $(seq 63); do echo "0: $k $k 0 1;"; done && for k in $(seq 36); do echo "0: $k $k 1 0;"; done; } >scans
cjpeg -grayscale -outfile grey.jpg src.ppm && jpegtran -scans scans -outfile "$out/jpeg-progressive-100-scans.jpg" grey.jpg
# Stray bytes that cameras pad a segment with, and that some editors leave after the last block.
cj jpeg-stray-bytes-between-segments.jpg src && patch jpeg-stray-bytes-between-segments.jpg "d[:20] + bytes(3) + d[20:]"
cj jpeg-stray-bytes-before-its-end.jpg src && patch jpeg-stray-bytes-before-its-end.jpg "d[:-2] + b'\x12\x34\x56' + d[-2:]"
# Every Exif orientation, and 9, which is none.
for o in 1 2 3 4 5 6 7 8 9; do
    cj jpeg-exif-$o.jpg src && exiv2 -M"set Exif.Image.Orientation Short $o" "$out/jpeg-exif-$o.jpg"
done

# GIF, BMP, ICO and CUR, WebP, TIFF.
im gif-interlaced.gif gif -interlace GIF
convert rgba.png -channel A -threshold 50% +channel "gif:$out/gif-transparent.gif"
convert -delay 20 src.png negative.png -loop 0 "gif:$out/gif-animated.gif"
im bmp-1-bit.bmp bmp3 +dither -remap palette2.png -type palette
im bmp-rle8.bmp bmp3 +dither -colors 200 -type palette -compress RLE
im bmp-24-bit.bmp bmp3 -type truecolor
# The same 24-bit picture stored top row first, which a negative height declares.
im bmp-24-bit-top-down.bmp bmp3 -type truecolor && patch bmp-24-bit-top-down.bmp "d[:22] + (-int.from_bytes(d[22:26], \
'little', signed=True)).to_bytes(4, 'little', signed=True) + d[26:54] + b''.join(d[54 + y * 576:54 + y * 576 + 576] \
for y in reversed(range(144)))"
im ico-16-32-64-256.ico ico -define icon:auto-resize=16,32,64,256 && im cur.cur cur -resize 64x64
convert \( src.png -resize 64x48 \) \( src.png -resize 32x24 \) "ico:$out/ico-largest-first.ico"
cwebp -quiet -q 85 src.png -o "$out/webp-lossy.webp"
cwebp -quiet -q 85 -exact rgba.png -o "$out/webp-with-alpha.webp"
img2webp -q 85 -lossy src.png negative.png -o "$out/webp-animated.webp" >/dev/null
im tiff-lzw.tiff tiff -compress lzw && convert src.png negative.png "tiff:$out/tiff-two-pages.tiff"
im tiff-turned-by-its-orientation-tag.tiff tiff -compress lzw -orient RightTop
# A 16-bit scan, which Qt's reader allocates at 8 bytes a pixel, the most the loader lets a reader have.
quadrants 512x384 scan.png && convert scan.png -depth 16 -compress zip "tiff:$out/tiff-16-bit.tiff"

# HEIC and AVIF: a thumbnail that covers the frame, alpha, HEIF's basic brand, sides that are no multiples of a coding
# block (the encoder pads them, libheif crops them off), 10 bits a channel as cameras write them.
heic heic.heic src.png && heic heic-with-alpha.heic rgba.png && heic heic-with-thumbnail.heic medium.png -t 288
heic heic-brand-mif1.heic src.png && patch heic-brand-mif1.heic "d[:8] + b'mif1' + d[12:]"
convert src.png -resize 321x241! odd.png && heic heic-odd-sides.heic odd.png
convert src.png -depth 16 PNG48:deep.png && heic heic-10-bit.heic deep.png -b 10
# Thumbnails that show another picture, as files may list them: two pictures whose thumbnails are swapped (the first
# picture's thumbnail is the second's, of another shape), and the same with the primary item naming that thumbnail.
convert medium.png -negate -resize 300x500! other.png && heif-enc -q 90 -t 288 medium.png other.png -o swapped.heic
python3 -c "import sys; d = open('swapped.heic', 'rb').read().replace(b'thmb\0\2\0\1\0\1', b'thmb\0\2\0\1\0\3') \
.replace(b'thmb\0\4\0\1\0\3', b'thmb\0\4\0\1\0\1'); open(sys.argv[1], 'wb').write(d); \
open(sys.argv[2], 'wb').write(d.replace(b'pitm\0\0\0\0\0\1', b'pitm\0\0\0\0\0\4'))" \
    "$out/heic-thumbnail-of-another-picture.heic" "$out/heic-primary-item-names-a-thumbnail.heic"
im avif.avif avif -quality 90 && convert rgba.png -quality 90 "avif:$out/avif-with-alpha.avif"

# At the cap of a picture decoded whole, kept out of the corpus's rounds in large/: 100 megapixels in tiles of 512, as
# cameras store large photos. Only heif-enc 1.17 and later tile (Debian 13's, not 12's); elsewhere the file is kept.
if heif-enc --help 2>&1 | grep -q -- --tiled-input; then
    colours=(e03020 30b040 2050c0 f0d020) && mkdir tiles
    for c in "${colours[@]}"; do convert -size 512x512 "xc:#$c" "$c.png"; done
    for y in $(seq 20); do for x in $(seq 20); do cp "${colours[(y > 10) * 2 + (x > 10)]}.png" tiles/tile-$y-$x.png; done; done
    heic ../large/heic-grid-10000x10000.heic tiles/tile-1-1.png -T --tiled-image-width 10000 --tiled-image-height 10000
    dpkg-query -W -f='${Package} ${Version}\n' libheif-examples libheif-plugin-x265 >"$here/large/VERSIONS"
fi

# The other formats of Qt's readers. TGA as ImageMagick writes it, without the optional TrueVision 2.0 footer (and
# starting as a cursor does), with alpha, and with the footer. Stored top row first, as ImageMagick stores it: it
# leaves its rows in that order when it declares the bottom-left origin, which other decoders then turn upside down.
im ppm.ppm ppm && im pgm.pgm pgm -compress none
im xpm.xpm xpm -colors 32 && im xbm.xbm xbm && im wbmp.wbmp wbmp
im tga-without-footer.tga tga -orient TopLeft
convert rgba.png -orient TopLeft "tga:$out/tga-with-alpha-without-footer.tga"
im tga.tga tga && patch tga.tga "d + bytes(8) + b'TRUEVISION-XFILE.\0'"

# The references: what each format's own decoder shows.
for file in "$out"/*; do
    case $file in
    *.png) ;;
    # Of several pictures, heif-convert writes each (NAME-1.png, NAME-2.png, ...); the first is the file's own.
    *.heic | *.avif)
        heif-convert -q 100 "$file" "${file%.*}.png" >/dev/null
        [[ ! -e ${file%.*}-1.png ]] || { mv "${file%.*}-1.png" "${file%.*}.png" && rm "${file%.*}"-[0-9]*.png; }
        ;;
    # Qt's reader takes no TGA without the footer.
    *-without-footer.tga) convert "$file" "png:${file%.*}.png" ;;
    *) "$reference" "$file" "${file%.*}.png" ;;
    esac
done

dpkg-query -W -f='${Package} ${Version}\n' imagemagick libjpeg-turbo-progs webp libheif-examples exiv2 libqt6gui6 >"$out/VERSIONS"
