#include "cli/ReportWriter.h"

#include "cli/HtmlReport.h"
#include "cli/OutputCheck.h"

namespace kalvero {

namespace {
const char* const kTitle = "Kalvero: carriage passes";
}  // namespace

ReportWriter::~ReportWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ReportWriter::Prepare(std::string& error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!WriteReportFile(path_, HtmlReportPage(rows_, kTitle, true), error)) {
            return false;
        }
        ++rewrites_;
        lastWrite_ = std::chrono::steady_clock::now();
    }
    thread_ = std::thread([this] { RewriteLoop(); });
    return true;
}

void ReportWriter::Add(const std::vector<CarriagePass>& passes) {
    if (passes.empty()) {
        return;
    }
    // The rows (PNG encoding of the crops) are made outside the lock.
    std::vector<std::string> made;
    std::size_t first = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        first = rows_.size();
        rows_.resize(rows_.size() + passes.size());
    }
    made.reserve(passes.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        made.push_back(HtmlReportRow(passes[i], static_cast<int>(first + i) + 1));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < made.size(); ++i) {
            rows_[first + i] = std::move(made[i]);
        }
        dirty_ = true;
    }
    wake_.notify_all();
}

void ReportWriter::RewriteLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!finishing_) {
        wake_.wait(lock, [this] { return finishing_ || (dirty_ && !writeFailed_); });
        if (finishing_) {
            break;
        }
        // At most one page a kRewriteInterval: wait out the rest of it
        // (Finish cuts the wait short and writes itself).
        const auto due = lastWrite_ + kRewriteInterval;
        if (wake_.wait_until(lock, due, [this] { return finishing_; })) {
            break;
        }
        WriteLocked(true);
    }
}

void ReportWriter::WriteLocked(bool running) {
    // Rows still being made by another thread's Add are empty: they come
    // with the next rewrite.
    // A failure is kept, not handed on: the run's threads take failures
    // without a lock, and the last page decides anyway.
    if (!WriteReportFile(path_, HtmlReportPage(rows_, kTitle, running), lastError_)) {
        writeFailed_ = true;
    } else {
        writeFailed_ = false;
        lastError_.clear();
        ++rewrites_;
    }
    dirty_ = false;
    lastWrite_ = std::chrono::steady_clock::now();
}

void ReportWriter::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    WriteLocked(false);
    if (writeFailed_) {
        Fail(OutputFailure(lastError_));
    }
}

int ReportWriter::Rewrites() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rewrites_;
}

}  // namespace kalvero
