"""Writes the training report (README.md and loss.png) from the JSON files
that train.py, export.py, evaluate.py and timing.py left in a work folder.

    python3 report.py --work DIR --out REPORT_DIR
"""
import json
import os
import sys

import matplotlib
matplotlib.use('Agg')
import matplotlib.pyplot as plt  # noqa: E402

from arguments import parse_required  # noqa: E402
from fonts import HELD_OUT_FAMILIES  # noqa: E402


def percent(x):
    return '-' if x is None else '%.1f %%' % (100.0 * x)


def tally_row(name, t):
    return '| %s | %d | %s | %d | %s |' % (name, t['eight_digit'], percent(t['accuracy']), t['other'],
                                         percent(t['false_eight_rate']))


TALLY_HEADER = ['| Fonts | 8-digit crops | read exactly | other crops | read as 8 digits |',
                '|---|---:|---:|---:|---:|']


def family_table(evaluation, order=None):
    """One row per family over all sets of an evaluation, then the total."""
    merged = {}
    for tables in evaluation['sets'].values():
        for fam, t in tables['by_family'].items():
            m = merged.setdefault(fam, {'eight_digit': 0, 'correct': 0, 'other': 0, 'false_eight': 0})
            for k in m:
                m[k] += t[k]
    rows = list(TALLY_HEADER)
    for fam in (order or sorted(merged)):
        if fam in merged:
            m = merged[fam]
            m['accuracy'] = m['correct'] / m['eight_digit'] if m['eight_digit'] else None
            m['false_eight_rate'] = m['false_eight'] / m['other'] if m['other'] else None
            rows.append(tally_row(fam, m))
    rows.append(tally_row('**all**', evaluation['all']))
    return rows


# Weights whose strokes are a pixel or less wide in many crops.
THIN_WEIGHTS = ('Hairline', 'Thin', 'ExtraLight', 'Light')


def is_thin(style_name):
    weight = style_name.split('-', 1)[-1]
    return any(weight.startswith(w) for w in THIN_WEIGHTS)


def sum_tallies(tallies):
    m = {'eight_digit': 0, 'correct': 0, 'other': 0, 'false_eight': 0}
    for t in tallies:
        for k in m:
            m[k] += t[k]
    m['accuracy'] = m['correct'] / m['eight_digit'] if m['eight_digit'] else None
    m['false_eight_rate'] = m['false_eight'] / m['other'] if m['other'] else None
    return m


def weight_rows(evaluation):
    """All held-out crops split into thin weights and the rest."""
    styles = [(name, t) for tables in evaluation['sets'].values() for name, t in tables['by_style'].items()]
    return [tally_row('Regular and heavier weights', sum_tallies(t for n, t in styles if not is_thin(n))),
            tally_row('Light, ExtraLight, Thin, Hairline', sum_tallies(t for n, t in styles if is_thin(n)))]


def style_table(evaluation):
    rows = list(TALLY_HEADER)
    for tables in evaluation['sets'].values():
        for name, t in tables['by_style'].items():
            rows.append(tally_row(name, t))
    return rows


def calibration_table(evaluation):
    rows = ['| score | 8-digit readings | right |', '|---|---:|---:|']
    for b in evaluation['calibration']:
        rows.append('| %.2f - %.2f | %d | %s |' % (b['low'], b['high'], b['count'], percent(b['accuracy'])))
    return rows


def plot(history, path):
    figure, left = plt.subplots(figsize=(8, 4.5))
    left.plot(history['steps'], history['loss'], color='tab:blue', label='CTC loss (mean of 50 steps)')
    left.set_yscale('log')
    left.set_xlabel('step (batch of %d)' % history.get('batch_size', 64))
    left.set_ylabel('training loss', color='tab:blue')
    right = left.twinx()
    right.plot(history['val_steps'], [100 * a for a in history['val_accuracy']], 'o-', color='tab:red',
               label='validation accuracy')
    right.set_ylabel('held-out 8-digit exact reads, %', color='tab:red')
    right.set_ylim(0, 100)
    left.set_title('Line reader training')
    left.grid(True, alpha=0.3)
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)


def load(work, name):
    with open(os.path.join(work, name)) as f:
        return json.load(f)


def load_optional(work, name):
    """The JSON file, or None when the run did not write it."""
    path = os.path.join(work, name)
    return load(work, name) if os.path.exists(path) else None


def conditioned_section(held_out, training, run):
    """Rows for the crops drawn under conditions, when the run made them."""
    if held_out is None:
        return []
    lines = [
        '',
        '## Under conditions (held-out fonts)',
        '',
        'Fresh crops (seed %s), %s per family, every one drawn under a random mix of what '
        'trackside cameras see (`kalvero-make-sample --crops --conditions 1`): a camera yawed '
        '25-45 degrees and rolled, night light with glare, infrared, interlaced fields, rolling '
        'shutter, block codec artefacts, JPEG down to quality 15, rain, snow, dirt, graffiti, '
        'faded paint, motion blur, a pole, group gaps, digits 10-250 px high, and hard '
        'negatives (phone numbers, dates, 9 and 10 digits, 7 + 1 digits, ladders, grilles, '
        'rivets) labelled with the digits they show. Two in five of these crops are painted '
        'in the hand-painted or the block-stencil digits (one in five each) instead of the family\'s font; they have '
        'rows of their own.'
        % (run.get('conditioned_test_seed', '?'), run.get('conditioned_test_count', '?')),
        '',
    ] + family_table(held_out, list(HELD_OUT_FAMILIES) + ['hand', 'block-stencil'])
    if training is not None:
        lines += [
            '',
            '### Training fonts under conditions, fresh crops (seed %s)' % run.get('conditioned_fresh_seed', '?'),
            '',
        ] + family_table(training)
    return lines


def main(argv):
    args = parse_required(__doc__, argv, '--work', '--out')
    try:
        history = load(args.work, 'history.json')
        exported = load(args.work, 'export.json')
        timing = load(args.work, 'timing.json')
        held_out = load(args.work, 'eval-held-out.json')
        training = load(args.work, 'eval-training.json')
        run = load(args.work, 'run.json')
        held_out_conditioned = load_optional(args.work, 'eval-held-out-conditioned.json')
        training_conditioned = load_optional(args.work, 'eval-training-conditioned.json')
    except (OSError, ValueError) as e:
        print('report.py: %s' % e, file=sys.stderr)
        return 1
    os.makedirs(args.out, exist_ok=True)
    plot(history, os.path.join(args.out, 'loss.png'))
    b1, b4 = timing['batch_1'], timing['batch_4']
    lines = [
        '# Line reader: training report',
        '',
        'Written by `scripts/train%s` on %s (git %s). Everything here is measured on '
        'crops from `kalvero-make-sample --crops`; fonts as in `training/fonts.py`.'
        % (' --quick' if run.get('quick') else '', run.get('date', '?'), run.get('commit', '?')),
        '',
        '## Model',
        '',
        '- `line_reader/model/line_reader.onnx`: %d bytes, %d parameters, channels %s, '
        'ONNX opset %d, operators %s.' % (exported['bytes'], history['parameters'],
                                          '-'.join(map(str, history['channels'])), exported['opset'],
                                          ', '.join(exported['operators'])),
        '- Trained %d steps of %d crops (%d training crops, %s) in %.1f min on %d thread; the '
        'weights of the last step are kept (the validation crops only draw the curve: %s exact '
        'at the end).'
        % (run['steps'], run['batch_size'], run['train_crops'], run['train_mix'],
           history['seconds'] / 60.0, run['threads'], percent(history['val_accuracy'][-1])),
        '- Augmentation in training (augment.py): %s.' % ('on' if run.get('augment') else
                                                          'off; the generator\'s own variation only'),
        '- Whole run (build, crops, training, checks, report): %.1f min; stages: %s.'
        % (run['total_seconds'] / 60.0,
           ', '.join('%s %.0f s' % (k, v) for k, v in run['stages'].items())),
        '',
        '## Held-out fonts (never trained on)',
        '',
        'Fresh crops (seed %s), %s per family; every weight of the family. "Read exactly": the '
        'greedy CTC decode equals the 8 digits. "Read as 8 digits": negatives and crops of '
        '2-4, 6, 7, 9 or 10 digits that came out as an 8-digit string.'
        % (run['test_seed'], run['test_count']),
        '',
    ] + family_table(held_out, list(HELD_OUT_FAMILIES)) + weight_rows(held_out) + [
        '',
        '### Score calibration on the held-out crops',
        '',
        'Score = product over the digits of each digit\'s peak softmax probability. Among the '
        'held-out crops read as 8 digits, the share that was right, per score bin:',
        '',
    ] + calibration_table(held_out) + [
        '',
        '## Training fonts, fresh crops (seed %s)' % run['fresh_seed'],
        '',
    ] + family_table(training) + conditioned_section(held_out_conditioned, training_conditioned, run) + [
        '',
        '## Export check (cv2.dnn against PyTorch, %d validation crops)' % exported['batch_1']['crops'],
        '',
        '| batch size | max abs difference of logits | same decoded string |',
        '|---:|---:|---:|',
        '| 1 | %.2g | %d of %d |' % (exported['batch_1']['max_abs_diff'], exported['batch_1']['same_strings'],
                                    exported['batch_1']['crops']),
        '| 8 | %.2g | %d of %d |' % (exported['batch_8']['max_abs_diff'], exported['batch_8']['same_strings'],
                                    exported['batch_8']['crops']),
        '',
        '## Forward time (cv2.dnn, one thread, %d runs)' % timing['runs'],
        '',
        '| batch | median | fastest | 90th percentile | median per crop |',
        '|---:|---:|---:|---:|---:|',
        '| 1 | %.3f ms | %.3f ms | %.3f ms | %.3f ms |' % (b1['median_ms'], b1['min_ms'], b1['p90_ms'], b1['median_ms']),
        '| 4 | %.3f ms | %.3f ms | %.3f ms | %.3f ms |' % (b4['median_ms'], b4['min_ms'], b4['p90_ms'],
                                                         b4['median_ms'] / 4),
        '',
        'Load average when timed: %s. The machine is shared with other developers\' builds '
        'and tests, so these times are pessimistic; the fastest run is closer to an idle '
        'machine.' % run.get('load_average', '?'),
        '',
        '## Curves',
        '',
        '![loss and validation accuracy](loss.png)',
        '',
        '## Held-out fonts by style',
        '',
    ] + style_table(held_out) + ['']
    with open(os.path.join(args.out, 'README.md'), 'w') as f:
        f.write('\n'.join(lines))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
