#include "cli/InputList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "command_line/LowerCase.h"
#include "command_line/PrintableText.h"
#include "worker/FrameSource.h"

namespace kalvero {

bool IsMediaName(const std::string& path) {
    if (IsStillImageName(path)) {
        return true;
    }
    const std::string ext = LowerCase(std::filesystem::path(path).extension().string());
    static const char* const kVideo[] = {".avi", ".mp4", ".mkv", ".mov", ".m4v", ".mpg", ".mpeg",
                                         ".ts",  ".mts", ".m2ts", ".wmv", ".flv", ".webm", ".3gp",
                                         ".ogv", ".mjpeg", ".h264", ".h265", ".hevc"};
    return std::any_of(std::begin(kVideo), std::end(kVideo),
                       [&](const char* known) { return ext == known; });
}

bool IsStreamUrl(const std::string& name) { return IsStreamAddress(name); }

InputList ExpandInputs(const std::vector<std::string>& names) {
    namespace fs = std::filesystem;
    InputList list;
    for (const std::string& name : names) {
        std::error_code error;
        if (IsStreamUrl(name) || !fs::is_directory(fs::path(name), error)) {
            list.inputs.push_back(name);
            continue;
        }
        std::vector<std::string> found;
        fs::recursive_directory_iterator it(fs::path(name), fs::directory_options::none, error);
        const fs::recursive_directory_iterator end;
        while (!error && it != end) {
            const fs::path& path = it->path();
            const bool hidden = path.filename().string().rfind('.', 0) == 0;
            if (hidden && it->is_directory(error)) {
                it.disable_recursion_pending();
            } else if (!hidden && !it->is_directory(error) && IsMediaName(path.string())) {
                found.push_back(path.string());
            }
            it.increment(error);
        }
        if (error) {
            list.failures.push_back("cannot list '" + PrintableText(name) + "': " + error.message());
        }
        std::sort(found.begin(), found.end());
        if (found.empty() && !error) {
            // Nothing to read under it: the folder itself stays an input,
            // which then fails to open like any other that is not a video.
            found.push_back(name);
        }
        list.inputs.insert(list.inputs.end(), found.begin(), found.end());
    }
    return list;
}

}  // namespace kalvero
