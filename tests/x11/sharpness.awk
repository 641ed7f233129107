# Tells a picture drawn at the screen's own resolution from one drawn at half of it and then
# enlarged. Reads screenpixel's "X,Y RRGGBB" lines for a few rows that cross hard edges (a
# glyph's strokes, a picture's lines); ox is the screen column where the window's logical pixels
# start, so columns ox+2i and ox+2i+1 are one logical pixel at a scale of 2.
#
# Prints: rows, the smallest contrast of a row (luminance range, 0..255), the sharpest step
# between neighbours as a share of its row's contrast, and how many logical pixels hold two
# different device pixels. Enlarged by doubling, no logical pixel is split; enlarged smoothly,
# no step between neighbours is sharper than about half the contrast.

# Plain awk (mawk) has no strtonum.
function byte(hex,    i, n) {
    n = 0
    for (i = 1; i <= 2; i++)
        n = n * 16 + index("0123456789ABCDEF", toupper(substr(hex, i, 1))) - 1
    return n
}

function lum(hex) {
    return (byte(substr(hex, 1, 2)) * 299 + byte(substr(hex, 3, 2)) * 587 + byte(substr(hex, 5, 2)) * 114) / 1000
}

{
    split($1, p, ",")
    x = p[1] + 0
    y = p[2] + 0
    v[y, x] = lum($2)
    if (!(y in seen)) {
        seen[y] = 1
        rows[++nrows] = y
    }
    if (!(y in xmin) || x < xmin[y]) xmin[y] = x
    if (!(y in xmax) || x > xmax[y]) xmax[y] = x
}

END {
    min_range = 255
    best = 0
    split_pixels = 0
    for (r = 1; r <= nrows; r++) {
        y = rows[r]
        lo = 255
        hi = 0
        step = 0
        for (x = xmin[y]; x <= xmax[y]; x++) {
            if (!((y, x) in v)) continue
            if (v[y, x] < lo) lo = v[y, x]
            if (v[y, x] > hi) hi = v[y, x]
            if (((y, x + 1) in v)) {
                d = v[y, x + 1] - v[y, x]
                if (d < 0) d = -d
                if (d > step) step = d
                if ((x - ox) % 2 == 0 && d > 8) split_pixels++
            }
        }
        range = hi - lo
        if (range < min_range) min_range = range
        if (range > 0 && step / range > best) best = step / range
    }
    printf "rows=%d contrast=%d sharpest_step=%.2f split_pixels=%d\n", nrows, min_range, best, split_pixels
}
