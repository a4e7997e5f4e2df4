"""The Tesseract peer's parts that do not need tesseract: AVI frame
extraction and TSV to readings (its vote is confirmation.py's, tested in
test_confirmation)."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import tesseract_peer as tp  # noqa: E402


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def riff(kind, parts):
    body = kind + b"".join(parts)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def lst(kind, parts):
    return chunk(b"LIST", kind + b"".join(parts))


TSV_HEAD = ("level\tpage_num\tblock_num\tpar_num\tline_num\tword_num\tleft\ttop\twidth\t"
            "height\tconf\ttext\n")


def word(block, line, wordno, box, conf, text):
    return "5\t1\t%d\t1\t%d\t%d\t%d\t%d\t%d\t%d\t%s\t%s\n" % (
        block, line, wordno, box[0], box[1], box[2], box[3], conf, text)


class AviTest(unittest.TestCase):
    def write(self, data):
        f = tempfile.NamedTemporaryFile(suffix=".avi", delete=False)
        f.write(data)
        f.close()
        self.addCleanup(os.unlink, f.name)
        return f.name

    def test_frames_in_order_skipping_other_chunks(self):
        data = riff(b"AVI ", [
            lst(b"hdrl", [chunk(b"avih", b"\0" * 56)]),
            lst(b"movi", [chunk(b"00dc", b"\xff\xd8one\xff\xd9"),   # odd length, padded
                          chunk(b"01wb", b"sound"),
                          chunk(b"00dc", b"\xff\xd8two\xff\xd9x")]),
            chunk(b"idx1", b"\0" * 16)])
        data += riff(b"AVIX", [lst(b"movi", [chunk(b"00db", b"three")])])
        self.assertEqual(tp.mjpeg_frames(self.write(data)),
                         [b"\xff\xd8one\xff\xd9", b"\xff\xd8two\xff\xd9x", b"three"])

    def test_cut_off_file_and_not_an_avi(self):
        data = riff(b"AVI ", [lst(b"movi", [chunk(b"00dc", b"abcdef"), chunk(b"00dc", b"ghijkl")])])
        self.assertEqual(tp.mjpeg_frames(self.write(data[:-3])), [b"abcdef", b"ghi"])
        with self.assertRaises(ValueError):
            tp.mjpeg_frames(self.write(b"\x89PNG\r\n\x1a\n" + b"\0" * 20))


@unittest.skipIf(shutil.which("ffmpeg") is None, "ffmpeg is not installed")
class FfmpegFramesTest(unittest.TestCase):
    def test_every_frame_of_an_mp4_as_png_and_the_folder_left_empty(self):
        with tempfile.TemporaryDirectory() as tmp:
            video = os.path.join(tmp, "v.mp4")
            subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                            "testsrc=size=64x48:rate=5", "-frames:v", "4", "-c:v", "mpeg4",
                            video], check=True)
            folder = os.path.join(tmp, "frames")
            os.makedirs(folder)
            frames = tp.ffmpeg_frames(video, folder)
            self.assertEqual(len(frames), 4)
            self.assertTrue(all(f.startswith(b"\x89PNG") for f in frames))
            self.assertEqual(os.listdir(folder), [])
            with open(os.path.join(tmp, "bad.mp4"), "wb") as f:
                f.write(b"not a video")
            with self.assertRaisesRegex(ValueError, "ffmpeg cannot decode"):
                tp.ffmpeg_frames(os.path.join(tmp, "bad.mp4"), folder)


class TsvTest(unittest.TestCase):
    def test_words_lines_and_confidence_order(self):
        tsv = (TSV_HEAD
               + "4\t1\t1\t1\t1\t0\t0\t0\t640\t40\t-1\t\n"          # line row, ignored
               + word(1, 1, 1, (100, 50, 200, 30), 60.0, "52473063")
               + word(2, 1, 1, (10, 200, 90, 30), 90.0, "5247")      # split number
               + word(2, 1, 2, (110, 202, 95, 30), 80.0, "3063")
               + word(3, 1, 1, (10, 300, 60, 20), 95.0, "1234567")   # seven digits
               + word(4, 1, 1, (10, 330, 60, 20), 70.0, "12a34567b8"))
        r = tp.parse_tsv(tsv)
        self.assertEqual([x["text"] for x in r], ["52473063", "12345678", "52473063"])
        self.assertEqual([r[0]["x"], r[0]["y"], r[0]["width"], r[0]["height"]],
                         [10, 200, 195, 32])
        self.assertEqual(r[0]["score"], 0.8)
        self.assertEqual(tp.parse_tsv(TSV_HEAD), [])
        self.assertEqual(tp.parse_tsv(""), [])


if __name__ == "__main__":
    unittest.main()
