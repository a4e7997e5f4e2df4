"""Tesseract 5 as a peer row: reads the same items, prints kalvero-read's JSON.

Every frame goes to `tesseract FRAME stdout --psm 11` with digits only
(tessedit_char_whitelist=0123456789) on the whole frame, one process per
frame limited to one thread; time_ms is that process's wall time. Words
of one text line are joined; a line or word of exactly eight digits is a
reading (best first by confidence). Numbers confirm by the learned reader's
rule, as for every peer (confirmation.py).

Frames of a Motion-JPEG AVI are taken from its RIFF chunks as JPEG files;
other videos (H.264, MPEG-4) are decoded to PNG frames by ffmpeg.
"""

import collections
import glob
import os
import shutil
import struct
import subprocess
import tempfile
import time

import confirmation


def available():
    return shutil.which("tesseract") is not None


def mjpeg_frames(path):
    """The JPEG data of every video frame of an AVI, in order.

    Walks RIFF/LIST chunks (also OpenDML's AVIX parts) and takes the
    compressed-video chunks ('##dc' / '##db'). Raises ValueError when the
    file is not a RIFF AVI.
    """
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"AVI ":
        raise ValueError("%s is not an AVI file" % path)
    frames = []

    def walk(start, end):
        pos = start
        while pos + 8 <= end:
            cid = data[pos:pos + 4]
            size = struct.unpack("<I", data[pos + 4:pos + 8])[0]
            body = pos + 8
            if body + size > len(data):
                size = len(data) - body        # cut-off file: take what is there
            if cid in (b"RIFF", b"LIST"):
                walk(body + 4, body + size)
            elif cid[2:4] in (b"dc", b"db") and size > 0:
                frames.append(data[body:body + size])
            pos = body + size + (size & 1)

    walk(0, len(data))
    return frames


def parse_tsv(tsv):
    """Eight-digit readings from tesseract's TSV, best confidence first."""
    lines = collections.OrderedDict()
    for row in tsv.splitlines()[1:]:
        cols = row.split("\t")
        if len(cols) < 12 or cols[0] != "5":
            continue
        text = "".join(ch for ch in cols[11] if ch.isdigit())
        if not text:
            continue
        try:
            left, top, w, h = (int(v) for v in cols[6:10])
            conf = float(cols[10])
        except ValueError:
            continue
        key = tuple(cols[1:5])
        lines.setdefault(key, []).append((text, [left, top, w, h], conf))
    readings = []
    for words in lines.values():
        candidates = [w for w in words if len(w[0]) == 8]
        joined = "".join(w[0] for w in words)
        if len(joined) == 8 and len(words) > 1:
            x0 = min(w[1][0] for w in words)
            y0 = min(w[1][1] for w in words)
            x1 = max(w[1][0] + w[1][2] for w in words)
            y1 = max(w[1][1] + w[1][3] for w in words)
            candidates.append((joined, [x0, y0, x1 - x0, y1 - y0],
                               min(w[2] for w in words)))
        for text, box, conf in candidates:
            readings.append({"text": text, "engine": "tesseract", "x": box[0], "y": box[1],
                             "width": box[2], "height": box[3],
                             "score": round(conf / 100.0, 3)})
    readings.sort(key=lambda r: -r["score"])
    return readings


def ffmpeg_frames(path, folder):
    """Decodes a video into PNG files in folder; returns their contents in
    order. Raises ValueError when ffmpeg cannot decode it."""
    r = subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", path,
                        os.path.join(folder, "%06d.png")],
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if r.returncode != 0:
        raise ValueError("ffmpeg cannot decode %s: %s" % (
            path, r.stderr.decode("utf-8", "replace").strip()[-200:]))
    frames = []
    for name in sorted(glob.glob(os.path.join(folder, "*.png"))):
        with open(name, "rb") as f:
            frames.append(f.read())
        os.unlink(name)
    return frames


def read_item(path, still):
    """Reads a still (any image tesseract opens) or a video; returns the
    JSON lines kalvero-read would print."""
    tmp = tempfile.mkdtemp(prefix="kalvero-tess-")
    try:
        return _read_frames(path, still, tmp)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def _read_frames(path, still, tmp):
    ext = os.path.splitext(path)[1].lower()
    if still:
        with open(path, "rb") as f:
            images = [f.read()]
        suffix = ext
    elif ext == ".avi":
        images = mjpeg_frames(path)
        suffix = ".jpg"
    else:
        images = ffmpeg_frames(path, tmp)
        suffix = ".png"
    env = dict(os.environ, OMP_THREAD_LIMIT="1")
    rule = confirmation.ConsecutiveConfirmation(still=still)
    out = []
    for n, img in enumerate(images, 1):
        frame = os.path.join(tmp, "frame" + suffix)
        with open(frame, "wb") as f:
            f.write(img)
        t0 = time.perf_counter()
        r = subprocess.run(["tesseract", frame, "stdout", "--psm", "11",
                            "-c", "tessedit_char_whitelist=0123456789", "tsv"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        ms = (time.perf_counter() - t0) * 1000.0
        readings = parse_tsv(r.stdout.decode("utf-8", "replace")) if r.returncode == 0 else []
        confirmed = rule.add([x["text"] for x in readings])
        out.append({"frame": n, "time_ms": round(ms, 2), "readings": readings,
                    "confirmed": confirmed})
    return out
