import os
import tempfile
import unittest

import cv2
import numpy as np
import onnx
import torch

from export import export
from model import LineReader, ctc_log_probs


class ModelContract(unittest.TestCase):
    def test_output_is_n_by_11_by_1_by_40(self):
        model = LineReader().eval()
        for n in (1, 3):
            self.assertEqual(tuple(model(torch.zeros(n, 1, 32, 160)).shape), (n, 11, 1, 40))

    def test_ctc_log_probs_are_time_major_and_normalised(self):
        logp = ctc_log_probs(torch.randn(2, 11, 1, 40))
        self.assertEqual(tuple(logp.shape), (40, 2, 11))
        self.assertTrue(torch.allclose(logp.exp().sum(dim=2), torch.ones(40, 2), atol=1e-5))


class ExportForOpenCv(unittest.TestCase):
    """The engine loads the file with OpenCV 4.6's dnn module at batch sizes
    above one; these fail if the graph gains a node OpenCV cannot run."""

    @classmethod
    def setUpClass(cls):
        torch.manual_seed(0)
        # Untrained batch norms fold to equal constants, which the exporter
        # shares through Identity nodes: the case export() must repair.
        cls.model = LineReader((4, 4, 4, 4, 4)).eval()
        cls.dir = tempfile.TemporaryDirectory()
        cls.path = os.path.join(cls.dir.name, 'reader.onnx')
        cls.operators = export(cls.model, cls.path)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_graph_has_named_input_output_and_only_conv_pool_relu(self):
        graph = onnx.load(self.path).graph
        self.assertEqual([i.name for i in graph.input], ['input'])
        self.assertEqual([o.name for o in graph.output], ['logits'])
        self.assertEqual(self.operators, ['Conv', 'MaxPool', 'Relu'])
        self.assertEqual(onnx.load(self.path).opset_import[0].version, 11)

    def test_opencv_matches_pytorch_at_batch_sizes_1_and_5(self):
        net = cv2.dnn.readNetFromONNX(self.path)
        rng = np.random.default_rng(1)
        for n in (1, 5):
            x = rng.random((n, 1, 32, 160), dtype=np.float32)
            net.setInput(x)
            got = net.forward()
            with torch.no_grad():
                want = self.model(torch.from_numpy(x)).numpy()
            self.assertEqual(got.shape, (n, 11, 1, 40))
            self.assertLess(float(np.max(np.abs(got - want))), 1e-4)


if __name__ == '__main__':
    unittest.main()
