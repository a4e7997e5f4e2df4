#pragma once
#include <string>
#include <vector>

namespace kalvero {
namespace testing_cli {

// Media for the tests of damaged files and container times, made from our
// own sample scenes and re-encoded by the ffmpeg program.

// The ffmpeg program is there.
bool FfmpegInstalled();

// Runs a shell command quietly; true when it exits with status 0.
bool RunQuietly(const std::string& command);

// One carriage going by per number, `framesEach` frames each, one after the
// other in a Motion-JPEG AVI of 320x240 at 25 fps written by OpenCV at
// `path`. Numbers hold their check digit. False when it cannot be written.
bool WritePassesVideo(const std::string& path, const std::vector<std::string>& numbers, int framesEach);

// Eight-digit numbers whose check digit holds, different from each other.
std::vector<std::string> PassNumbers(int count);

// Copies `from` to `to` with `length` bytes in the middle replaced by
// random bytes drawn from `seed`.
bool CopyDamaged(const std::string& from, const std::string& to, long length, unsigned seed);

// Copies the AVI `from` to `to` with the pictures of `count` video frames
// from frame `first` (0-based) overwritten by random bytes past their first
// 200 bytes, the chunks around them left whole: the demuxer hands the
// frames out and the decoder refuses them. False without an idx1 index.
bool CopyWithUndecodableFrames(const std::string& from, const std::string& to, int first, int count);

// The frames the ffmpeg program decodes of `path` (-1 when it cannot say).
long long FramesFfmpegDecodes(const std::string& path);

}  // namespace testing_cli
}  // namespace kalvero
