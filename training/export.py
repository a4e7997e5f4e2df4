"""Exports a trained checkpoint to ONNX for the engine and checks that
OpenCV's dnn module reads it exactly as PyTorch does.

    python3 export.py --checkpoint CKPT.pt --onnx OUT.onnx --check-crops DIR --result OUT.json

Fails (status 1) when the file is over 2 MB, the output shape is not
N x 11 x 1 x 40 at batch sizes 1 and 8, the outputs differ by more than
1e-3, or any crop decodes to a different string.
"""
import argparse
import json
import os
import sys

import numpy as np
import onnx
import torch
from onnx import numpy_helper

from ctc_decode import decode_batch
from dataset import load_crops, to_input
from model import INPUT_HEIGHT, INPUT_WIDTH, NUM_CLASSES, NUM_COLUMNS, LineReader

OPSET = 11
MAX_BYTES = 2 * 1024 * 1024
MAX_ABS_DIFF = 1e-3


def inline_identity_initializers(model):
    """The exporter shares equal constant tensors (e.g. two folded biases)
    through Identity nodes, which OpenCV 4.6 cannot load; give each user
    its own copy of the constant instead."""
    graph = model.graph
    constants = {t.name: t for t in graph.initializer}
    for node in list(graph.node):
        if node.op_type == 'Identity' and node.input[0] in constants:
            copy = numpy_helper.from_array(numpy_helper.to_array(constants[node.input[0]]),
                                           node.output[0])
            graph.initializer.append(copy)
            constants[copy.name] = copy
            graph.node.remove(node)
    return model


def export(model, path):
    model.eval()
    dummy = torch.zeros(1, 1, INPUT_HEIGHT, INPUT_WIDTH)
    torch.onnx.export(model, dummy, path, opset_version=OPSET, input_names=['input'],
                      output_names=['logits'],
                      dynamic_axes={'input': {0: 'batch'}, 'logits': {0: 'batch'}})
    proto = inline_identity_initializers(onnx.load(path))
    onnx.checker.check_model(proto)
    onnx.save(proto, path)
    return sorted({n.op_type for n in proto.graph.node})


def compare(model, path, images):
    """Runs the crops through PyTorch and cv2.dnn at batch sizes 1 and 8."""
    import cv2
    net = cv2.dnn.readNetFromONNX(path)
    x = to_input(images)
    with torch.no_grad():
        expected = model(torch.from_numpy(x)).numpy()
    result = {}
    for batch in (1, 8):
        outputs = []
        for start in range(0, len(x), batch):
            net.setInput(x[start:start + batch])
            out = net.forward()
            want = (min(batch, len(x) - start), NUM_CLASSES, 1, NUM_COLUMNS)
            if out.shape != want:
                raise ValueError('cv2.dnn gave shape %s at batch %d, expected %s' % (out.shape, batch, want))
            outputs.append(out.copy())
        got = np.concatenate(outputs)
        same = sum(a[0] == b[0] for a, b in zip(decode_batch(got), decode_batch(expected)))
        result['batch_%d' % batch] = {'crops': len(x), 'max_abs_diff': float(np.max(np.abs(got - expected))),
                                      'same_strings': int(same)}
    return result


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--checkpoint', required=True)
    parser.add_argument('--onnx', required=True)
    parser.add_argument('--check-crops', required=True, help='crop folder to compare outputs on')
    parser.add_argument('--check-count', type=int, default=800)
    parser.add_argument('--result', required=True)
    args = parser.parse_args(argv)
    try:
        saved = torch.load(args.checkpoint)
        model = LineReader(tuple(saved['channels']))
        model.load_state_dict(saved['state_dict'])
        crops = load_crops(args.check_crops)
    except (OSError, ValueError, KeyError, RuntimeError) as e:
        print('export.py: %s' % e, file=sys.stderr)
        return 1
    operators = export(model, args.onnx)
    result = {'operators': operators, 'bytes': os.path.getsize(args.onnx), 'opset': OPSET}
    try:
        result.update(compare(model, args.onnx, crops.images[:args.check_count]))
    except ValueError as e:
        print('export.py: %s' % e, file=sys.stderr)
        return 1
    with open(args.result, 'w') as f:
        json.dump(result, f, indent=1)
    print('export.py: %s' % json.dumps(result), file=sys.stderr)
    problems = []
    if result['bytes'] > MAX_BYTES:
        problems.append('the model is %d bytes, over %d' % (result['bytes'], MAX_BYTES))
    for batch in ('batch_1', 'batch_8'):
        r = result[batch]
        if r['max_abs_diff'] > MAX_ABS_DIFF:
            problems.append('%s: outputs differ by %g' % (batch, r['max_abs_diff']))
        if r['same_strings'] != r['crops']:
            problems.append('%s: %d of %d crops decode differently'
                            % (batch, r['crops'] - r['same_strings'], r['crops']))
    for p in problems:
        print('export.py: %s' % p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
