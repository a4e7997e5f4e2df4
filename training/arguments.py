"""Command lines of the training scripts that take only required options."""
import argparse


def parse_required(doc, argv, *names):
    """Parses `argv` for the options `names` (e.g. '--onnx'), every one of them
    required; the script's docstring `doc` gives the first line of --help."""
    parser = argparse.ArgumentParser(description=doc.split('\n')[0])
    for name in names:
        parser.add_argument(name, required=True)
    return parser.parse_args(argv)
