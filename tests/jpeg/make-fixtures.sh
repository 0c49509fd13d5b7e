#!/usr/bin/env bash
# Makes the JPEG fixtures of tests/jpeg/fixtures with cjpeg (libjpeg-turbo-progs) and
# ImageMagick from small deterministic source pictures; the outputs are committed.
#   tests/jpeg/make-fixtures.sh [OUTDIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/fixtures}"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# A photograph-like source: smooth colour gradients, texture, a few hard edges, noise.
make_source() {  # W H FILE
  python3 - "$1" "$2" "$3" <<'PY'
import math, sys
w, h, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
seed = 12345
def rnd():
    global seed
    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
    return seed / 0x7FFFFFFF
px = bytearray()
for y in range(h):
    for x in range(w):
        r = 128 + 100 * math.sin(x / 7.0) * math.cos(y / 11.0)
        g = 100 + 80 * math.sin((x + y) / 9.0)
        b = 60 + 150 * (y / max(1, h - 1))
        if (x // 12 + y // 10) % 3 == 0:
            r, g, b = 240 - r * 0.5, 30 + g * 0.3, 200 - b * 0.4
        n = (rnd() - 0.5) * 24
        px += bytes(max(0, min(255, int(v + n))) for v in (r, g, b))
open(path, 'wb').write(b'P6\n%d %d\n255\n' % (w, h) + px)
PY
}

make_source 61 47 "$tmp/s.ppm"
make_source 17 9 "$tmp/s17x9.ppm"
make_source 1 1 "$tmp/s1x1.ppm"
make_source 100 75 "$tmp/big.ppm"

q=85
cjpeg -quality $q -sample 1x1,1x1,1x1 "$tmp/s.ppm" > "$out/s444.jpg"
cjpeg -quality $q -sample 2x1,1x1,1x1 "$tmp/s.ppm" > "$out/s422.jpg"
cjpeg -quality $q -sample 2x2,1x1,1x1 "$tmp/s.ppm" > "$out/s420.jpg"
cjpeg -quality $q -sample 1x2,1x1,1x1 "$tmp/s.ppm" > "$out/s440.jpg"
cjpeg -quality $q -sample 4x1,1x1,1x1 "$tmp/s.ppm" > "$out/s411.jpg"
cjpeg -quality $q -grayscale "$tmp/s.ppm" > "$out/gray.jpg"
cjpeg -quality $q -progressive "$tmp/s.ppm" > "$out/prog420.jpg"
cjpeg -quality $q -progressive -sample 1x1,1x1,1x1 "$tmp/s.ppm" > "$out/prog444.jpg"
cjpeg -quality $q -progressive -grayscale "$tmp/s.ppm" > "$out/proggray.jpg"
cjpeg -quality $q -progressive -restart 2B "$tmp/s.ppm" > "$out/progrst.jpg"
cjpeg -quality $q -restart 1 "$tmp/s.ppm" > "$out/rst-rows.jpg"
cjpeg -quality $q -restart 3B "$tmp/s.ppm" > "$out/rst-blocks.jpg"
cjpeg -quality $q -restart 1B -sample 1x1,1x1,1x1 "$tmp/s.ppm" > "$out/rst-each.jpg"
cjpeg -quality $q -optimize "$tmp/s.ppm" > "$out/optimized.jpg"
cjpeg -quality 2 "$tmp/s.ppm" > "$out/quant16.jpg"          # values above 255: 16-bit DQT
cjpeg -quality $q -rgb "$tmp/s.ppm" > "$out/adobe-rgb.jpg"  # Adobe APP14, transform 0
printf '0;\n1;\n2;\n' > "$tmp/planes.scans"
cjpeg -quality $q -scans "$tmp/planes.scans" "$tmp/s.ppm" > "$out/noninterleaved.jpg"
cjpeg -quality $q -scans "$tmp/planes.scans" -sample 1x1,1x1,1x1 "$tmp/s.ppm" > "$out/noninterleaved444.jpg"
printf '0;\n1 2;\n' > "$tmp/mixed.scans"
cjpeg -quality $q -scans "$tmp/mixed.scans" "$tmp/s.ppm" > "$out/noninterleaved-mixed.jpg"
cjpeg -quality $q -sample 2x2,1x1,1x1 "$tmp/s17x9.ppm" > "$out/tiny17x9.jpg"
cjpeg -quality $q "$tmp/s1x1.ppm" > "$out/tiny1x1.jpg"
cjpeg -quality $q -progressive "$tmp/s1x1.ppm" > "$out/tiny1x1-prog.jpg"
cjpeg -quality 95 -sample 2x2,1x1,1x1 "$tmp/big.ppm" > "$out/big420.jpg"
# A four-component (CMYK, Adobe) picture made by ImageMagick.
/usr/bin/convert "$tmp/s17x9.ppm" -colorspace CMYK -quality 90 "$out/cmyk.jpg"

# Progressive pictures (fixtures/progressive): spectral selection, successive approximation
# with several refinement passes, DC scans per component, end-of-band runs far longer than 15
# blocks (flat areas), restart intervals, 4:2:0, 4:2:2, 4:4:4 and grey, odd sizes.
# ProgressiveTest.cpp holds checksums of their decodes (progressive/decodes.txt).
prog="$out/progressive"
mkdir -p "$prog"

# A picture whose top third is flat (blocks without AC coefficients, hence long end-of-band
# runs), with a textured, noisy rest and hard edges.
make_flat_source() {  # W H FILE
  python3 - "$1" "$2" "$3" <<'PY'
import math, sys
w, h, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
seed = 4242
def rnd():
    global seed
    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
    return seed / 0x7FFFFFFF
px = bytearray()
for y in range(h):
    for x in range(w):
        if y < h // 3:
            r, g, b = 90, 140, 220
        else:
            r = 128 + 100 * math.sin(x / 5.0) * math.cos(y / 9.0)
            g = 100 + 80 * math.sin((x + y) / 7.0)
            b = 60 + 150 * (y / max(1, h - 1))
            if (x // 14 + y // 11) % 3 == 0:
                r, g, b = 240 - r * 0.5, 30 + g * 0.3, 200 - b * 0.4
            n = (rnd() - 0.5) * 40
            r, g, b = r + n, g - n, b + n / 2
        px += bytes(max(0, min(255, int(v))) for v in (r, g, b))
open(path, 'wb').write(b'P6\n%d %d\n255\n' % (w, h) + px)
PY
}

make_flat_source 203 117 "$tmp/flat.ppm"
make_flat_source 37 29 "$tmp/flat-small.ppm"

# Spectral selection alone: bands of each component, no refinement.
cat > "$tmp/p-bands.scans" <<'S'
0 1 2: 0-0, 0, 0;
0: 1-5, 0, 0;
0: 6-20, 0, 0;
0: 21-63, 0, 0;
1: 1-63, 0, 0;
2: 1-63, 0, 0;
S
# Successive approximation with three or four refinement passes per band.
cat > "$tmp/p-refine.scans" <<'S'
0 1 2: 0-0, 0, 3;
0: 1-9, 0, 4;
0: 10-63, 0, 4;
1: 1-63, 0, 3;
2: 1-63, 0, 3;
0 1 2: 0-0, 3, 2;
0: 1-63, 4, 3;
0: 1-63, 3, 2;
1: 1-63, 3, 2;
2: 1-63, 3, 2;
0: 1-63, 2, 1;
0 1 2: 0-0, 2, 1;
0: 1-63, 1, 0;
1: 1-63, 2, 1;
1: 1-63, 1, 0;
2: 1-63, 2, 1;
2: 1-63, 1, 0;
0 1 2: 0-0, 1, 0;
S
# DC scans of one component each, then refinement of the DC of one of them.
cat > "$tmp/p-dcsplit.scans" <<'S'
0: 0-0, 0, 1;
1: 0-0, 0, 0;
2: 0-0, 0, 0;
0: 1-63, 0, 2;
1: 1-63, 0, 0;
2: 1-63, 0, 0;
0: 0-0, 1, 0;
0: 1-63, 2, 1;
0: 1-63, 1, 0;
S
cat > "$tmp/p-grey.scans" <<'S'
0: 0-0, 0, 2;
0: 1-2, 0, 1;
0: 3-63, 0, 2;
0: 0-0, 2, 1;
0: 3-63, 2, 1;
0: 1-2, 1, 0;
0: 0-0, 1, 0;
0: 3-63, 1, 0;
S

q=85
cjpeg -quality $q -progressive "$tmp/flat.ppm" > "$prog/default420.jpg"
cjpeg -quality $q -progressive -sample 2x1,1x1,1x1 "$tmp/flat.ppm" > "$prog/default422.jpg"
cjpeg -quality $q -progressive -sample 1x1,1x1,1x1 "$tmp/flat.ppm" > "$prog/default444.jpg"
cjpeg -quality $q -progressive -grayscale "$tmp/flat.ppm" > "$prog/defaultgrey.jpg"
cjpeg -quality 98 -progressive -sample 1x1,1x1,1x1 "$tmp/flat.ppm" > "$prog/fine444.jpg"
cjpeg -quality 30 -progressive "$tmp/flat.ppm" > "$prog/coarse420.jpg"
cjpeg -quality $q -scans "$tmp/p-bands.scans" "$tmp/flat.ppm" > "$prog/bands420.jpg"
cjpeg -quality $q -scans "$tmp/p-bands.scans" -sample 1x1,1x1,1x1 "$tmp/flat-small.ppm" > "$prog/bands444-small.jpg"
cjpeg -quality $q -scans "$tmp/p-refine.scans" "$tmp/flat.ppm" > "$prog/refine420.jpg"
cjpeg -quality 95 -scans "$tmp/p-refine.scans" -sample 2x1,1x1,1x1 "$tmp/flat.ppm" > "$prog/refine422.jpg"
cjpeg -quality $q -scans "$tmp/p-refine.scans" -sample 1x1,1x1,1x1 -restart 5B "$tmp/flat.ppm" > "$prog/refine444-rst5.jpg"
cjpeg -quality $q -scans "$tmp/p-dcsplit.scans" "$tmp/flat.ppm" > "$prog/dcsplit420.jpg"
cjpeg -quality $q -scans "$tmp/p-grey.scans" -grayscale "$tmp/flat.ppm" > "$prog/refinegrey.jpg"
cjpeg -quality $q -scans "$tmp/p-grey.scans" -grayscale -restart 1 "$tmp/flat-small.ppm" > "$prog/refinegrey-rstrow.jpg"
cjpeg -quality $q -progressive -restart 1 "$tmp/flat.ppm" > "$prog/default420-rstrow.jpg"
cjpeg -quality $q -progressive -restart 7B -sample 1x1,1x1,1x1 "$tmp/flat-small.ppm" > "$prog/default444-rst7-small.jpg"
ls -l "$out" "$prog"
