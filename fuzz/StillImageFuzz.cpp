// kalvero-read on a still image made of the fuzz bytes: the file goes
// through the reader's own probe and frame source (decoding it as the run
// loop does) and, when it decodes, through the run loop, the vote and the
// text or JSON output.
//
// Input: flags byte, digit height byte, zoom byte, then the image file.
// Flags: bits 0-2 the file extension, bit 3 --json, bit 4 --explain,
// bit 5 --verbose.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Reader.h"
#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace kalvero::fuzz {

namespace {

const char* const kExtensions[] = {"png", "jpg", "jpeg", "bmp", "tif", "tiff", "PNG", "Jpg"};

std::string ScratchPath(const char* extension) {
    return (std::filesystem::temp_directory_path() /
            ("kalvero-fuzz-still-" + std::to_string(::getpid()) + "." + extension))
        .string();
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

int LineCount(const std::string& text) {
    int lines = 0;
    for (const char c : text) lines += c == '\n' ? 1 : 0;
    return lines;
}

}  // namespace

void EnsureDecoderPixelLimit(char** argv) {
    if (std::getenv(kPixelLimitVariable) != nullptr) return;
    setenv(kPixelLimitVariable, kPixelLimit, 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "cannot restart with %s set: %s\n", kPixelLimitVariable, std::strerror(errno));
    std::abort();
}

void FuzzStillImage(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint8_t flags = in.Byte();
    const int digitHeight = 16 + in.Byte() % 84;
    const int zoomTenths = 3 + in.Byte() % 8;
    const std::string path = ScratchPath(kExtensions[flags & 7]);
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(in.Rest()), static_cast<std::streamsize>(in.Remaining()));
        FUZZ_CHECK(file.good());
    }

    const bool json = (flags & 8) != 0;
    std::vector<std::string> args = {path, "--digit-height", std::to_string(digitHeight), "--zoom",
                                     "0." + std::to_string(zoomTenths), "--threshold", "1"};
    if (zoomTenths == 10) args[4] = "1.0";
    if (json) args.push_back("--json");
    if ((flags & 16) != 0) {
        // --explain traces the glyph engine's search.
        args.push_back("--explain");
        args.push_back("--engine=glyph");
    }
    if ((flags & 32) != 0) args.push_back("--verbose");

    std::ostringstream out;
    std::ostringstream err;
    const int status = RunReader(args, out, err, ReaderEnvironment{});
    std::remove(path.c_str());

    // Whatever the bytes: a clear answer, never an internal error.
    FUZZ_CHECK(status == kExitOk || status == kExitFile);
    if (status == kExitFile) {
        FUZZ_CHECK(out.str().empty());
        FUZZ_CHECK(StartsWith(err.str(), "kalvero-read: cannot "));
        FUZZ_CHECK(LineCount(err.str()) == 1);
        return;
    }
    // A still image plays as a video of one frame.
    const std::string& report = json ? err.str() : out.str();
    FUZZ_CHECK(report.find("Summary: 1 frame read") != std::string::npos);
    if (json) FUZZ_CHECK(StartsWith(out.str(), "{\"frame\": 1,") && LineCount(out.str()) == 1);
}

}  // namespace kalvero::fuzz
