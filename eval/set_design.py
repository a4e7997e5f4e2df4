"""The evaluation set: which videos and stills kalvero-make-sample draws.

The set is fixed by SET_SEED; changing anything here changes what is
measured, so results are comparable only between runs of the same design.
It is never tuned on: it measures.

Clean groups (the first 46 items, unchanged since the set was first drawn):
  * 28 videos, 640x360, 40 or 48 frames, --varied, scenes pass /
    enter-leave / two-carriages in turn, polarity light / dark in turn,
    digit heights 20..48: 8 in training fonts, 8 in held-out fonts, 6 in the
    built-in glyphs, 6 in the stencil font;
  * 10 stills (png, read with --threshold 1): 3 training, 3 held-out,
    2 glyph, 2 stencil;
  * 8 negatives: videos of each negative kind (seven-digits,
    six-digits-words, blank carriage) plus a static scene with a blank
    carriage (no number at all), and a still of each negative kind.
Hard groups (after them): one group per camera or paint condition, each with
videos of 16-40 frames (4K: 12) in a training font, a held-out font and a
third in turn, and two stills (a held-out and a training font) where a still
can show the condition; see HARD_GROUPS. Then a video and a still of each
further negative kind (NEW_NEGATIVE_KINDS).
Numbers: seven random digits and their check digit; every third number
starts with 1 and every fifth ends with 1 (its check digit is 1).
"""

import random

SET_SEED = 20240611
VIDEO_SIZE = (640, 360)
# kalvero-read's --digit-height range, used when its --help does not say.
READER_DIGIT_HEIGHT_RANGE = (16, 99)
READER_MIN_ZOOM = 0.3

# Fonts, only from fonts-dejavu-core, fonts-liberation(2), fonts-croscore
# (trained on) and fonts-lato, fonts-cantarell, fonts-league-spartan,
# fonts-hack (held out of training).
TRAINING_FONTS = {
    "dejavu-sans-bold": "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "liberation-sans-narrow-bold": "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf",
    "liberation-mono-bold": "/usr/share/fonts/truetype/liberation2/LiberationMono-Bold.ttf",
    "arimo-bold": "/usr/share/fonts/truetype/croscore/Arimo-Bold.ttf",
}
HELD_OUT_FONTS = {
    "lato-bold": "/usr/share/fonts/truetype/lato/Lato-Bold.ttf",
    "lato-black": "/usr/share/fonts/truetype/lato/Lato-Black.ttf",
    "cantarell-bold": "/usr/share/fonts/opentype/cantarell/Cantarell-Bold.otf",
    "league-spartan-bold": "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf",
    "hack-bold": "/usr/share/fonts/truetype/hack/Hack-Bold.ttf",
}
CLEAN_GROUPS = ("training", "held-out", "glyph", "stencil")
SCENES = ("pass", "enter-leave", "two-carriages")
POLARITIES = ("light", "dark")
NEGATIVE_KINDS = ("seven-digits", "six-digits-words", "blank")
NEW_NEGATIVE_KINDS = ("phone-number", "date", "bad-check-digit", "nine-digits", "ten-digits",
                      "seven-plus-one", "ladder", "grille", "rivets")
# The generator's own drawn fonts beside glyph and stencil.
DRAWN_FONTS = ("glyph", "stencil", "hand", "block-stencil")

# The hard groups, in report order. Each names what differs from a plain
# 640x360 MJPEG video with --varied: "size", "heights" (the digit heights the
# group's items take in turn), "conditions" (--condition), "ext" and
# "codec"/"bitrate" (kbit/s, in turn) for the file, "jpeg" (qualities in
# turn), "font" (every item in that font), "frames" (video lengths in turn),
# "scenes" (in turn; pass and enter-leave by default: digits nearly as wide as
# the frame are whole in view on too few frames of a carriage that enters and
# leaves, so the large-digits group passes),
# "stills" (False where a still cannot show the condition) and "videos".
_PLAIN_HEIGHTS = (22, 26, 30, 34, 38, 42)
HARD_GROUPS = (
    ("small-digits", {"heights": (12, 14, 16, 18, 13, 15, 17)}),
    ("large-digits", {"size": (1920, 1080), "heights": (110, 150, 190, 250, 130, 220),
                      "frames": (16, 20), "scenes": ("pass",)}),
    ("4k", {"size": (3840, 2160), "heights": (48, 64, 80, 96), "frames": (12,)}),
    ("1080p-h264", {"size": (1920, 1080), "heights": (28, 40, 52, 64), "ext": ".mp4",
                    "codec": "h264", "frames": (24, 16)}),
    ("perspective", {"conditions": ("perspective",)}),
    ("night", {"conditions": ("night",)}),
    ("infrared", {"conditions": ("infrared",)}),
    ("interlaced", {"conditions": ("interlaced",)}),
    ("rolling-shutter", {"conditions": ("rolling-shutter",)}),
    ("motion-blur", {"conditions": ("motion-blur",)}),
    ("h264-low-bitrate", {"ext": ".mp4", "codec": "h264", "bitrate": (100, 160, 250, 120),
                          "stills": False, "videos": 4}),
    ("mpeg4-low-bitrate", {"ext": ".mp4", "codec": "mpeg4", "bitrate": (200, 300, 450, 250),
                           "stills": False, "videos": 4}),
    ("jpeg-15-30", {"jpeg": (15, 20, 25, 30, 18)}),
    ("rain", {"conditions": ("rain",)}),
    ("snow", {"conditions": ("snow",)}),
    ("dirt", {"conditions": ("dirt",)}),
    ("graffiti", {"conditions": ("graffiti",)}),
    ("faded", {"conditions": ("faded",)}),
    ("fast", {"conditions": ("fast",), "stills": False, "videos": 4, "frames": (24,)}),
    ("pole", {"conditions": ("pole",)}),
    ("painted-twice", {"conditions": ("painted-twice",)}),
    ("group-gap", {"conditions": ("group-gap",)}),
    ("hand-painted", {"font": "hand"}),
    ("block-stencil", {"font": "block-stencil"}),
)
HARD_GROUP_NAMES = tuple(name for name, _ in HARD_GROUPS)
HARD_FRAMES = (24, 32, 20)
HARD_SCENES = ("pass", "enter-leave")
PERSPECTIVE_YAWS = (25, 30, 35, 40, 45)
PERSPECTIVE_ROLLS = (-8, 4, 0, -4, 8)


def font_group(font):
    """training, held-out, or the drawn font's own name."""
    if font in DRAWN_FONTS:
        return font
    if font in TRAINING_FONTS:
        return "training"
    if font in HELD_OUT_FONTS:
        return "held-out"
    raise ValueError("unknown font %r" % font)


def font_argument(font):
    """The value of the generator's --font for a font key."""
    if font in DRAWN_FONTS:
        return font
    if font in TRAINING_FONTS:
        return TRAINING_FONTS[font]
    return HELD_OUT_FONTS[font]


def check_digit(first_seven):
    """The carriage number check digit: weights 2,1,2,1,2,1,2, digit sums."""
    total = 0
    for i, ch in enumerate(first_seven):
        p = int(ch) * (2 if i % 2 == 0 else 1)
        total += p // 10 + p % 10
    return str((10 - total % 10) % 10)


def make_number(rng, start_with_1=False, end_with_1=False):
    while True:
        first = "1" if start_with_1 else str(rng.randint(2, 9))
        body = first + "".join(str(rng.randint(0, 9)) for _ in range(6))
        number = body + check_digit(body)
        if not end_with_1 or number[-1] == "1":
            return number


def _fonts_cycle(group):
    if group == "training":
        return sorted(TRAINING_FONTS)
    if group == "held-out":
        return sorted(HELD_OUT_FONTS)
    return [group]


def _item(i, kind, font, height, frames, scene, polarity, seed, number,
          negative="none", group=None, size=VIDEO_SIZE, name=None, part="added"):
    w, h = size
    return {
        "name": name,
        "part": part,
        "kind": kind,
        "font": font,
        "font_group": font_group(font),
        "group": group,
        "clean": group in CLEAN_GROUPS,
        "number": number,
        "frames": frames,
        "width": w,
        "height": h,
        "digit_height": height,
        "polarity": polarity,
        "scene": scene,
        "negative": negative,
        "seed": seed % 100000 + i,
        "ext": ".png" if kind == "still" else ".avi",
        "conditions": [],
        "codec": None,
        "bitrate": None,
        "jpeg_quality": None,
        "yaw": None,
        "roll": None,
    }


def build_set(seed=SET_SEED):
    """Returns the full list of items (dicts), always the same for one seed."""
    rng = random.Random(seed)
    items = []
    counter = [0]

    def next_number(i):
        return make_number(rng, start_with_1=(i % 3 == 0), end_with_1=(i % 5 == 0))

    def add(kind, font, height, frames, scene, polarity, negative="none"):
        i = counter[0]
        counter[0] += 1
        number = next_number(i) if negative == "none" else None
        name = "%02d-%s-%s-%s" % (i + 1, kind, font,
                                  scene if negative == "none" else negative + "-" + scene)
        group = font_group(font) if negative == "none" else "negatives"
        items.append(_item(i, kind, font, height, frames, scene, polarity, seed, number,
                           negative, group, name=name, part="first"))

    # The clean groups and the first negatives: drawn exactly as they always were.
    video_plan = (("training", 8), ("held-out", 8), ("glyph", 6), ("stencil", 6))
    n = 0
    for group, count in video_plan:
        fonts = _fonts_cycle(group)
        for k in range(count):
            height = 20 + (n * 7) % 29          # 20..48, spread over the set
            frames = 40 if n % 2 == 0 else 48
            add("video", fonts[k % len(fonts)], height, frames,
                scene=SCENES[n % 3], polarity=POLARITIES[(n // 3) % 2])
            n += 1
    still_plan = (("training", 3), ("held-out", 3), ("glyph", 2), ("stencil", 2))
    for group, count in still_plan:
        fonts = _fonts_cycle(group)
        for k in range(count):
            height = 22 + (n * 11) % 27
            add("still", fonts[(k + 1) % len(fonts)], height, 1,
                scene="pass", polarity=POLARITIES[n % 2])
            n += 1
    negatives = (
        ("video", "seven-digits", "pass", "arimo-bold"),
        ("video", "six-digits-words", "pass", "lato-bold"),
        ("video", "blank", "pass", "glyph"),
        ("video", "blank", "static", "stencil"),
        ("still", "seven-digits", "pass", "glyph"),
        ("still", "six-digits-words", "pass", "dejavu-sans-bold"),
        ("still", "blank", "pass", "hack-bold"),
        ("video", "seven-digits", "enter-leave", "cantarell-bold"),
    )
    for kind, negative, scene, font in negatives:
        add(kind, font, 24 + (n * 5) % 20, 40 if kind == "video" else 1,
            negative=negative, scene=scene, polarity=POLARITIES[n % 2])
        n += 1

    # The hard groups: fonts taken in turn from the training and held-out
    # lists over the whole part, so the groups between them use every font.
    training, held_out = sorted(TRAINING_FONTS), sorted(HELD_OUT_FONTS)
    third = ("glyph", "training", "stencil", "held-out")
    turn = [0]

    def pick(kind_of_font):
        t = turn[0]
        turn[0] += 1
        if kind_of_font == "training":
            return training[t % len(training)]
        if kind_of_font == "held-out":
            return held_out[t % len(held_out)]
        return kind_of_font

    for g, (group, spec) in enumerate(HARD_GROUPS):
        plan = []
        n_videos = spec.get("videos", 3)
        video_fonts = ["training", "held-out"] + [third[(g + k) % len(third)]
                                                  for k in range(n_videos - 2)]
        for k in range(n_videos):
            plan.append(("video", video_fonts[k]))
        if spec.get("stills", True):
            plan += [("still", "held-out"), ("still", "training")]
        for k, (kind, font_kind) in enumerate(plan):
            i = counter[0]
            counter[0] += 1
            font = spec.get("font") or pick(font_kind)
            heights = spec.get("heights", _PLAIN_HEIGHTS)
            height = heights[(g + k) % len(heights)]
            frames = 1
            if kind == "video":
                lengths = spec.get("frames", HARD_FRAMES)
                frames = lengths[(g + k) % len(lengths)]
            scenes = spec.get("scenes", HARD_SCENES)
            scene = "pass" if kind == "still" else scenes[(g + k) % len(scenes)]
            it = _item(i, kind, font, height, frames, scene, POLARITIES[(g + k) % 2], seed,
                       next_number(i), group=group, size=spec.get("size", VIDEO_SIZE),
                       name="%02d-%s-%s-%s" % (i + 1, group, kind, font))
            it["conditions"] = list(spec.get("conditions", ()))
            if kind == "video":
                it["ext"] = spec.get("ext", ".avi")
                it["codec"] = spec.get("codec")
                if "bitrate" in spec:
                    it["bitrate"] = spec["bitrate"][k % len(spec["bitrate"])]
            if "jpeg" in spec:
                it["jpeg_quality"] = spec["jpeg"][k % len(spec["jpeg"])]
                if kind == "still":
                    it["ext"] = ".jpg"
            if "perspective" in it["conditions"]:
                it["yaw"] = PERSPECTIVE_YAWS[k % len(PERSPECTIVE_YAWS)]
                it["roll"] = PERSPECTIVE_ROLLS[k % len(PERSPECTIVE_ROLLS)]
            items.append(it)

    # The further negative kinds: a video and a still of each.
    for k, negative in enumerate(NEW_NEGATIVE_KINDS):
        for kind in ("video", "still"):
            i = counter[0]
            counter[0] += 1
            font = pick("held-out" if (k + (kind == "still")) % 2 else "training")
            scene = "pass"
            items.append(_item(i, kind, font, 24 + (i * 5) % 20, 20 if kind == "video" else 1,
                               scene, POLARITIES[i % 2], seed, None, negative=negative,
                               group="negatives",
                               name="%02d-%s-%s-%s-%s" % (i + 1, kind, font, negative, scene)))
    return items


# The tuning set's seed: another draw of the same design, for choosing
# thresholds and trying changes without looking at the evaluation.
TUNING_SEED = 7310529


def tuning_set(seed=TUNING_SEED):
    """The same design drawn from another seed, with every held-out font
    replaced by a training font (in turn), so that nothing is tuned on the
    evaluation's items nor on the fonts held out of training. Items keep
    their groups (the clean "held-out" group then holds training fonts);
    their names say the font they are drawn in."""
    items = build_set(seed)
    training = sorted(TRAINING_FONTS)
    turn = 0
    for it in items:
        if it["font"] in HELD_OUT_FONTS:
            old = it["font"]
            it["font"] = training[turn % len(training)]
            it["font_group"] = "training"
            it["name"] = it["name"].replace(old, it["font"])
            turn += 1
    return items


def shares_draws(items, others):
    """True when an item of `items` is drawn from the same generator seed as
    one of `others`, or shows the same number: such a set would try changes
    on what `others` measure."""
    seeds = set(i["seed"] for i in others)
    numbers = set(i["number"] for i in others if i["number"])
    return any(i["seed"] in seeds or (i["number"] and i["number"] in numbers) for i in items)


def quick_set(items):
    """A few items for a fast look: a video of each clean group, a still, two
    negatives, and a perspective video, a small-digits still and a phone
    number from the hard part."""
    picked, seen = [], set()
    for it in items:
        if it["kind"] == "video" and it["clean"] and it["group"] not in seen:
            seen.add(it["group"])
            picked.append(it)
    picked.append(next(it for it in items if it["kind"] == "still" and it["clean"]))
    picked.append(next(it for it in items if it["negative"] == "seven-digits"))
    picked.append(next(it for it in items if it["negative"] == "blank"))
    picked.append(next(it for it in items if it["group"] == "perspective"
                       and it["kind"] == "video"))
    picked.append(next(it for it in items if it["group"] == "small-digits"
                       and it["kind"] == "still"))
    picked.append(next(it for it in items if it["negative"] == "phone-number"
                       and it["kind"] == "still"))
    return picked


def file_name(item):
    return item["name"] + item["ext"]


def generator_args(item, out_path, truth_path):
    """kalvero-make-sample arguments (after the program) for one item."""
    args = [out_path,
            "--size", "%dx%d" % (item["width"], item["height"]),
            "--digit-height", str(item["digit_height"]),
            "--polarity", item["polarity"],
            "--seed", str(item["seed"]),
            "--font", font_argument(item["font"]),
            "--varied",
            "--scene", item["scene"],
            "--negative", item["negative"],
            "--truth", truth_path]
    if item["kind"] == "video":
        args[1:1] = ["--frames", str(item["frames"])]
    if item["number"] is not None:
        args[1:1] = ["--number", item["number"]]
    if item["conditions"]:
        args += ["--condition", ",".join(item["conditions"])]
    if item["yaw"] is not None:
        args += ["--yaw", str(item["yaw"]), "--roll", str(item["roll"])]
    if item["codec"]:
        args += ["--codec", item["codec"]]
    if item["bitrate"]:
        args += ["--bitrate", str(item["bitrate"])]
    if item["jpeg_quality"]:
        args += ["--jpeg-quality", str(item["jpeg_quality"])]
    return args


MODES = ("given", "no-options")


def reader_args(item, path, engine, engine_option=True, mode="given",
                height_range=READER_DIGIT_HEIGHT_RANGE, threshold_option=True):
    """kalvero-read arguments for one item.

    "no-options": the file and --json only (and --engine when engines are
    compared). "given": the true digit height and the whole frame as zone,
    and --threshold 1 for stills so one frame can confirm. A digit height
    above the reader's range is brought into it with --zoom (the zone then
    being the whole scaled frame, the default); one below it is given as the
    range's lowest.
    """
    args = [path, "--json"]
    if engine_option:
        args += ["--engine", engine]
    if mode == "no-options":
        return args
    if mode != "given":
        raise ValueError("unknown reader mode %r" % mode)
    lo, hi = height_range
    height = item["digit_height"]
    if height > hi:
        zoom = max(READER_MIN_ZOOM, int(100.0 * hi / height) / 100.0)
        args += ["--zoom", "%.2f" % zoom,
                 "--digit-height", str(max(lo, min(hi, int(height * zoom))))]
    else:
        args += ["--digit-height", str(max(lo, height)),
                 "--zone", "0,0,%d,%d" % (item["width"], item["height"])]
    if item["kind"] == "still" and threshold_option:
        args += ["--threshold", "1"]
    return args
