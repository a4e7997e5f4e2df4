"""Training-time changes to a batch of crops, on top of what the generator
already varies: the engine's crops are contrast-stretched, so changes stay
mild (a lower contrast, a slight blur or noise, a few pixels of shift)."""
import torch
import torch.nn.functional as F


def _blur(x, sigma):
    radius = 1
    t = torch.arange(-radius, radius + 1, dtype=x.dtype)
    k = torch.exp(-0.5 * (t / sigma) ** 2)
    k = k / k.sum()
    kernel = (k[:, None] * k[None, :])[None, None]
    return F.conv2d(F.pad(x, (radius,) * 4, mode='replicate'), kernel)


def augment_batch(x, generator):
    """x: N x 1 x H x W floats in [0, 1]; returns a changed copy.
    All randomness comes from `generator`, so a run repeats exactly."""
    n = x.shape[0]

    def uniform(lo, hi, *shape):
        return lo + (hi - lo) * torch.rand(*shape, generator=generator)

    # Shift (up to 3 px along, 1 px across) and stretch along by up to 5 %.
    theta = torch.zeros(n, 2, 3)
    theta[:, 0, 0] = uniform(0.95, 1.05, n)
    theta[:, 1, 1] = 1.0
    theta[:, 0, 2] = uniform(-3.0, 3.0, n) * 2.0 / x.shape[3]
    theta[:, 1, 2] = uniform(-1.0, 1.0, n) * 2.0 / x.shape[2]
    grid = F.affine_grid(theta, list(x.shape), align_corners=False)
    x = F.grid_sample(x, grid, mode='bilinear', padding_mode='border', align_corners=False)

    # A third of the batch slightly blurred.
    blurred = torch.rand(n, generator=generator) < 0.33
    if blurred.any():
        sigma = float(uniform(0.5, 1.0, 1))
        x[blurred] = _blur(x[blurred], sigma)

    # Contrast lowered to 60-100 % around mid-grey, brightness moved a little.
    contrast = uniform(0.6, 1.0, n, 1, 1, 1)
    brightness = uniform(-0.1, 0.1, n, 1, 1, 1)
    x = (x - 0.5) * contrast + 0.5 + brightness

    noise = uniform(0.0, 0.05, n, 1, 1, 1)
    x = x + noise * torch.randn(x.shape, generator=generator)
    return x.clamp_(0.0, 1.0)
