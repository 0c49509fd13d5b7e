#!/usr/bin/env python3
"""Crafted JPEG inputs that once cost far more than their size, timed in jpegdec and djpeg.

   crafted.py --write DIR                       write the inputs only
   crafted.py --jpegdec PATH [--djpeg PATH] [--limit S] DIR  write them, then time both decoders
   crafted.py --seeds DIR                       write the small fuzzer seeds only

Each decoder runs under /usr/bin/time -v in the same run on the same file, killed after
--limit seconds (default 150; its cell then shows the limit). The table gives CPU seconds
(user + system: the machines are shared, so wall time says more about the neighbours),
wall seconds, peak resident memory and the exit status of jpegdec, djpeg and
djpeg -maxscans 100, and our CPU time as a ratio of djpeg's.
"""
import argparse
import os
import re
import subprocess
import sys


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, bits, count):
        for i in range(count - 1, -1, -1):
            self.acc = (self.acc << 1) | ((bits >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)
                self.acc = 0
                self.n = 0

    def flush(self):
        while self.n:
            self.put(1, 1)
        return bytes(self.out)


def segment(code, body):
    return bytes([0xFF, code, (len(body) + 2) >> 8, (len(body) + 2) & 255]) + body


# The usual luminance DC table; an AC table with end-of-band runs EOB0..EOB14 (4 bits each)
# and one coefficient code (0x01, 5 bits).
DC_COUNTS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALUES = list(range(12))
AC_COUNTS = [0, 0, 0, 15, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]
AC_VALUES = [r << 4 for r in range(15)] + [0x01]


def codes(counts, values):
    table, code = {}, 0
    k = 0
    for length in range(1, 17):
        for _ in range(counts[length - 1]):
            table[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return table


AC_CODES = codes(AC_COUNTS, AC_VALUES)
DC_CODES = codes(DC_COUNTS, DC_VALUES)


def dht(tc, th, counts, values):
    return segment(0xC4, bytes([(tc << 4) | th] + counts + values))


def header(sof, width, height, comps, with_dc=True):
    """SOI, DQT 0, the tables, and a frame of `comps` (id, h, v) components."""
    out = bytearray(b"\xFF\xD8")
    out += segment(0xDB, bytes([0] + [1] * 64))
    if with_dc:
        out += dht(0, 0, DC_COUNTS, DC_VALUES)
    out += dht(1, 0, AC_COUNTS, AC_VALUES)
    body = bytes([8, height >> 8, height & 255, width >> 8, width & 255, len(comps)])
    for cid, h, v in comps:
        body += bytes([cid, (h << 4) | v, 0])
    out += segment(sof, body)
    return out


def sos(ids, ss, se, ah, al):
    body = bytes([len(ids)])
    for cid in ids:
        body += bytes([cid, 0x00])
    return segment(0xDA, body + bytes([ss, se, (ah << 4) | al]))


def eob_runs(blocks):
    """End-of-band runs covering `blocks` blocks (EOB14 with its 14 bits: up to 32767)."""
    w = BitWriter()
    while blocks > 0:
        run = min(blocks, 32767)
        r = run.bit_length() - 1
        code, length = AC_CODES[r << 4]
        w.put(code, length)
        if r:
            w.put(run - (1 << r), r)
        blocks -= run
    return w.flush()


def empty_refinements(scans, size=8192):
    """size x size grey, progressive: `scans` AC refinement scans without data."""
    out = header(0xC2, size, size, [(1, 1, 1)], with_dc=False)
    for _ in range(scans):
        out += sos([1], 1, 63, 1, 0)
    return bytes(out + b"\xFF\xD9")


def eob_run_scans(scans, refine, size=8192):
    """size x size grey, progressive: AC scans whose end-of-band runs cover every block."""
    out = header(0xC2, size, size, [(1, 1, 1)], with_dc=False)
    data = eob_runs((size // 8) ** 2)
    for i in range(scans):
        out += sos([1], 1, 63, 1 if refine else 0, 0)
        out += data
    return bytes(out + b"\xFF\xD9")


def huge_sequential(width, height):
    """A 4:2:0 frame of width x height with one block's worth of data and EOI."""
    out = header(0xC0, width, height, [(1, 2, 2), (2, 1, 1), (3, 1, 1)])
    out += sos([1, 2, 3], 0, 63, 0, 0)
    w = BitWriter()
    for _ in range(6 * 100):
        w.put(*DC_CODES[0])
        w.put(*AC_CODES[0x00])
    out += w.flush()
    out += b"\xFF\xD9"
    return bytes(out)


def rendered_then_runs(scans, refine):
    """2048 x 2048 grey, progressive: a DC scan and an AC scan that render the picture, then
    AC scans of end-of-band runs over every block (refinements, or first scans again)."""
    out = header(0xC2, 2048, 2048, [(1, 1, 1)])
    out += sos([1], 0, 0, 0, 1 if refine else 0)
    w = BitWriter()
    for _ in range(256 * 256):
        w.put(*DC_CODES[0])
    out += w.flush()
    runs = eob_runs(256 * 256)
    out += sos([1], 1, 63, 0, 1 if refine else 0) + runs
    for _ in range(scans - 2):
        out += sos([1], 1, 63, 1 if refine else 0, 0) + runs
    return bytes(out + b"\xFF\xD9")


def repeated_sequential(scans):
    """2048 x 2048 grey, sequential: one scan coded in full, then empty scans of it again."""
    out = header(0xC0, 2048, 2048, [(1, 1, 1)])
    out += sos([1], 0, 63, 0, 0)
    w = BitWriter()
    for _ in range(256 * 256):
        w.put(*DC_CODES[0])
        w.put(*AC_CODES[0x00])
    out += w.flush()
    for _ in range(scans - 1):
        out += sos([1], 0, 63, 0, 0)
    return bytes(out + b"\xFF\xD9")


def padded(data):
    """The same stream with 256 KiB of comments after SOI: long enough for jpegdec to take
    a frame of up to 2 million blocks (one bit each) as plausible."""
    com = segment(0xFE, bytes(65533))
    return data[:2] + com * 4 + data[2:]


def second_frame(width, height):
    """A small 16 x 16 grey picture, complete, then a second frame header of width x height."""
    out = header(0xC0, 16, 16, [(1, 1, 1)])
    out += sos([1], 0, 63, 0, 0)
    w = BitWriter()
    for _ in range(4):
        w.put(*DC_CODES[0])
        w.put(*AC_CODES[0x00])
    out += w.flush()
    body = bytes([8, height >> 8, height & 255, width >> 8, width & 255, 1, 1, 0x11, 0])
    out += segment(0xC0, body)
    out += sos([1], 0, 63, 0, 0)
    out += bytes(1000)
    out += b"\xFF\xD9"
    return bytes(out)


INPUTS = {
    "empty-refinements-500.jpg": lambda: empty_refinements(500),
    "empty-refinements-5000.jpg": lambda: empty_refinements(5000),
    "eob-run-scans-2000.jpg": lambda: eob_run_scans(2000, False),
    "eob-run-refinements-2000.jpg": lambda: eob_run_scans(2000, True),
    "declares-65000x65000.jpg": lambda: huge_sequential(65000, 65000),
    "declares-8192x8192.jpg": lambda: huge_sequential(8192, 8192),
    "second-frame-65000x65000.jpg": lambda: second_frame(65000, 65000),
    "rendered-then-runs-1000.jpg": lambda: rendered_then_runs(1000, False),
    "rendered-then-refinements-1000.jpg": lambda: rendered_then_runs(1000, True),
    "repeated-sequential-1000.jpg": lambda: repeated_sequential(1000),
}
# The same kinds, smaller, as seeds of the fuzz target (the regression test decodes every
# prefix of them).
SEEDS = {
    "empty-refinements-of-a-large-frame.jpg": lambda: empty_refinements(100, 1024),
    "end-of-band-run-scans.jpg": lambda: eob_run_scans(100, False, 512),
    "end-of-band-run-refinements.jpg": lambda: eob_run_scans(100, True, 512),
    "second-frame-declares-65000x65000.jpg": lambda: second_frame(65000, 65000),
}
# The decoder's own cost on the inputs that jpegdec refuses as too short for their frame.
for _name in ["empty-refinements-500.jpg", "empty-refinements-5000.jpg", "declares-8192x8192.jpg"]:
    INPUTS["padded-" + _name] = (lambda make: lambda: padded(make()))(INPUTS[_name])


def timed(cmd, limit):
    """(CPU seconds, wall seconds, peak KiB, exit status) of one run."""
    p = subprocess.run(["/usr/bin/time", "-v", "timeout", str(limit)] + cmd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", p.stderr).group(1)
    secs = 0.0
    for part in wall.split(":"):
        secs = secs * 60 + float(part)
    cpu = sum(float(re.search(r"%s time \(seconds\): (\S+)" % k, p.stderr).group(1)) for k in ("User", "System"))
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", p.stderr).group(1))
    return cpu, secs, rss, p.returncode


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--write", action="store_true")
    ap.add_argument("--seeds", action="store_true", help="write the small fuzzer seeds of tests/jpeg/regressions")
    ap.add_argument("--jpegdec")
    ap.add_argument("--djpeg", default="djpeg")
    ap.add_argument("--limit", type=int, default=150)
    ap.add_argument("dir")
    a = ap.parse_args()
    os.makedirs(a.dir, exist_ok=True)
    if a.seeds:
        for name, data in SEEDS.items():
            with open(os.path.join(a.dir, name), "wb") as f:
                f.write(data())
        return 0
    for name, make in INPUTS.items():
        with open(os.path.join(a.dir, name), "wb") as f:
            f.write(make())
    if a.write or not a.jpegdec:
        return 0
    out = os.path.join(a.dir, "out.ppm")
    head = "cpu s  wall s    MiB  rc"
    print("%-38s %7s | %-24s | %-24s | %-24s | %s" % ("input", "bytes", "jpegdec " + head, "djpeg " + head,
          "djpeg -maxscans 100 " + head, "cpu ours/djpeg"))
    for name in INPUTS:
        path = os.path.join(a.dir, name)
        ours = timed([a.jpegdec, path, out], a.limit)
        theirs = timed([a.djpeg, "-outfile", out, path], a.limit)
        capped = timed([a.djpeg, "-maxscans", "100", "-outfile", out, path], a.limit)
        cell = lambda r: "%7.2f %7.2f %6.1f %3d" % (r[0], r[1], r[2] / 1024, r[3])
        ratio = ours[0] / theirs[0] if theirs[0] > 0 else float("inf")
        print("%-38s %7d | %s | %s | %s | %.3f" % (name, os.path.getsize(path), cell(ours), cell(theirs),
              cell(capped), ratio))
        sys.stdout.flush()
    os.remove(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
