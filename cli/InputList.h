#pragma once
#include <string>
#include <vector>

namespace kalvero {

// The inputs of one kalvero-read run, from the names on its command line.
struct InputList {
    std::vector<std::string> inputs;   // in reading order
    std::vector<std::string> failures; // one message per directory that could not be listed
};

// True for the extensions of the videos and still images a directory is
// searched for (any letter case).
bool IsMediaName(const std::string& path);

// True for a stream address the reader hands to FFmpeg as it is (rtsp://,
// rtmp://, http://, https://, udp://, tcp://, srt://).
bool IsStreamUrl(const std::string& name);

// Expands the names: a directory gives every video and still image under
// it, at any depth, in name order (hidden entries skipped), or itself when
// there is none (to be reported as not readable); anything else,
// a stream address included, is taken as it is, in the order given.
InputList ExpandInputs(const std::vector<std::string>& names);

}  // namespace kalvero
