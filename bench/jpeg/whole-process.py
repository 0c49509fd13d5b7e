#!/usr/bin/env python3
"""jpegdec against djpeg as a user runs them: one process per photograph, full size, to PPM.

   whole-process.py [--jpegdec PATH] [--djpeg PATH] [--rounds N] [--out DIR] PHOTO_DIR

Each round decodes every .jpg of PHOTO_DIR once with each decoder, the two alternating
(which goes first alternates too), writing into --out (default /dev/shm, so that the disk
does not time itself). It prints each round's wall and CPU seconds (user + system of the
processes) of both, then the medians and our median over djpeg's. The machines are shared:
the ratio of the same round is what counts, with the load average printed beside it.
"""
import argparse
import glob
import os
import resource
import statistics
import subprocess
import sys
import time


def cpu_of_children():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run_all(command_of, photos):
    wall0, cpu0 = time.perf_counter(), cpu_of_children()
    for photo in photos:
        done = subprocess.run(command_of(photo), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if done.returncode != 0:
            sys.exit("%s failed (%d): %s" % (" ".join(command_of(photo)), done.returncode, done.stderr.decode()))
    return time.perf_counter() - wall0, cpu_of_children() - cpu0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--jpegdec", default="build/bin/jpegdec")
    ap.add_argument("--djpeg", default="djpeg")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--out", default="/dev/shm")
    ap.add_argument("photos")
    a = ap.parse_args()
    photos = sorted(glob.glob(os.path.join(a.photos, "*.jpg")))
    if not photos:
        sys.exit("no .jpg in " + a.photos)
    ours_out = os.path.join(a.out, "whole-process-jpegdec.ppm")
    theirs_out = os.path.join(a.out, "whole-process-djpeg.ppm")
    decoders = {
        "jpegdec": lambda p: [a.jpegdec, p, ours_out],
        "djpeg": lambda p: [a.djpeg, "-outfile", theirs_out, p],
    }
    print("%d photographs of %s, %d rounds, load average %.2f %.2f %.2f" % ((len(photos), a.photos, a.rounds) +
                                                                            os.getloadavg()))
    wall = {name: [] for name in decoders}
    cpu = {name: [] for name in decoders}
    ratios = []
    for r in range(a.rounds):
        order = list(decoders) if r % 2 == 0 else list(reversed(decoders))
        for name in order:
            w, c = run_all(decoders[name], photos)
            wall[name].append(w)
            cpu[name].append(c)
        ratios.append(cpu["jpegdec"][-1] / cpu["djpeg"][-1])
        print("round %d: jpegdec %.3f s (cpu %.3f)  djpeg %.3f s (cpu %.3f)  cpu ratio %.3f" %
              (r + 1, wall["jpegdec"][-1], cpu["jpegdec"][-1], wall["djpeg"][-1], cpu["djpeg"][-1], ratios[-1]))
    for name in decoders:
        print("%-8s median %.3f s wall, %.3f s cpu" % (name, statistics.median(wall[name]), statistics.median(cpu[name])))
    print("jpegdec/djpeg: cpu %.3f (median of the rounds' ratios), wall %.3f; load average now %.2f" %
          (statistics.median(ratios), statistics.median(wall["jpegdec"]) / statistics.median(wall["djpeg"]),
           os.getloadavg()[0]))
    for path in (ours_out, theirs_out):
        if os.path.exists(path):
            os.remove(path)


main()
