# Reads xprop's "_NET_WM_ICON = W, H, ARGB..., W, H, ARGB..." and prints, for each image, its
# size and how many of its aligned 2x2 blocks that hold any colour are not one flat colour: an
# icon enlarged from half its size by doubling has none.
{
    sub(/^[^=]*= */, "")
    n = split($0, f, /, */)
    i = 1
    while (i + 1 <= n) {
        w = f[i] + 0
        h = f[i + 1] + 0
        if (w <= 0 || h <= 0 || i + 1 + w * h > n) break
        base = i + 2
        blocks = 0
        split_blocks = 0
        for (by = 0; by + 1 < h; by += 2)
            for (bx = 0; bx + 1 < w; bx += 2) {
                a = f[base + by * w + bx]
                b = f[base + by * w + bx + 1]
                c = f[base + (by + 1) * w + bx]
                d = f[base + (by + 1) * w + bx + 1]
                if (a + b + c + d == 0) continue
                blocks++
                if (a != b || a != c || a != d) split_blocks++
            }
        printf "%dx%d %d %d\n", w, h, blocks, split_blocks
        i = base + w * h
    }
}
