#!/usr/bin/env python3
"""kerf on streams nobody here made, against ffprobe: each *.ts of the folder KERF_REAL_STREAMS
(skipped when it is not set). Per stream: the service ids, the SDT's names and each service's
streams (class and codec) of `kerf info` against ffprobe's programs; on each MPEG-2 video the key
pictures of `kerf scan` against ffprobe's key packets, and `kerf frame` writes a picture;
H.264/HEVC video is refused by name; a file in 192- or 204-byte packets is refused by its packet
size. Prints one line per stream, then the run's counts, and fails on any difference no rule below
explains.

Key pictures: kerf lists the TS packet where a sequence header begins; ffprobe gives the byte
position of the TS packet that starts the PES holding a key frame. A broadcast's PES of video
starts at a picture, so a sequence header (and the I picture after it) begins in that very packet:
packet = pos / 188."""
import collections, json, os, re, subprocess, sys, tempfile

SKIP = 77
CLASS_OF_TYPE = {"video": "V", "audio": "A", "subtitle": "C", "data": "D"}
# ffprobe's codec names where kerf's differ: the MPEG audio layers are one coding by stream_type,
# and a private stream ffprobe reads as bytes is data without a codec to kerf.
CODEC_OF = {"mp1": "mpeg_audio", "mp2": "mpeg_audio", "mp3": "mpeg_audio", "bin_data": ""}
# Differences of tsduck-test's streams that are understood: (stream, PID or None for all) -> why.
# ("PMT %04X" % PID): the streams of the service with that PMT PID; "packets": kerf's refusal of
# the file's packet size; "frame": kerf frame's refusal.
KNOWN = {
    ("test-011.ts", "PMT 012C"): "a 4000-packet excerpt whose one PAT comes at packet 2466 and some services' only "
                                 "PMT before it: kerf reads a PMT once a PAT names its PID; ffprobe, once it "
                                 "has the PAT, reads the file again from its start",
    ("test-035.encap.pes1.ts", 0x1000): "stream_type 0x99 (user private) carrying TS packets in PES: no class; "
                                        "ffprobe guesses mp3 from the bytes",
    ("test-035.encap.pes2.ts", 0x1000): "stream_type 0x99 (user private) carrying TS packets in PES: no class; "
                                        "ffprobe guesses mp3 from the bytes",
    ("test-072.ts", 0x0064): "stream_type 0x04 (MPEG audio) carries ADTS AAC: ffprobe reads the data, kerf the PMT",
    ("test-101.ts", 0x0146): "ISDB superimposed text (tag 0x38, ARIB caption data component): C by ARIB's tag "
                             "ranges; ffprobe takes only tags 0x30-0x37 for captions",
    ("test-143.ts", None): "PMT repetitions of one version differ by bit errors: kerf keeps the section it met "
                           "first, as the demux tool does; ffprobe follows later ones",
    ("test-147.ts", 0x0064): "stream_type 0x04 (MPEG audio) carries ADTS AAC: ffprobe reads the data, kerf the PMT",
    ("test-171.11.ts", "packets"): "204-byte packets (188 and Reed-Solomon parity): kerf reads 188-byte packets only",
}
for pmt in (0x02BC, 0x0320, 0x0384, 0x03E8, 0x1003):
    KNOWN[("test-011.ts", "PMT %04X" % pmt)] = KNOWN[("test-011.ts", "PMT 012C")]
# What each folder's run found, printed at its end.
TALLY = collections.Counter()


def run(args):
    p = subprocess.run(args, capture_output=True, text=True, errors="replace")
    return p.returncode, p.stdout, p.stderr


def ffprobe_programs(path, names=None):
    _, out, _ = run(["ffprobe", "-v", "quiet", "-show_programs", "-of", "json", path])
    progs = json.loads(out or "{}").get("programs", [])
    for p in progs if names is not None else []:
        tags = p.get("tags", {})
        names[p["program_id"]] = (tags.get("service_name", ""), tags.get("service_provider", ""))
    return {p["program_id"]: {int(s["id"], 16): (CLASS_OF_TYPE.get(s.get("codec_type"), ""),
                                                  CODEC_OF.get(s.get("codec_name", ""), s.get("codec_name", "")))
                               for s in p.get("streams", [])} for p in progs}


def key_packets(path, pid):
    _, out, _ = run(["ffprobe", "-v", "quiet", "-select_streams", "i:%d" % pid,
                     "-show_entries", "packet=pos,flags", "-of", "csv", path])
    rows = [line.split(",") for line in out.splitlines()]
    return [int(r[1]) // 188 for r in rows if len(r) > 2 and r[1].isdigit() and r[2].startswith("K")]


def check_stream(kerf, name, path, tmp):
    status, out, err = run([kerf, "info", path, "--json"])
    probe_names = {}
    probe = ffprobe_programs(path, probe_names)
    if status == 3 and "not an MPEG transport stream" in err and not probe:
        TALLY["not a transport stream"] += 1
        return [], ["not a transport stream"]
    if status == 3 and "byte packets" in err and (not probe or KNOWN.get((name, "packets"))):
        TALLY["refused for their packet size"] += 1
        return [], [re.search(r"\d+-byte packets", err).group(0) + " refused"]
    if status != 0:
        return ["info: status %d: %s" % (status, err.strip())], []
    info = json.loads(out)
    diffs, notes = [], []
    known_pids = collections.OrderedDict()   # why -> the PIDs it explains
    ours = {p["serviceId"]: p for p in info["programmes"]}
    if set(ours) != set(probe):
        diffs.append("services: kerf %s, ffprobe %s" % (sorted(ours), sorted(probe)))
    TALLY["services"] += len(ours)
    for sid, prog in sorted(ours.items()):
        if sid in probe_names:
            name_pair = (prog["serviceName"], prog["providerName"])
            TALLY["SDT names agreed"] += name_pair == probe_names[sid]
            TALLY["SDT names agreed, not empty"] += name_pair == probe_names[sid] and any(name_pair)
            if name_pair != probe_names[sid]:
                diffs.append("service %d names: kerf %s, ffprobe %s" % (sid, name_pair, probe_names[sid]))
        streams = {x["pid"]: (x["class"], x["codec"]) for x in prog["pids"] if len(x["class"]) <= 1}
        pmt = "PMT %04X" % next((x["pid"] for x in prog["pids"] if x["class"] == "PMT"), 0x1FFF)
        theirs = probe.get(sid, {})
        for pid in sorted(set(streams) | set(theirs)):
            a, b = streams.get(pid), theirs.get(pid)
            TALLY["streams"] += 1
            if a and b and a == b:
                TALLY["streams agreed"] += 1
                continue
            known = KNOWN.get((name, pid)) or KNOWN.get((name, pmt)) or KNOWN.get((name, None))
            if a and b == ("", ""):
                # ffprobe names no codec for a stream it has too few packets of: the PMT stands.
                TALLY["streams ffprobe names no codec of"] += 1
                if a[1]:
                    notes.append("PID %04X %s by the PMT, ffprobe unknown" % (pid, a[1]))
            elif known:
                TALLY["streams differing (known)"] += 1
                known_pids.setdefault(known, []).append("%04X kerf %s, ffprobe %s" % (pid, a, b))
            elif a or b:
                diffs.append("service %d PID %04X: kerf %s, ffprobe %s" % (sid, pid, a, b))
        for pid, (cls, codec) in streams.items():
            if cls != "V":
                continue
            args = ["--programme", str(prog["ordinal"])]
            status, out, err = run([kerf, "scan", path, "--json"] + args)
            if codec not in ("mpeg2video", "mpeg1video", ""):
                if status != 3 or "MPEG-2 video only" not in err:
                    diffs.append("scan of %s video %04X: status %d: %s" % (codec, pid, status, err.strip()))
                TALLY["scans of other video refused"] += 1
                continue
            scan = json.loads(out) if out else {"headers": [], "videoPid": -1}
            if scan["videoPid"] != pid:
                continue   # the programme's first MPEG-2 video is another
            ours_k = [h["packet"] for h in scan["headers"]]
            theirs_k = key_packets(path, pid)
            TALLY["MPEG-2 video scans"] += 1
            TALLY["MPEG-2 video key pictures agreed"] += ours_k == theirs_k
            TALLY["key pictures"] += len(ours_k)
            if ours_k != theirs_k:
                diffs.append("PID %04X key pictures: kerf only %s, ffprobe only %s" % (
                    pid, sorted(set(ours_k) - set(theirs_k))[:8], sorted(set(theirs_k) - set(ours_k))[:8]))
            notes.append("PID %04X %d key pictures" % (pid, len(ours_k)))
            if ours_k:
                bmp = os.path.join(tmp, "frame.bmp")
                status, _, err = run([kerf, "frame", path, "--at", "p:%X" % ours_k[0], "-o", bmp] + args)
                if status == 3 and KNOWN.get((name, "frame")):
                    TALLY["frames refused (known)"] += 1
                    notes.append("frame refused (known: %s)" % KNOWN[(name, "frame")])
                elif status != 0 or not open(bmp, "rb").read(2) == b"BM":
                    diffs.append("frame of PID %04X: status %d: %s" % (pid, status, err.strip()))
                else:
                    TALLY["frames written"] += 1
    for why, pids in known_pids.items():
        pids = list(dict.fromkeys(pids))
        notes.append("PID %s%s (known: %s)" % (", ".join(pids[:3]), " and %d more" % (len(pids) - 3) if len(pids) > 3 else "", why))
    return diffs, list(dict.fromkeys(notes))


def main():
    folder = os.environ.get("KERF_REAL_STREAMS")
    if not folder or subprocess.run(["which", "ffprobe"], capture_output=True).returncode != 0:
        print("KERF_REAL_STREAMS not set (or no ffprobe): skipped")
        return SKIP
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name in sorted(f for f in os.listdir(folder) if f.endswith(".ts")):
            diffs, notes = check_stream(sys.argv[1], name, os.path.join(folder, name), tmp)
            failed += bool(diffs)
            TALLY["files"] += 1
            TALLY["files differing"] += bool(diffs)
            print("%-20s %s%s" % (name, "DIFFERS" if diffs else "same", "; " + ", ".join(notes) if notes else ""))
            for d in diffs:
                print("    " + d)
    print("; ".join("%s %d" % (k, v) for k, v in TALLY.items()))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
