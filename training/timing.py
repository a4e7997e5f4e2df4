"""Forward time of the exported reader in OpenCV's dnn module on one
thread, as the engine runs it: median of 200 runs at batch sizes 1 and 4.

    python3 timing.py --onnx MODEL --out RESULT.json
"""
import json
import sys
import time

import cv2
import numpy as np

from arguments import parse_required
from model import INPUT_HEIGHT, INPUT_WIDTH


def forward_times(path, batch, runs=200, warmup=20):
    net = cv2.dnn.readNetFromONNX(path)
    x = np.random.default_rng(0).random((batch, 1, INPUT_HEIGHT, INPUT_WIDTH), dtype=np.float32)
    times = []
    for i in range(warmup + runs):
        started = time.perf_counter()
        net.setInput(x)
        net.forward()
        if i >= warmup:
            times.append(time.perf_counter() - started)
    return times


def main(argv):
    args = parse_required(__doc__, argv, '--onnx', '--out')
    cv2.setNumThreads(1)
    result = {'threads': 1, 'runs': 200}
    try:
        for batch in (1, 4):
            t = forward_times(args.onnx, batch)
            result['batch_%d' % batch] = {'median_ms': 1000 * float(np.median(t)),
                                          'min_ms': 1000 * float(np.min(t)),
                                          'p90_ms': 1000 * float(np.percentile(t, 90))}
    except cv2.error as e:
        print('timing.py: %s' % e, file=sys.stderr)
        return 1
    with open(args.out, 'w') as f:
        json.dump(result, f, indent=1)
    print('timing.py: %s' % json.dumps(result), file=sys.stderr)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
