"""The digit-line reader network: convolutions only, so that OpenCV's dnn
module runs it at any batch size (see training/README.md for the contract)."""
import torch
from torch import nn

INPUT_HEIGHT = 32
INPUT_WIDTH = 160
NUM_CLASSES = 11  # 0 = CTC blank, k + 1 = digit k
NUM_COLUMNS = 40  # output columns: one per 4 input pixels

DEFAULT_CHANNELS = (16, 24, 32, 48, 64)


def _conv_block(c_in, c_out, kernel=3, padding=1, stride=1):
    return [nn.Conv2d(c_in, c_out, kernel, stride=stride, padding=padding, bias=False),
            nn.BatchNorm2d(c_out), nn.ReLU(inplace=True)]


class LineReader(nn.Module):
    """N x 1 x 32 x 160 (pixel / 255) -> N x 11 x 1 x 40 raw logits.

    The first two convolutions have stride 2 (160 -> 40 columns: four or
    more per digit of an 8-digit line, enough for CTC to put a blank between
    repeated digits). Striding instead of pooling at full resolution keeps
    the large early feature maps out of the batch-norm and ReLU passes, which
    dominate training time on the CPU, and quarters the engine's cost of the
    first layers. The height is halved once more by pooling and the last 4
    rows are collapsed by a 4 x 3 convolution, because adaptive pooling
    exports only with a fixed input shape.
    """

    def __init__(self, channels=DEFAULT_CHANNELS):
        super().__init__()
        c1, c2, c3, c4, c5 = channels
        self.channels = tuple(channels)
        self.features = nn.Sequential(
            *_conv_block(1, c1, stride=2),                  # 16 x 80
            *_conv_block(c1, c2, stride=2),                 # 8 x 40
            *_conv_block(c2, c3), nn.MaxPool2d((2, 1), (2, 1)),  # 4 x 40
            *_conv_block(c3, c4),
            *_conv_block(c4, c5, kernel=(4, 3), padding=(0, 1)),  # 1 x 40
        )
        self.classifier = nn.Conv2d(c5, NUM_CLASSES, 1)

    def forward(self, x):
        return self.classifier(self.features(x))


def ctc_log_probs(logits):
    """Network output N x C x 1 x T -> T x N x C log-probabilities for nn.CTCLoss."""
    return torch.log_softmax(logits[:, :, 0, :], dim=1).permute(2, 0, 1)


def count_parameters(model):
    return sum(p.numel() for p in model.parameters())
