"""Line crops written by `kalvero-make-sample --crops DIR`: DIR/labels.tsv
(header `file<TAB>text<TAB>font`) and one 160 x 32 grey PNG per line."""
import os

import cv2
import numpy as np

from model import INPUT_HEIGHT, INPUT_WIDTH


class CropSet:
    """Crops held in memory: images N x 32 x 160 uint8, texts and fonts."""

    def __init__(self, images, texts, fonts):
        if len(images) != len(texts) or len(texts) != len(fonts):
            raise ValueError('images, texts and fonts differ in number')
        self.images = images
        self.texts = list(texts)
        self.fonts = list(fonts)

    def __len__(self):
        return len(self.texts)

    def subset(self, indices):
        indices = list(indices)
        return CropSet(self.images[indices], [self.texts[i] for i in indices],
                       [self.fonts[i] for i in indices])

    @staticmethod
    def concat(sets):
        sets = [s for s in sets if len(s)]
        if not sets:
            return CropSet(np.zeros((0, INPUT_HEIGHT, INPUT_WIDTH), np.uint8), [], [])
        return CropSet(np.concatenate([s.images for s in sets]),
                       sum((s.texts for s in sets), []), sum((s.fonts for s in sets), []))


def read_labels(path):
    """labels.tsv -> list of (file, text, font). Raises ValueError naming the
    file and line on anything malformed, so a bad generator run stops
    training with a clear message instead of teaching the wrong labels."""
    rows = []
    with open(path, encoding='utf-8') as f:
        header = f.readline().rstrip('\n')
        if header.split('\t') != ['file', 'text', 'font']:
            raise ValueError('%s: expected the header file<TAB>text<TAB>font, got %r' % (path, header))
        for number, line in enumerate(f, start=2):
            line = line.rstrip('\n')
            if not line:
                continue
            parts = line.split('\t')
            if len(parts) != 3:
                raise ValueError('%s:%d: expected 3 tab-separated fields, got %d' % (path, number, len(parts)))
            name, text, font = parts
            if not name or not text.isdigit() and text != '':
                raise ValueError('%s:%d: bad file name or non-digit text %r' % (path, number, text))
            rows.append((name, text, font))
    return rows


def load_crops(directory):
    """Read every crop of a generator output folder into a CropSet."""
    rows = read_labels(os.path.join(directory, 'labels.tsv'))
    images = np.zeros((len(rows), INPUT_HEIGHT, INPUT_WIDTH), np.uint8)
    for i, (name, _, _) in enumerate(rows):
        path = os.path.join(directory, name)
        image = cv2.imread(path, cv2.IMREAD_GRAYSCALE)
        if image is None:
            raise ValueError('%s: cannot be read as an image' % path)
        if image.shape != (INPUT_HEIGHT, INPUT_WIDTH):
            raise ValueError('%s: expected %d x %d pixels, got %d x %d'
                             % (path, INPUT_WIDTH, INPUT_HEIGHT, image.shape[1], image.shape[0]))
        images[i] = image
    return CropSet(images, [r[1] for r in rows], [r[2] for r in rows])


def load_many(directories):
    return CropSet.concat([load_crops(d) for d in directories])


def to_input(images):
    """uint8 N x 32 x 160 -> float32 N x 1 x 32 x 160, pixel / 255 (the model's input)."""
    return (np.asarray(images, dtype=np.float32) / 255.0)[:, None, :, :]
