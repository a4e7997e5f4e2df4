#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/OutputWriter.h"

namespace kalvero {

// --report FILE: one HTML page of every input's passes (HtmlReport),
// rewritten while the run goes on as passes end, at most once per
// kRewriteInterval (a page thread writes what came in since), and once more
// at the end. Every rewrite is atomic: the page on disk is always whole.
//
// Add may be called from several threads at once.
class ReportWriter : public OutputWriter {
public:
    static constexpr std::chrono::milliseconds kRewriteInterval{1000};

    explicit ReportWriter(std::string path) : path_(std::move(path)) {}
    ~ReportWriter() override;
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Before anything is read: writes the page with no pass yet (the one
    // of an earlier run stays until it is whole) and starts the page
    // thread. False with `error` when it cannot be written.
    bool Prepare(std::string& error);

    // The passes join the page (in the order given) and the page is
    // rewritten soon.
    void Add(const std::vector<CarriagePass>& passes);
    // A pass of this writer's own input, as it ends.
    void Pass(const CarriagePass& pass) override { Add({pass}); }
    // The last rewrite, with every pass; the page thread ends. A page
    // that cannot be written then is the writer's failure (a rewrite that
    // failed before is only retried: the last page is what is left).
    void Finish() override;
    bool WantsImage() const override { return true; }

    // Pages written so far (the empty one of Prepare included).
    int Rewrites() const;

private:
    void RewriteLoop();
    // Writes the page from the rows; called with the mutex held.
    void WriteLocked(bool running);

    std::string path_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::string> rows_;  // the page's rows, rendered as the passes came
    bool dirty_ = false;              // rows the page on disk does not have yet
    bool finishing_ = false;
    bool writeFailed_ = false;        // the last page could not be written
    std::string lastError_;           // why
    int rewrites_ = 0;
    std::chrono::steady_clock::time_point lastWrite_{};
    std::thread thread_;
};

}  // namespace kalvero
