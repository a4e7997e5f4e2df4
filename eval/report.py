"""The evaluation's report: the text tables, the Markdown tables for the
README and the JSON of every figure, from the item scores of each run.

A run is (engine, mode): a reader engine with mode "given" or "no-options",
or a peer with mode "peer". Items with a number are split into the clean
groups (the training fonts, the held-out fonts, the glyph and the stencil
font, drawn plainly) and the hard groups (one per camera or paint
condition); negatives are scored apart.
"""

import scoring
import set_design

MODE_LABELS = {"given": "given", "no-options": "no options", "peer": "peer, no options"}
GROUP_LABELS = {"training": "training fonts", "held-out": "held-out fonts",
                "glyph": "glyph font", "stencil": "stencil font"}
# Columns for item sets without negatives, and for negatives alone.
NUMBER_COLUMNS = tuple(c for c in scoring.TABLE_COLUMNS if c[0] != "on negatives")
NEGATIVE_COLUMNS = tuple(c for c in scoring.TABLE_COLUMNS
                         if c[0] in ("wrong conf.", "on negatives", "median ms", "p90 ms"))


def run_label(key):
    engine, mode = key
    return "%s, %s" % (engine, MODE_LABELS.get(mode, mode))


def groups_in(items):
    """The groups of the items with a number, clean ones first, in design order."""
    present = set(it["group"] for it in items if it["negative"] == "none")
    order = list(set_design.CLEAN_GROUPS) + list(set_design.HARD_GROUP_NAMES)
    return [g for g in order if g in present] + sorted(present - set(order))


def item_sets(items):
    """Named item sets the figures are given for, in report order:
    all, clean, hard, negatives, then each group."""
    pos = [it for it in items if it["negative"] == "none"]
    sets = [("all", items),
            ("clean", [it for it in pos if it["clean"]]),
            ("hard", [it for it in pos if not it["clean"]]),
            ("negatives", [it for it in items if it["negative"] != "none"])]
    for g in groups_in(items):
        sets.append(("group:" + g, [it for it in pos if it["group"] == g]))
    return sets


def aggregate(scores, key, its):
    return scoring.aggregate([scores[key][it["name"]] for it in its])


def group_label(g):
    kind = "clean" if g in set_design.CLEAN_GROUPS else "hard"
    return "%s [%s]" % (GROUP_LABELS.get(g, g), kind)


def _plain_table(header, body):
    widths = [max(len(r[i]) for r in [header] + body) for i in range(len(header))]
    lines = ["  ".join(c.ljust(widths[i]) for i, c in enumerate(r)).rstrip()
             for r in [header] + body]
    lines.insert(1, "  ".join("-" * w for w in widths))
    return "\n".join(lines)


def text_report(keys, items, scores, problems, unavailable, not_drawn):
    """The text printed at the end."""
    out = []
    pos = [it for it in items if it["negative"] == "none"]
    negs = [it for it in items if it["negative"] != "none"]
    out.append("All %d items (videos: %d, stills: %d; negatives among them: %d). "
               "Runs: given = true digit height and whole frame as zone; no options = "
               "`kalvero-read FILE --json` (and --engine); peers read the whole frame." % (
                   len(items), sum(it["kind"] == "video" for it in items),
                   sum(it["kind"] == "still" for it in items), len(negs)))
    out.append(scoring.format_table([(run_label(k), aggregate(scores, k, items)) for k in keys],
                                    "run"))
    rows = []
    for name, label in (("clean", "clean groups"), ("hard", "hard groups")):
        its = [it for it in pos if it["clean"] == (name == "clean")]
        if its:
            n_groups = len(set(it["group"] for it in its))
            for k in keys:
                rows.append(("%s (%d groups, %d items) | %s" % (label, n_groups, len(its),
                                                                run_label(k)),
                             aggregate(scores, k, its)))
    if rows:
        out.append("")
        out.append("Clean and hard groups (items with a number)")
        out.append(scoring.format_table(rows, "items | run", NUMBER_COLUMNS))
    if negs:
        out.append("")
        out.append("Negatives (%d items)" % len(negs))
        out.append(scoring.format_table(
            [(run_label(k), aggregate(scores, k, negs)) for k in keys], "run",
            NEGATIVE_COLUMNS))
    rows = []
    for g in groups_in(items):
        its = [it for it in pos if it["group"] == g]
        for k in keys:
            rows.append(("%s (%d) | %s" % (group_label(g), len(its), run_label(k)),
                         aggregate(scores, k, its)))
    for kind in ("video", "still"):
        its = [it for it in pos if it["kind"] == kind]
        for k in keys:
            if its:
                rows.append(("%ss (%d) | %s" % (kind, len(its), run_label(k)),
                             aggregate(scores, k, its)))
    if rows:
        out.append("")
        out.append("By group and by kind (items with a number)")
        out.append(scoring.format_table(rows, "items | run", NUMBER_COLUMNS))
        out.append("")
        out.append("Numbers confirmed by group")
        header = ["group"] + [run_label(k) for k in keys]
        body = []
        for g in groups_in(items):
            its = [it for it in pos if it["group"] == g]
            body.append([group_label(g)] + [
                "%d of %d" % (t["numbers_confirmed"], t["numbers_total"])
                for t in (aggregate(scores, k, its) for k in keys)])
        out.append(_plain_table(header, body))
    if negs:
        out.append("")
        out.append("Negatives one by one: confirmed numbers; frames with an 8-digit reading")
        header = ["item"] + [run_label(k) for k in keys]
        body = []
        for it in negs:
            row = [it["name"]]
            for k in keys:
                s = scores[k][it["name"]]
                row.append("%s; %d of %d" % (" ".join(s["confirmed"]) or "none",
                                            s["false_frames"], s["frames_total"]))
            body.append(row)
        out.append(_plain_table(header, body))
    for k in keys:
        tags = aggregate(scores, k, items)["engine_tags"]
        others = sum(n for tag, n in tags.items() if tag != k[0])
        if others:
            out.append("")
            out.append("Note: %s of the %d readings in the %s row name another engine (%s)" % (
                others, sum(tags.values()), run_label(k),
                ", ".join("%s %d" % (tag, n) for tag, n in sorted(tags.items()) if tag != k[0])))
    if unavailable:
        out.append("")
        out.append("Peers not run:")
        for e, why in sorted(unavailable.items()):
            out.append("  %s: %s" % (e, why))
    if not_drawn:
        out.append("")
        out.append("Items the generator could not draw (left out of every figure):")
        grouped = {}
        for it, why in not_drawn:
            grouped.setdefault(why, []).append(it["name"])
        for why, names in grouped.items():
            out.append("  %s: %s" % (_names(names), why))
    if problems:
        out.append("")
        out.append("Reader problems (scored with the frames it printed):")
        grouped = {}
        for label, name, p in problems:
            grouped.setdefault((label, p), []).append(name)
        for (label, p), names in grouped.items():
            out.append("  %s %s: %s" % (label, _names(names), p))
    return "\n".join(out)


def _names(names):
    return ", ".join(names[:3]) + (" and %d more" % (len(names) - 3) if len(names) > 3 else "")


def _pct(num, den):
    r = scoring.ratio(num, den)
    return "n/a" if r is None else "%.1f %%" % r


def _share(num, den):
    return "%d of %d (%s)" % (num, den, _pct(num, den))


def markdown_tables(keys, items, scores, unavailable):
    """Two Markdown tables for the README: every run's figures, and the
    numbers confirmed in each group."""
    pos = [it for it in items if it["negative"] == "none"]
    clean = [it for it in pos if it["clean"]]
    hard = [it for it in pos if not it["clean"]]
    negs = [it for it in items if it["negative"] != "none"]
    lines = ["| run | numbers confirmed | clean groups | hard groups | items with a wrong "
             "confirmation | top-1 frame read | frames with a false 8-digit reading | "
             "the same on negatives | detection recall | median / p90 ms a frame |",
             "|---|---|---|---|---|---|---|---|---|---|"]
    for k in keys:
        t = aggregate(scores, k, items)
        c = aggregate(scores, k, clean)
        h = aggregate(scores, k, hard)
        lines.append("| %s | %s | %s | %s | %d of %d | %s | %s | %s | %s | %s / %s |" % (
            run_label(k), _share(t["numbers_confirmed"], t["numbers_total"]),
            _pct(c["numbers_confirmed"], c["numbers_total"]),
            _pct(h["numbers_confirmed"], h["numbers_total"]),
            t["wrong_items"], t["items"], _pct(t["top1_hits"], t["visible_frames"]),
            _pct(t["number_false_frames"], t["number_frames"]),
            _pct(t["negative_false_frames"], t["negative_frames"]),
            _pct(t["detected"], t["visible_objects"]),
            scoring.fmt_ms(t["median_ms"]), scoring.fmt_ms(t["p90_ms"])))
    for e, why in sorted(unavailable.items()):
        lines.append("| %s | not run: %s |  |  |  |  |  |  |  |  |" % (e, why.replace("|", "/")))
    lines.append("")
    lines.append("| group | items | " + " | ".join(run_label(k) for k in keys) + " |")
    lines.append("|---|---|" + "---|" * len(keys))
    for g in groups_in(items):
        its = [it for it in pos if it["group"] == g]
        cells = []
        for k in keys:
            t = aggregate(scores, k, its)
            cells.append("%d of %d" % (t["numbers_confirmed"], t["numbers_total"]))
        lines.append("| %s | %d | %s |" % (group_label(g), len(its), " | ".join(cells)))
    if negs:
        cells = []
        for k in keys:
            t = aggregate(scores, k, negs)
            cells.append("%d wrong" % t["wrong_items"])
        lines.append("| negatives | %d | %s |" % (len(negs), " | ".join(cells)))
    return "\n".join(lines)


def figures_json(keys, items, scores, unavailable, not_drawn, times):
    """Every figure of every run and item set, as one JSON-ready dict."""
    runs = {}
    for k in keys:
        entry = {"engine": k[0], "mode": k[1]}
        for name, its in item_sets(items):
            entry[name] = scoring.figures(aggregate(scores, k, its))
        runs[run_label(k)] = entry
    return {
        "set_seed": set_design.SET_SEED,
        "items": len(items),
        "clean_groups": [g for g in groups_in(items) if g in set_design.CLEAN_GROUPS],
        "hard_groups": [g for g in groups_in(items) if g not in set_design.CLEAN_GROUPS],
        "runs": runs,
        "peers_not_run": unavailable,
        "not_drawn": [{"item": it["name"], "reason": why} for it, why in not_drawn],
        "time_s": times,
    }
