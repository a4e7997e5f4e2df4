import os
import tempfile
import unittest

import cv2
import numpy as np

from dataset import CropSet, load_crops, read_labels, to_input


class CropFolder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name

    def tearDown(self):
        self.dir.cleanup()

    def write(self, labels, images=None, header='file\ttext\tfont'):
        with open(os.path.join(self.root, 'labels.tsv'), 'w') as f:
            f.write(header + '\n' + ''.join(line + '\n' for line in labels))
        for name, image in (images or {}).items():
            cv2.imwrite(os.path.join(self.root, name), image)

    def test_reads_images_texts_and_fonts_including_empty_negatives(self):
        a = np.full((32, 160), 7, np.uint8)
        b = np.full((32, 160), 200, np.uint8)
        self.write(['0000000.png\t52473063\tglyph', '0000001.png\t\t/f/Lato-Bold.ttf'],
                   {'0000000.png': a, '0000001.png': b})
        crops = load_crops(self.root)
        self.assertEqual(crops.texts, ['52473063', ''])
        self.assertEqual(crops.fonts, ['glyph', '/f/Lato-Bold.ttf'])
        self.assertEqual(crops.images.shape, (2, 32, 160))
        self.assertEqual(int(crops.images[1, 5, 5]), 200)

    def test_malformed_labels_are_refused_with_the_line(self):
        cases = [('bad header', ['x\t1\tglyph'], 'file\ttext'),
                 ('letters', ['a.png\t12A4\tglyph'], 'file\ttext\tfont'),
                 ('two fields', ['a.png\t1234'], 'file\ttext\tfont')]
        for what, labels, header in cases:
            with self.subTest(what):
                self.write(labels, header=header)
                with self.assertRaisesRegex(ValueError, 'labels.tsv'):
                    read_labels(os.path.join(self.root, 'labels.tsv'))

    def test_missing_or_wrong_size_image_is_refused(self):
        self.write(['a.png\t1\tglyph'])
        with self.assertRaisesRegex(ValueError, 'a.png'):
            load_crops(self.root)
        self.write(['a.png\t1\tglyph'], {'a.png': np.zeros((32, 150), np.uint8)})
        with self.assertRaisesRegex(ValueError, '160 x 32'):
            load_crops(self.root)

    def test_input_is_pixel_over_255_with_a_channel_axis(self):
        x = to_input(np.array([[[0, 255, 51]]], np.uint8))
        self.assertEqual(x.dtype, np.float32)
        self.assertEqual(x.shape, (1, 1, 1, 3))
        np.testing.assert_allclose(x[0, 0, 0], [0.0, 1.0, 0.2], rtol=1e-6)

    def test_concat_and_subset_keep_images_with_their_labels(self):
        s1 = CropSet(np.zeros((1, 32, 160), np.uint8), ['1'], ['glyph'])
        s2 = CropSet(np.ones((2, 32, 160), np.uint8), ['2', '3'], ['stencil', 'stencil'])
        both = CropSet.concat([s1, s2]).subset([2, 0])
        self.assertEqual(both.texts, ['3', '1'])
        self.assertEqual([int(i[0, 0]) for i in both.images], [1, 0])


if __name__ == '__main__':
    unittest.main()
