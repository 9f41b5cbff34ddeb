#!/usr/bin/env python3
"""Two kerfdmx builds on the same randomly damaged recordings: every output file, the printed text
and the exit status must be the same. For changes to how the tool moves bytes, which must not
change what it writes.

Usage: bench/demux_ab_damaged.py KERFDMX_A KERFDMX_B RECORDING.ts [rounds (default 50)] [seed]

Each round cuts a random stretch of the recording (a few thousand packets up to the whole of it),
damages it (flipped bytes, dropped or inserted bytes, runs of garbage, a cut-off end) and runs
both builds with MODE=ALL over a random packet range, with MODE=DEMUX of a programme and with the
information file. The work folder is KERF_AB_DIR (default /dev/shm/kerf-ab-damaged).
"""
import os
import random
import shutil
import subprocess
import sys


def damage(data: bytearray, rnd: random.Random) -> bytearray:
    for _ in range(rnd.randint(0, 6)):
        kind = rnd.choice(["flip", "drop", "insert", "garbage"])
        at = rnd.randrange(len(data)) if data else 0
        if kind == "flip":
            for _ in range(rnd.randint(1, 50)):
                i = rnd.randrange(len(data))
                data[i] ^= 1 << rnd.randrange(8)
        elif kind == "drop":
            del data[at:at + rnd.randint(1, 400)]
        elif kind == "insert":
            data[at:at] = bytes(rnd.randrange(256) for _ in range(rnd.randint(1, 400)))
        else:
            n = rnd.randint(188, 188 * 40)
            data[at:at + n] = bytes(rnd.choice([0x47, 0x00, rnd.randrange(256)]) for _ in range(n))
    if rnd.random() < 0.3 and data:
        del data[rnd.randrange(len(data)):]
    return data


def run(tool: str, folder: str, args: list) -> tuple:
    p = subprocess.run([tool] + args, cwd=folder, capture_output=True, timeout=600)
    return p.returncode, p.stdout


def main() -> int:
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    builds = [os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])]
    source = open(sys.argv[3], "rb").read()
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 50
    rnd = random.Random(int(sys.argv[5]) if len(sys.argv) > 5 else 1)
    work = os.environ.get("KERF_AB_DIR", "/dev/shm/kerf-ab-damaged")
    shutil.rmtree(work, ignore_errors=True)
    folders = []
    for side in "AB":
        folder = os.path.join(work, side)
        os.makedirs(folder)
        shutil.copy(builds["AB".index(side)], os.path.join(folder, "kerfdmx"))
        open(os.path.join(folder, "lockfile"), "w").close()
        folders.append(folder)
    differences = 0
    packets = len(source) // 188
    for r in range(rounds):
        first = rnd.randrange(packets)
        count = rnd.choice([rnd.randint(1, 5000), rnd.randint(5000, 50000), packets])
        data = damage(bytearray(source[first * 188:(first + count) * 188]), rnd)
        recording = os.path.join(work, "in.ts")
        open(recording, "wb").write(data)
        n = max(1, len(data) // 188)
        start, end = sorted(rnd.randrange(n + 50) for _ in range(2))
        results = []
        for folder in folders:
            for f in os.listdir(folder):
                if f.endswith(".ts") or f.startswith("DEMUX"):
                    os.remove(os.path.join(folder, f))
            out = []
            info = run(folder + "/kerfdmx", folder, [recording, "-h:1", "-i:DEMUX.txt"])
            out.append(("info", info, open(os.path.join(folder, "DEMUX.txt"), "rb").read()
                        if os.path.exists(os.path.join(folder, "DEMUX.txt")) else b""))
            with open(os.path.join(folder, "ALL.cfg"), "w") as cfg:
                cfg.write("MODE=ALL\r\nNAME=%s\r\n" % os.path.join(folder, "all.ts"))
            res = run(folder + "/kerfdmx", folder, [recording, "-h:1", "-s:%X" % start, "-e:%X" % end, "-d:ALL.cfg"])
            out.append(("all", res, open(os.path.join(folder, "all.ts"), "rb").read()
                        if os.path.exists(os.path.join(folder, "all.ts")) else None))
            with open(os.path.join(folder, "ONE.cfg"), "w") as cfg:
                cfg.write("MODE=DEMUX\r\n\r\nNAME=%s\r\nPID=0000\r\nPID=01F1\r\nPID=0121\r\nPID=0122\r\n"
                          "NAME=%s\r\nPID=0111\r\nPID=0131\r\n"
                          % (os.path.join(folder, "one.ts"), os.path.join(folder, "two.ts")))
            res = run(folder + "/kerfdmx", folder, [recording, "-h:1", "-d:ONE.cfg"])
            files = tuple(open(os.path.join(folder, f), "rb").read() if os.path.exists(os.path.join(folder, f))
                          else None for f in ("one.ts", "two.ts"))
            out.append(("demux", res, files))
            results.append(out)
        # The information file names files in its own program folder: compared without it.
        def same(x, y):
            return repr(x).replace(folders[0], "") == repr(y).replace(folders[1], "")
        for (what, a, fa), (_, b, fb) in zip(results[0], results[1]):
            if not same(a, b) or not same(fa, fb):
                differences += 1
                print("round %d: %s differs (status %d/%d)" % (r, what, a[0], b[0]))
                shutil.copy(recording, os.path.join(work, "differs-%d.ts" % r))
    print("%d rounds, %d differences" % (rounds, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
