"""Accuracy of a reader on crops: exact 8-digit reads per font, the false
8-digit rate on everything else, and how the score relates to being right.

    python3 evaluate.py --onnx MODEL --out RESULT.json NAME=DIR [NAME=DIR ...]

reads each crop folder with OpenCV's dnn module (as the engine does) and
writes per-folder, per-family and per-style tables plus calibration bins.
"""
import argparse
import json
import sys

import numpy as np

from ctc_decode import decode_batch
from dataset import load_crops, to_input
from fonts import family, style

# Upper edges of the score bins in the calibration table.
CALIBRATION_EDGES = (0.1, 0.3, 0.5, 0.7, 0.8, 0.9, 0.95, 0.99, 1.0)


def read_lines(forward, images, batch=256):
    """forward: float32 N x 1 x 32 x 160 -> N x 11 x 1 x T logits.
    Returns [(text, score)] for uint8 crops N x 32 x 160."""
    readings = []
    for start in range(0, len(images), batch):
        readings += decode_batch(forward(to_input(images[start:start + batch])))
    return readings


def tally(texts, readings):
    """Exact-match and false-8 counts of readings against their labels."""
    eight = [(t, r[0]) for t, r in zip(texts, readings) if len(t) == 8]
    other = [(t, r[0]) for t, r in zip(texts, readings) if len(t) != 8]
    correct = sum(1 for t, r in eight if t == r)
    false8 = sum(1 for _, r in other if len(r) == 8)
    return {
        'eight_digit': len(eight), 'correct': correct,
        'accuracy': correct / len(eight) if eight else None,
        'other': len(other), 'false_eight': false8,
        'false_eight_rate': false8 / len(other) if other else None,
    }


def tally_by(keys, texts, readings):
    groups = {}
    for k, t, r in zip(keys, texts, readings):
        groups.setdefault(k, ([], []))
        groups[k][0].append(t)
        groups[k][1].append(r)
    return {k: tally(ts, rs) for k, (ts, rs) in sorted(groups.items())}


def calibration(texts, readings, edges=CALIBRATION_EDGES):
    """Among readings of 8 digits, the share that is right per score bin.
    Crops that are not 8-digit numbers count as wrong when read as 8 digits."""
    bins = []
    lower = 0.0
    for upper in edges:
        picked = [t == r for t, (r, s) in zip(texts, readings)
                  if len(r) == 8 and lower <= s and (s < upper or upper == edges[-1])]
        bins.append({'low': lower, 'high': upper, 'count': len(picked),
                     'accuracy': sum(picked) / len(picked) if picked else None})
        lower = upper
    return bins


def evaluate_set(forward, crops):
    readings = read_lines(forward, crops.images)
    return readings, {
        'all': tally(crops.texts, readings),
        'by_family': tally_by([family(f) for f in crops.fonts], crops.texts, readings),
        'by_style': tally_by([style(f) for f in crops.fonts], crops.texts, readings),
    }


def onnx_forward(path):
    import cv2
    net = cv2.dnn.readNetFromONNX(path)

    def forward(x):
        net.setInput(x)
        return net.forward().copy()
    return forward


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--onnx', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('sets', nargs='+', help='NAME=DIR')
    args = parser.parse_args(argv)
    try:
        forward = onnx_forward(args.onnx)
    except Exception as e:  # cv2.error has no import-free base class
        print('evaluate.py: cannot load %s: %s' % (args.onnx, e), file=sys.stderr)
        return 1
    result = {'sets': {}}
    all_texts, all_readings = [], []
    for item in args.sets:
        if '=' not in item:
            parser.error('expected NAME=DIR, got %r' % item)
        name, directory = item.split('=', 1)
        try:
            crops = load_crops(directory)
        except (OSError, ValueError) as e:
            print('evaluate.py: %s' % e, file=sys.stderr)
            return 1
        readings, tables = evaluate_set(forward, crops)
        result['sets'][name] = tables
        all_texts += crops.texts
        all_readings += readings
        print('%s: %s' % (name, tables['all']), file=sys.stderr)
    result['all'] = tally(all_texts, all_readings)
    result['calibration'] = calibration(all_texts, all_readings)
    with open(args.out, 'w') as f:
        json.dump(result, f, indent=1)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
