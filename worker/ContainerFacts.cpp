#include "worker/ContainerFacts.h"

#include <algorithm>
#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/parseutils.h>
}

namespace kalvero {

namespace {

// An opened container, closed when it goes.
class OpenedContainer {
public:
    explicit OpenedContainer(const std::string& path) {
        if (avformat_open_input(&context_, path.c_str(), nullptr, nullptr) < 0) context_ = nullptr;
    }
    ~OpenedContainer() {
        if (context_ != nullptr) avformat_close_input(&context_);
    }
    OpenedContainer(const OpenedContainer&) = delete;
    OpenedContainer& operator=(const OpenedContainer&) = delete;
    AVFormatContext* get() const { return context_; }

private:
    AVFormatContext* context_ = nullptr;
};

// A run of read errors this long without a packet ends the scan (a file
// damaged past the demuxer's resynchronisation).
constexpr int kMaxReadErrors = 1000;

}  // namespace

std::optional<std::chrono::system_clock::time_point> CreationTimeFrom(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::string utc = text;
    const char last = utc.back();
    if (last != 'Z' && last != 'z') utc += 'Z';  // av_parse_time would take it as local time
    std::int64_t microseconds = 0;
    if (av_parse_time(&microseconds, utc.c_str(), 0) < 0) return std::nullopt;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::microseconds(microseconds)));
}

ContainerFacts ReadContainerFacts(const std::string& path) {
    ContainerFacts facts;
    const OpenedContainer container(path);
    AVFormatContext* context = container.get();
    if (context == nullptr) return facts;
    const AVDictionaryEntry* tag = av_dict_get(context->metadata, "creation_time", nullptr, 0);
    for (unsigned i = 0; tag == nullptr && i < context->nb_streams; ++i) {
        if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            tag = av_dict_get(context->streams[i]->metadata, "creation_time", nullptr, 0);
        }
    }
    if (tag != nullptr && tag->value != nullptr) facts.creationTime = CreationTimeFrom(tag->value);
    return facts;
}

std::vector<double> PresentationTimesMs(const std::string& path) {
    std::vector<double> times;
    const OpenedContainer container(path);
    AVFormatContext* context = container.get();
    if (context == nullptr || avformat_find_stream_info(context, nullptr) < 0) return times;
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) return times;
    const AVStream* stream = context->streams[video];
    const double unitMs = av_q2d(stream->time_base) * 1000.0;
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) return times;
    int errors = 0;
    for (;;) {
        const int got = av_read_frame(context, packet);
        if (got == AVERROR_EOF) break;
        if (got < 0) {
            if (++errors > kMaxReadErrors || avio_feof(context->pb)) break;
            continue;
        }
        errors = 0;
        if (packet->stream_index == video) {
            const std::int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (pts != AV_NOPTS_VALUE) times.push_back(static_cast<double>(pts - start) * unitMs);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

}  // namespace kalvero
