#include "serve/Service.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>

#include "KalveroVersion.h"
#include "cli/LineForwarder.h"
#include "cli/TimeOfDay.h"
#include "command_line/CommandLine.h"
#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

// How often the service looks whether it is asked to stop.
constexpr std::chrono::milliseconds kStopPoll{100};

// "127.0.0.1:8080" as listened on: the port taken when 0 was asked for.
std::string ListenedAddress(const std::string& listen, int port) {
    const std::size_t colon = listen.rfind(':');
    return (colon == std::string::npos ? listen : listen.substr(0, colon)) + ":" + std::to_string(port);
}

}  // namespace

Service::Service(ServiceConfig config, std::ostream& log) : config_(std::move(config)), log_(log) {}

Service::~Service() { Stop(); }

void Service::Say(const std::string& source, const std::string& line) {
    const std::string text = IsoUtc(std::chrono::system_clock::now()) + " " + source + ": " + line + "\n";
    std::lock_guard<std::mutex> lock(logMutex_);
    log_ << text;
    log_.flush();
}

std::unique_ptr<std::ostream> Service::LogFor(const std::string& source) {
    return std::make_unique<LineForwarder>([this, source](const std::string& text) {
        Say(source, text.back() == '\n' ? text.substr(0, text.size() - 1) : text);
    });
}

bool Service::Start(std::string& error) {
    if (running_) {
        return true;
    }
    try {
        store_ = OpenPassStore(config_.storage);
    } catch (const StoreError& e) {
        error = std::string("cannot open the store: ") + e.what();
        return false;
    }
    std::vector<std::string> webhooks;
    for (const WebhookConfig& webhook : config_.webhooks) {
        webhooks.push_back(webhook.url);
    }
    // The cameras are the unit of parallel work: OpenCV's own thread pool
    // would only make them fight for the same cores.
    if (config_.cameras.size() > 1) {
        cv::setNumThreads(1);
    }

    // Webhooks post from the store's outbox on a thread of their own; the
    // web page and the API are served on theirs.
    senderLog_ = LogFor("webhooks");
    sender_ = std::make_unique<WebhookSender>(*store_, config_.webhooks, *senderLog_);
    sender_->Start();
    serverLog_ = LogFor("web");
    server_ = std::make_unique<WebServer>(
        ServiceView{*store_, board_, [this] { return sender_->Counts(); }, webhooks, config_.token}, *serverLog_);
    if (!server_->Start(config_.listen, error)) {
        server_.reset();
        sender_->Stop();
        sender_.reset();
        store_.reset();
        return false;
    }
    Say("service", "web page and API on http://" + ListenedAddress(config_.listen, server_->Port()) + "/");
    storing_ = std::make_unique<StoringQueue>(
        *store_, webhooks, [this](const std::string& source, const std::string& line) { Say(source, line); },
        [this](const StoredPass& pass) {
            board_.PassStored(pass.camera);
            sender_->Wake();
        });
    storing_->Start();
    Say("service", "started: " + std::to_string(config_.cameras.size()) + " cameras, passes stored in " +
                       PrintableText(config_.storage.rfind("postgres", 0) == 0 ? "PostgreSQL" : config_.storage));
    for (const CameraConfig& camera : config_.cameras) {
        auto runner = std::make_unique<CameraRunner>(
            camera, board_, [this](StoredPass pass) { storing_->Add(std::move(pass)); },
            [this, name = camera.name](const std::string& line) { Say(name, line); });
        runner->Start();
        cameras_.push_back(std::move(runner));
    }
    running_ = true;
    return true;
}

void Service::Stop() {
    if (!running_) {
        return;
    }
    running_ = false;
    Say("service", "stopping");
    for (auto& camera : cameras_) {
        camera->Stop();
    }
    for (auto& camera : cameras_) {
        camera->Join();
    }
    cameras_.clear();
    const std::size_t lost = storing_->Stop();
    storing_.reset();
    // The page answers until the last pass is stored; deliveries still
    // waiting stay in the outbox for the next start.
    server_->Stop();
    server_.reset();
    sender_->Stop();
    sender_.reset();
    store_.reset();
    Say("service", lost == 0 ? "stopped" : "stopped; " + std::to_string(lost) + " passes could not be stored");
}

std::string ServiceUsage() {
    return "Usage: kalvero-serve --config FILE\n"
           "Reads the carriage numbers of every camera in FILE (YAML) at once, stores each\n"
           "pass as it ends, announces it to the webhooks and shows the passes in a web page.\n"
           "Runs until SIGTERM, SIGINT or SIGHUP; the passes the stop ends are stored.\n"
           "\n"
           "  storage: /var/lib/kalvero/passes.db   # SQLite file, or postgresql://user:pw@host/db\n"
           "  http:\n"
           "    listen: 127.0.0.1:8080\n"
           "    token: change-me                    # or token_file: PATH\n"
           "  cameras:\n"
           "    - name: east\n"
           "      url: rtsp://camera-east/stream1   # or http(s)://, udp://, srt://, or a file path\n"
           "      zone: [0, 110, 640, 80]           # optional: as kalvero-read --zone; engine, zoom,\n"
           "                                        # digit_height, depth and threshold too\n"
           "  webhooks:\n"
           "    - url: https://yard.example/passes\n"
           "      secret: hmac-key                  # optional: X-Kalvero-Signature\n"
           "\n"
           "A file camera is read once at each start of the service, its passes timed from\n"
           "that moment; a stream camera is read for as long as the service runs and tried\n"
           "again whenever it breaks off.\n"
           "\n"
           "Options:\n"
           "  --config FILE   the configuration\n"
           "  --help          this text\n"
           "  --version       the program version\n"
           "\n"
           "Exit status: 0 stopped on request, 1 the store cannot be opened,\n"
           "2 wrong option or a mistake in the configuration.\n";
}

int RunService(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const std::function<bool()>& stopRequested) {
    static const OptionNames kNames{{"--help", "-h", "--version"}, {"--config"}};
    std::vector<CommandWord> words;
    std::string problem = SplitCommandLine(args, kNames, words);
    std::string configPath;
    bool help = false;
    bool version = false;
    for (const CommandWord& word : words) {
        if (!problem.empty()) {
            break;
        }
        if (word.IsOperand()) {
            problem = "unexpected argument '" + PrintableText(word.value) + "'";
        } else if (word.name == "--config") {
            configPath = word.value;
        } else if (word.name == "--version") {
            version = true;
        } else {
            help = true;
        }
    }
    if (problem.empty() && !help && !version && configPath.empty()) {
        problem = "no --config FILE given";
    }
    if (!problem.empty()) {
        err << "kalvero-serve: " << problem << "\nTry 'kalvero-serve --help'.\n";
        return kServeUsage;
    }
    if (help || version) {
        out << (help ? ServiceUsage() : std::string("kalvero-serve (Kalvero) " KALVERO_VERSION_TEXT "\n"));
        out.flush();
        return kServeOk;
    }
    ServiceConfig config;
    std::string error;
    if (!LoadServiceConfig(configPath, config, error)) {
        err << "kalvero-serve: " << error << "\n";
        return kServeUsage;
    }
    // OpenCV's and FFmpeg's own complaints about a stream or a frame repeat
    // the service's lines in a less helpful form.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);

    Service service(std::move(config), err);
    if (!service.Start(error)) {
        err << "kalvero-serve: " << error << "\n";
        return kServeFailure;
    }
    while (!stopRequested()) {
        std::this_thread::sleep_for(kStopPoll);
    }
    service.Stop();
    return kServeOk;
}

}  // namespace kalvero
