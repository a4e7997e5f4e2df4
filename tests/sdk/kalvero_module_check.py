"""The installed kalvero module, run by InstallTest with /usr/bin/python3:
KALVERO_FRAMES names a raw file of the default sample's frames (BGR, the
shape in KALVERO_FRAME_SHAPE as "count,height,width"), KALVERO_SAMPLE the
sample video itself."""
import os
import threading
import unittest

import numpy

import kalvero

NUMBER = "52473063"


def sample_frames():
    count, height, width = (int(v) for v in os.environ["KALVERO_FRAME_SHAPE"].split(","))
    raw = numpy.fromfile(os.environ["KALVERO_FRAMES"], dtype=numpy.uint8)
    return raw.reshape(count, height, width, 3)


class ReaderTest(unittest.TestCase):
    def test_frames_confirm_the_number_and_finish_gives_its_pass(self):
        reader = kalvero.Reader()
        confirmed = set()
        for index, frame in enumerate(sample_frames()):
            result = reader.read(frame, timestamp=index / 25.0)
            self.assertEqual(result.frame_number, index + 1)
            if result.confirmed is not None:
                confirmed.add(result.confirmed)
            for reading in result.readings:
                self.assertEqual(len(reading.box), 4)
                self.assertEqual(len(reading.digit_scores), len(reading.text))
                self.assertEqual(reading.check_digit, reading.text == NUMBER)
        self.assertEqual(confirmed, {NUMBER})
        rest = reader.finish()
        self.assertEqual([(p.number, p.first_frame, p.last_frame) for p in rest.passes], [(NUMBER, 1, 60)])
        self.assertEqual(rest.passes[0].direction, "left")

    def test_grey_and_sliced_frames_read(self):
        frame = sample_frames()[30]
        grey = numpy.ascontiguousarray(frame[:, :, 1])
        sliced = frame[:, ::1, :][10:, :, :]  # a view, rows not from the start
        for picture in (grey, sliced, numpy.asfortranarray(frame)):
            result = kalvero.Reader(confirm_frames=1).read(picture)
            self.assertEqual([r.text for r in result.readings][:1], [NUMBER])
            self.assertEqual(result.confirmed, NUMBER)

    def test_bad_input_raises_with_the_message(self):
        reader = kalvero.Reader()
        with self.assertRaisesRegex(TypeError, "uint8"):
            reader.read(numpy.zeros((10, 10, 3), numpy.float32))
        with self.assertRaisesRegex(ValueError, "HxWx3"):
            reader.read(numpy.zeros((10, 10, 4), numpy.uint8))
        with self.assertRaisesRegex(ValueError, "width and height"):
            reader.read(numpy.zeros((0, 10, 3), numpy.uint8))
        with self.assertRaisesRegex(ValueError, "unknown engine"):
            kalvero.Reader(engine="neural")
        with self.assertRaisesRegex(ValueError, "threshold"):
            kalvero.Reader(vote_depth=10, vote_threshold=20)
        with self.assertRaisesRegex(ValueError, "does not fit"):
            kalvero.Reader(zone=(600, 0, 100, 100)).read(sample_frames()[0])
        with self.assertRaisesRegex(OSError, "cannot open"):
            list(kalvero.read_file("/nonexistent/sample.mkv"))

    def test_readers_on_threads_read_alike(self):
        frames = sample_frames()[:20]
        outcomes = [None] * 3

        def run(slot):
            reader = kalvero.Reader()
            outcomes[slot] = [(tuple(r.text for r in reader.read(f).readings)) for f in frames]

        threads = [threading.Thread(target=run, args=(slot,)) for slot in range(3)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(outcomes[0], outcomes[1])
        self.assertEqual(outcomes[0], outcomes[2])
        self.assertIn((NUMBER,), outcomes[0])


class ReadFileTest(unittest.TestCase):
    def test_yields_the_passes(self):
        passes = list(kalvero.read_file(os.environ["KALVERO_SAMPLE"]))
        self.assertEqual([(p.number, p.first_frame, p.last_frame, p.check_digit) for p in passes],
                         [(NUMBER, 1, 60, True)])
        self.assertTrue(kalvero.__version__)


if __name__ == "__main__":
    unittest.main()
