"""Trains the line reader with CTC on generator crops, step by step with a
fixed seed, keeping the weights of the last step. The validation crops are
read along the way for the curve only: no choice is made on them, so the
accuracy reported on the held-out fonts is not tuned on.

    python3 train.py --train DIR [--train DIR ...] --val DIR [--val DIR ...]
                     --steps N --out CHECKPOINT.pt --history HISTORY.json
"""
import argparse
import json
import sys
import time

import numpy as np
import torch
from torch import nn

from augment import augment_batch
from dataset import load_many, to_input
from evaluate import read_lines, tally
from model import DEFAULT_CHANNELS, NUM_COLUMNS, LineReader, count_parameters, ctc_log_probs


def encode_targets(texts):
    """Digit strings -> (concatenated class ids, lengths) for nn.CTCLoss;
    digit k is class k + 1, an empty text is an empty target."""
    ids = [int(c) + 1 for t in texts for c in t]
    return torch.tensor(ids, dtype=torch.long), torch.tensor([len(t) for t in texts], dtype=torch.long)


def batch_order(count, batch_size, steps, seed):
    """The crop indices of every step: whole shuffled passes over the data,
    from a seeded generator, so the data order repeats exactly."""
    rng = np.random.default_rng(seed)
    needed = steps * batch_size
    order = np.concatenate([rng.permutation(count) for _ in range(-(-needed // count))])
    return order[:needed].reshape(steps, batch_size)


def torch_forward(model):
    def forward(x):
        with torch.no_grad():
            return model(torch.from_numpy(x)).numpy()
    return forward


def validate(model, val):
    model.eval()
    result = tally(val.texts, read_lines(torch_forward(model), val.images))
    model.train()
    return result


def train(train_set, val_set, steps, batch_size=64, lr=3e-3, seed=1, augment=True,
          eval_every=250, channels=DEFAULT_CHANNELS, log=sys.stderr):
    torch.manual_seed(seed)
    model = LineReader(channels)
    optimiser = torch.optim.AdamW(model.parameters(), lr=lr, weight_decay=1e-4)
    schedule = torch.optim.lr_scheduler.OneCycleLR(optimiser, max_lr=lr, total_steps=steps,
                                                   pct_start=0.1)
    ctc = nn.CTCLoss(blank=0, zero_infinity=True)
    generator = torch.Generator().manual_seed(seed)
    order = batch_order(len(train_set), batch_size, steps, seed)
    input_lengths = torch.full((batch_size,), NUM_COLUMNS, dtype=torch.long)
    history = {'steps': [], 'loss': [], 'val_steps': [], 'val_accuracy': [], 'val_false_eight': [],
               'parameters': count_parameters(model), 'channels': list(channels),
               'batch_size': batch_size}
    started = time.time()
    running = []
    model.train()
    for step in range(1, steps + 1):
        indices = order[step - 1]
        x = torch.from_numpy(to_input(train_set.images[indices]))
        if augment:
            x = augment_batch(x, generator)
        targets, target_lengths = encode_targets([train_set.texts[i] for i in indices])
        loss = ctc(ctc_log_probs(model(x)), targets, input_lengths, target_lengths)
        optimiser.zero_grad()
        loss.backward()
        optimiser.step()
        schedule.step()
        running.append(float(loss))
        evaluating = step % eval_every == 0 or step == steps
        if step % 50 == 0 or evaluating:
            history['steps'].append(step)
            history['loss'].append(float(np.mean(running)))
            running = []
        if evaluating:
            v = validate(model, val_set)
            history['val_steps'].append(step)
            history['val_accuracy'].append(v['accuracy'])
            history['val_false_eight'].append(v['false_eight_rate'])
            print('step %d/%d  loss %.4f  val accuracy %.4f  false-8 %s  %.0f s'
                  % (step, steps, history['loss'][-1], v['accuracy'], v['false_eight_rate'],
                     time.time() - started), file=log, flush=True)
    history['seconds'] = time.time() - started
    history['final_step'] = steps
    model.eval()
    return model, history


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--train', action='append', required=True, help='crop folder (repeatable)')
    parser.add_argument('--val', action='append', required=True, help='crop folder (repeatable)')
    parser.add_argument('--steps', type=int, required=True)
    parser.add_argument('--batch-size', type=int, default=64)
    parser.add_argument('--lr', type=float, default=3e-3)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--eval-every', type=int, default=250)
    parser.add_argument('--channels', default=','.join(map(str, DEFAULT_CHANNELS)))
    parser.add_argument('--no-augment', action='store_true')
    parser.add_argument('--threads', type=int, default=2)
    parser.add_argument('--out', required=True)
    parser.add_argument('--history', required=True)
    args = parser.parse_args(argv)
    if args.steps < 1 or args.batch_size < 1 or args.eval_every < 1:
        parser.error('--steps, --batch-size and --eval-every must be positive')
    try:
        channels = tuple(int(c) for c in args.channels.split(','))
    except ValueError:
        parser.error('--channels: expected five comma-separated integers')
    if len(channels) != 5 or min(channels) < 1:
        parser.error('--channels: expected five positive integers')
    torch.set_num_threads(args.threads)
    try:
        train_set = load_many(args.train)
        val_set = load_many(args.val)
    except (OSError, ValueError) as e:
        print('train.py: %s' % e, file=sys.stderr)
        return 1
    if len(train_set) == 0 or not any(len(t) == 8 for t in val_set.texts):
        print('train.py: no training crops, or no 8-digit validation crops', file=sys.stderr)
        return 1
    print('train.py: %d training crops, %d validation crops' % (len(train_set), len(val_set)),
          file=sys.stderr)
    model, history = train(train_set, val_set, args.steps, args.batch_size, args.lr, args.seed,
                           not args.no_augment, args.eval_every, channels)
    torch.save({'channels': list(channels), 'state_dict': model.state_dict()}, args.out)
    with open(args.history, 'w') as f:
        json.dump(history, f, indent=1)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
