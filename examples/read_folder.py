#!/usr/bin/python3
"""Reads every picture and video of a folder with the kalvero module and
prints each carriage pass: the file, the number and its frames.

    python3 read_folder.py FOLDER
"""
import os
import sys

import kalvero


def main(argv):
    if len(argv) != 2:
        print(f"usage: {argv[0]} FOLDER", file=sys.stderr)
        return 2
    folder = argv[1]
    status = 0
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            continue
        try:
            for carriage in kalvero.read_file(path):
                print(f"{name}\t{carriage.number}\t{carriage.first_frame}-{carriage.last_frame}")
        except (OSError, ValueError, RuntimeError) as error:
            print(f"read_folder: {name}: {error}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
