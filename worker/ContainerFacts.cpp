#include "worker/ContainerFacts.h"

#include <algorithm>
#include <cstdint>
#include <limits>

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

// AVI's demuxer gives each packet the count of the packets it has read.
bool CountsFramesRead(const AVFormatContext* context) {
    return context->iformat != nullptr && context->iformat->name != nullptr &&
           std::string(context->iformat->name) == "avi";
}

// A packet's index entry starts at most this many bytes before the packet's
// data (an AVI chunk's header).
constexpr std::int64_t kChunkHeaderBytes = 16;

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
    facts.timesCountFramesRead = CountsFramesRead(context);
    return facts;
}

PacketTimes ReadPacketTimes(const std::string& path) {
    PacketTimes times;
    const OpenedContainer container(path);
    AVFormatContext* context = container.get();
    if (context == nullptr || avformat_find_stream_info(context, nullptr) < 0) return times;
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) return times;
    AVStream* stream = context->streams[video];
    const double unitMs = av_q2d(stream->time_base) * 1000.0;
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const auto toMs = [&](std::int64_t stamp) { return static_cast<double>(stamp - start) * unitMs; };

    // The index of a demuxer that counts frames: entry times by position.
    std::vector<std::pair<std::int64_t, double>> indexed;  // (position, true time)
    if (CountsFramesRead(context)) {
        const int entries = avformat_index_get_entries_count(stream);
        for (int i = 0; i < entries; ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
            if (entry != nullptr && entry->pos >= 0) indexed.emplace_back(entry->pos, toMs(entry->timestamp));
        }
        std::sort(indexed.begin(), indexed.end());
    }
    // The true time of a packet at `position`, when an entry starts there.
    const auto indexedTime = [&](std::int64_t position) -> std::optional<double> {
        auto after = std::upper_bound(indexed.begin(), indexed.end(),
                                      std::make_pair(position, std::numeric_limits<double>::infinity()));
        if (after == indexed.begin()) return std::nullopt;
        --after;
        if (position - after->first > kChunkHeaderBytes) return std::nullopt;
        return after->second;
    };

    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) return times;
    int errors = 0;
    double shift = 0.0;  // true time less read time, as of the last packet found in the index
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
            if (pts != AV_NOPTS_VALUE) {
                const double readMs = toMs(pts);
                if (indexed.empty()) {
                    times.listedMs.push_back(readMs);
                } else {
                    if (const auto trueMs = packet->pos >= 0 ? indexedTime(packet->pos) : std::nullopt) {
                        shift = *trueMs - readMs;
                    }
                    times.readToTrueMs.emplace_back(readMs, readMs + shift);
                }
            }
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (!indexed.empty()) {
        for (const auto& entry : indexed) times.listedMs.push_back(entry.second);
        std::sort(times.readToTrueMs.begin(), times.readToTrueMs.end());
        // Nothing to translate when the demuxer lost nothing.
        if (std::all_of(times.readToTrueMs.begin(), times.readToTrueMs.end(),
                        [](const std::pair<double, double>& t) { return t.first == t.second; })) {
            times.readToTrueMs.clear();
        }
    }
    std::sort(times.listedMs.begin(), times.listedMs.end());
    times.listedMs.erase(std::unique(times.listedMs.begin(), times.listedMs.end()), times.listedMs.end());
    return times;
}

}  // namespace kalvero
