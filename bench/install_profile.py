#!/usr/bin/env python3
"""A rough profile of the setup's copy phase, seen from outside Wine, for
bench/install_vs_nsis.sh (no change to the setup).

  install_profile.py watch DIR LOG: every 10 ms, while it runs, a line
      "time pack-bytes files bytes" when it changes: the size of the .pak
      below DIR (-1: none) and the count and bytes of the other files.
  install_profile.py report LOG SHOWN GONE PAUSE: the archive phase (first
      byte of the pack to its full size), the unpacking (first file from the
      pack to the last), the pack's removal, in seconds from the progress
      dialog's showing (SHOWN) to its end (GONE).
"""
import os
import sys
import time


def watch(root, log):
    out, last = open(log, "w"), None
    while True:
        pak, n, size = -1, 0, 0
        for d, _, fs in os.walk(root):
            for f in fs:
                try:
                    s = os.stat(os.path.join(d, f)).st_size
                except OSError:
                    continue
                if f.endswith(".pak"):
                    pak = s
                else:
                    n, size = n + 1, size + s
        if (pak, n, size) != last:
            out.write("%.3f %d %d %d\n" % (time.monotonic(), pak, n, size))
            out.flush()
            last = (pak, n, size)
        time.sleep(0.01)


def report(log, shown, gone, pause):
    rows = [tuple(float(x) for x in line.split()) for line in open(log)]
    with_pak = [r for r in rows if r[1] > 0]
    if not with_pak:
        print("profile: no pack seen")
        return
    # The archive phase writes the pack's entry under a temporary name and
    # renames it: its last growth is the last change before the pack shows.
    t_pak = with_pak[0][0]
    before = [r for r in rows if r[0] < t_pak]
    t_a0 = next(r[0] for r in rows if r[3] > 0)
    t_a1 = before[-1][0] if before else t_pak
    n0 = with_pak[0][2]
    grow = [r for r in with_pak if r[2] > n0]
    t_u0 = grow[0][0] if grow else t_pak
    t_u1 = with_pak[-1][0]
    final = rows[-1]
    rel = lambda t: t - shown
    print(f"profile (s after the progress dialog showed, 10 ms polls): archive phase {rel(t_a0):.2f} to "
          f"{rel(t_a1):.2f} ({t_a1 - t_a0:.2f} s, incl. morlan.ini, pack {with_pak[0][1] / 1048576:.1f} MB); "
          f"pack in place at {rel(t_pak):.2f}; unpacking {rel(t_u0):.2f} to {rel(t_u1):.2f} "
          f"({t_u1 - t_u0:.2f} s); pack removed by {rel(t_u1 + 0.01):.2f}; dialog gone at {rel(gone):.2f}; "
          f"tree {final[2]:.0f} files {final[3] / 1048576:.1f} MB (fixed pauses {pause} s in all)")


if sys.argv[1] == "watch":
    watch(sys.argv[2], sys.argv[3])
else:
    report(sys.argv[2], float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5]))
