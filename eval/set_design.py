"""The evaluation set: which videos and stills kalvero-make-sample draws.

The set is fixed by SET_SEED; changing anything here changes what is
measured, so results are comparable only between runs of the same design.
It is never tuned on: it measures.

Full set (46 items):
  * 28 videos, 640x360, 40 or 48 frames, --varied, scenes pass /
    enter-leave / two-carriages in turn, polarity light / dark in turn,
    digit heights 20..48: 8 in training fonts, 8 in held-out fonts, 6 in the
    built-in glyphs, 6 in the stencil font;
  * 10 stills (png, read with --threshold 1): 3 training, 3 held-out,
    2 glyph, 2 stencil;
  * 8 negatives: videos of each negative kind (seven-digits,
    six-digits-words, blank carriage) plus a static scene with a blank
    carriage (no number at all), and a still of each negative kind.
Numbers: seven random digits and their check digit; every third number
starts with 1 and every fifth ends with 1 (its check digit is 1).
"""

import random

SET_SEED = 20240611
VIDEO_SIZE = (640, 360)
READER_DIGIT_HEIGHT_RANGE = (16, 99)

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
GROUPS = ("training", "held-out", "glyph", "stencil")
SCENES = ("pass", "enter-leave", "two-carriages")
POLARITIES = ("light", "dark")
NEGATIVE_KINDS = ("seven-digits", "six-digits-words", "blank")


def font_group(font):
    if font in ("glyph", "stencil"):
        return font
    if font in TRAINING_FONTS:
        return "training"
    if font in HELD_OUT_FONTS:
        return "held-out"
    raise ValueError("unknown font %r" % font)


def font_argument(font):
    """The value of the generator's --font for a font key."""
    if font in ("glyph", "stencil"):
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


def build_set(seed=SET_SEED):
    """Returns the full list of items (dicts), always the same for one seed."""
    rng = random.Random(seed)
    items = []
    counter = [0]

    def add(kind, font, height, frames, scene, polarity, negative="none"):
        i = counter[0]
        counter[0] += 1
        w, h = VIDEO_SIZE
        number = None
        if negative == "none":
            number = make_number(rng, start_with_1=(i % 3 == 0), end_with_1=(i % 5 == 0))
        item = {
            "name": "%02d-%s-%s-%s" % (i + 1, kind, font,
                                       scene if negative == "none" else negative + "-" + scene),
            "kind": kind,
            "font": font,
            "group": font_group(font),
            "number": number,
            "frames": frames,
            "width": w,
            "height": h,
            "digit_height": height,
            "polarity": polarity,
            "scene": scene,
            "negative": negative,
            "seed": seed % 100000 + i,
        }
        items.append(item)

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
    return items


def quick_set(items):
    """A few items for a fast look: a video of each font group, a still and
    two negatives."""
    picked, seen = [], set()
    for it in items:
        if it["kind"] == "video" and it["negative"] == "none" and it["group"] not in seen:
            seen.add(it["group"])
            picked.append(it)
    picked.append(next(it for it in items if it["kind"] == "still" and it["negative"] == "none"))
    picked.append(next(it for it in items if it["negative"] == "seven-digits"))
    picked.append(next(it for it in items if it["negative"] == "blank"))
    return picked


def file_name(item):
    return item["name"] + (".png" if item["kind"] == "still" else ".avi")


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
    return args


def reader_args(item, path, engine, engine_option=True):
    """kalvero-read arguments for one item: the true digit height, the whole
    frame as zone, and --threshold 1 for stills so one frame can confirm."""
    args = [path, "--json"]
    if engine_option:
        args += ["--engine", engine]
    args += ["--digit-height", str(item["digit_height"]),
             "--zone", "0,0,%d,%d" % (item["width"], item["height"])]
    if item["kind"] == "still":
        args += ["--threshold", "1"]
    return args
