"""Scoring of kalvero-read's per-frame JSON against the generator's truth.

Everything here works on plain dicts as they come from json.loads: the truth
file written by `kalvero-make-sample --truth` and the lines printed by
`kalvero-read --json`. Boxes are [x, y, w, h] in frame pixels.
"""

import json
import math

IOU_MATCH = 0.5


def number_text(value):
    """Normalises a number as the truth or the reader gives it to a string.

    The truth may list numbers as JSON integers, which lose leading zeros, so
    integers are padded back to eight digits.
    """
    if isinstance(value, bool):
        raise ValueError("not a number: %r" % (value,))
    if isinstance(value, int):
        return "%08d" % value
    if isinstance(value, str):
        return value
    raise ValueError("not a number: %r" % (value,))


def iou(a, b):
    """Intersection over union of two [x, y, w, h] boxes; 0 when either is empty."""
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    if aw <= 0 or ah <= 0 or bw <= 0 or bh <= 0:
        return 0.0
    iw = min(ax + aw, bx + bw) - max(ax, bx)
    ih = min(ay + ah, by + bh) - max(ay, by)
    if iw <= 0 or ih <= 0:
        return 0.0
    inter = iw * ih
    return inter / float(aw * ah + bw * bh - inter)


def reading_box(reading):
    return [reading["x"], reading["y"], reading["width"], reading["height"]]


def match_boxes(truth_boxes, found_boxes, threshold=IOU_MATCH):
    """One-to-one matching, greedy on the highest IoU first.

    Returns a list of (truth index, found index) pairs whose IoU is at least
    `threshold`. A found box matches at most one truth box and the other way
    round, so one wide box spanning two numbers cannot count for both.
    """
    pairs = []
    for ti, tb in enumerate(truth_boxes):
        for fi, fb in enumerate(found_boxes):
            v = iou(tb, fb)
            if v >= threshold:
                pairs.append((v, ti, fi))
    pairs.sort(key=lambda p: (-p[0], p[1], p[2]))
    used_t, used_f, out = set(), set(), []
    for _, ti, fi in pairs:
        if ti in used_t or fi in used_f:
            continue
        used_t.add(ti)
        used_f.add(fi)
        out.append((ti, fi))
    return sorted(out)


def parse_reader_output(text):
    """Parses kalvero-read --json output: one JSON object per non-empty line,
    the closing {"summary": ...} line left out.

    Raises ValueError naming the line when a line is not a frame object.
    """
    frames = []
    for n, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if not line:
            continue
        try:
            obj = json.loads(line)
        except ValueError as e:
            raise ValueError("line %d of the reader's output is not JSON: %s" % (n, e))
        if isinstance(obj, dict) and "summary" in obj and "frame" not in obj:
            continue                   # the run's closing summary line
        if not isinstance(obj, dict) or not isinstance(obj.get("frame"), int):
            raise ValueError("line %d of the reader's output has no frame number" % n)
        if not isinstance(obj.get("readings", []), list):
            raise ValueError("line %d of the reader's output: readings is not a list" % n)
        frames.append(obj)
    return frames


def validate_truth(truth):
    """Checks the parts of a truth file the scorer uses; raises ValueError."""
    if not isinstance(truth, dict):
        raise ValueError("truth is not a JSON object")
    for key in ("numbers", "frame_truth"):
        if not isinstance(truth.get(key), list):
            raise ValueError("truth has no list %r" % key)
    for ft in truth["frame_truth"]:
        if not isinstance(ft, dict) or not isinstance(ft.get("frame"), int):
            raise ValueError("truth frame entry without a frame number")
        for obj in ft.get("objects", []):
            box = obj.get("box")
            if not (isinstance(box, list) and len(box) == 4):
                raise ValueError("truth object in frame %d has no [x,y,w,h] box" % ft["frame"])


def score_item(truth, frames):
    """Scores one video or still: the reader's frames against its truth.

    Returns a dict of counts (so items can be summed) plus the frame times:
      numbers_total / numbers_confirmed: numbers shown / confirmed at least once
      confirmed: every distinct confirmed text, in order of first confirmation
      wrong: confirmed texts that are not among the numbers shown
      frames_total: frames of the item (the truth's count, or more if the
        reader printed more); a frame the reader did not print reads nothing
      visible_frames / top1_hits: frames with a fully visible number, and those
        whose best reading is one of the fully visible numbers
      false_frames: frames with a reading whose text is not a number present
        (visible at all) in that frame
      negative: the item shows no number (a negative); its frames and false
        frames are counted apart from those of items with a number
        (number_frames / number_false_frames, negative_frames /
        negative_false_frames)
      visible_objects / detected: fully visible numbers over all frames, and
        those matched one-to-one by a reading's box with IoU >= 0.5
      times_ms: time_ms of every printed frame
      engine_tags: readings per value of their "engine" field, to show a run
        that quietly read with another engine than the one asked for
    """
    validate_truth(truth)
    numbers = [number_text(n) for n in truth["numbers"]]
    by_frame = {}
    for ft in truth["frame_truth"]:
        by_frame[ft["frame"]] = ft.get("objects", [])
    out_by_frame = {}
    for f in frames:
        out_by_frame.setdefault(f["frame"], f)
    n_truth = max([truth.get("frames") or 0] + list(by_frame))
    n_frames = max([n_truth] + list(out_by_frame))

    confirmed = []
    for f in frames:
        c = f.get("confirmed")
        if c is not None:
            c = number_text(c)
            if c not in confirmed:
                confirmed.append(c)

    s = {
        "negative": not numbers,
        "numbers_total": len(set(numbers)),
        "numbers_confirmed": len(set(numbers) & set(confirmed)),
        "confirmed": confirmed,
        "wrong": [c for c in confirmed if c not in numbers],
        "frames_total": n_frames,
        "frames_read": len(out_by_frame),
        "visible_frames": 0,
        "top1_hits": 0,
        "false_frames": 0,
        "visible_objects": 0,
        "detected": 0,
        "times_ms": [float(f["time_ms"]) for f in frames
                     if isinstance(f.get("time_ms"), (int, float))],
        "engine_tags": {},
    }
    for f in out_by_frame.values():
        for r in f.get("readings", []):
            tag = str(r.get("engine", "none"))
            s["engine_tags"][tag] = s["engine_tags"].get(tag, 0) + 1
    for frame_no in range(1, n_frames + 1):
        objects = by_frame.get(frame_no, [])
        readings = out_by_frame.get(frame_no, {}).get("readings", [])
        present = set()
        visible = []
        for o in objects:
            if o.get("kind") != "number":
                continue
            present.add(number_text(o["text"]))
            if o.get("fully_visible"):
                visible.append(o)
        texts = [number_text(r.get("text", "")) for r in readings]
        if any(t not in present for t in texts):
            s["false_frames"] += 1
        if visible:
            s["visible_frames"] += 1
            visible_texts = set(number_text(o["text"]) for o in visible)
            if texts and texts[0] in visible_texts:
                s["top1_hits"] += 1
            s["visible_objects"] += len(visible)
            s["detected"] += len(match_boxes([o["box"] for o in visible],
                                             [reading_box(r) for r in readings]))
    side = "negative" if s["negative"] else "number"
    other = "number" if s["negative"] else "negative"
    s[side + "_frames"], s[side + "_false_frames"] = s["frames_total"], s["false_frames"]
    s[other + "_frames"], s[other + "_false_frames"] = 0, 0
    return s


COUNT_KEYS = ("numbers_total", "numbers_confirmed", "frames_total", "frames_read",
              "visible_frames", "top1_hits", "false_frames", "visible_objects",
              "detected", "number_frames", "number_false_frames", "negative_frames",
              "negative_false_frames")


def percentile(values, p):
    """Nearest-rank percentile (p in 0..100); None for no values.

    The median of an even count is the mean of the two middle values.
    """
    if not values:
        return None
    v = sorted(values)
    if p == 50:
        mid = len(v) // 2
        return v[mid] if len(v) % 2 else (v[mid - 1] + v[mid]) / 2.0
    rank = max(1, int(math.ceil(p / 100.0 * len(v))))
    return v[min(rank, len(v)) - 1]


def aggregate(item_scores):
    """Sums item scores; adds items, wrong_items and the frame time percentiles."""
    total = dict((k, 0) for k in COUNT_KEYS)
    total["items"] = 0
    total["wrong_items"] = 0
    times = []
    total["engine_tags"] = {}
    for s in item_scores:
        for tag, n in s["engine_tags"].items():
            total["engine_tags"][tag] = total["engine_tags"].get(tag, 0) + n
        for k in COUNT_KEYS:
            total[k] += s[k]
        total["items"] += 1
        if s["wrong"]:
            total["wrong_items"] += 1
        times.extend(s["times_ms"])
    total["median_ms"] = percentile(times, 50)
    total["p90_ms"] = percentile(times, 90)
    return total


def ratio(num, den):
    """Share as a percentage, or None when there is nothing to divide by."""
    return None if den == 0 else 100.0 * num / den


def fmt_share(num, den):
    r = ratio(num, den)
    return "%d of %d (n/a)" % (num, den) if r is None else "%d of %d (%.1f%%)" % (num, den, r)


def fmt_pct(num, den):
    r = ratio(num, den)
    return "n/a" if r is None else "%.1f%%" % r


def fmt_ms(v):
    return "n/a" if v is None else "%.1f" % v


TABLE_COLUMNS = (
    ("numbers confirmed", lambda t: fmt_share(t["numbers_confirmed"], t["numbers_total"])),
    ("wrong conf.", lambda t: "%d of %d" % (t["wrong_items"], t["items"])),
    ("top-1 read", lambda t: fmt_pct(t["top1_hits"], t["visible_frames"])),
    ("false 8-digit frames", lambda t: fmt_share(t["number_false_frames"],
                                                 t["number_frames"])),
    ("on negatives", lambda t: fmt_share(t["negative_false_frames"], t["negative_frames"])),
    ("det. recall", lambda t: fmt_pct(t["detected"], t["visible_objects"])),
    ("median ms", lambda t: fmt_ms(t["median_ms"])),
    ("p90 ms", lambda t: fmt_ms(t["p90_ms"])),
)


def format_table(rows, first_header="engine", columns=TABLE_COLUMNS):
    """Formats (label, aggregate) rows as an aligned plain-text table."""
    header = [first_header] + [c[0] for c in columns]
    body = [[label] + [c[1](t) for c in columns] for label, t in rows]
    widths = [max(len(r[i]) for r in [header] + body) for i in range(len(header))]
    lines = []
    for r in [header] + body:
        lines.append("  ".join(cell.ljust(widths[i]) for i, cell in enumerate(r)).rstrip())
    lines.insert(1, "  ".join("-" * w for w in widths))
    return "\n".join(lines)


# The counts of an aggregate that the JSON file gives as they are.
PLAIN_FIGURES = ("items", "numbers_total", "numbers_confirmed", "visible_frames", "top1_hits",
                 "number_frames", "number_false_frames", "negative_frames", "negative_false_frames",
                 "visible_objects", "detected", "frames_total", "frames_read", "median_ms", "p90_ms")

# The shares it gives in percent: name, the count, the total it is a share of.
SHARE_FIGURES = (("numbers_confirmed_pct", "numbers_confirmed", "numbers_total"),
                 ("top1_pct", "top1_hits", "visible_frames"),
                 ("false_frames_pct", "number_false_frames", "number_frames"),
                 ("negative_false_frames_pct", "negative_false_frames", "negative_frames"),
                 ("detection_recall_pct", "detected", "visible_objects"))


def figures(t):
    """The figures of an aggregate as plain numbers (shares in percent, None
    where there is nothing to divide by), for the JSON file."""
    out = {name: t[name] for name in PLAIN_FIGURES}
    out.update({name: ratio(t[count], t[total]) for name, count, total in SHARE_FIGURES})
    out["items_wrong_confirmation"] = t["wrong_items"]
    return out
