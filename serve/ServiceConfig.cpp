#include "serve/ServiceConfig.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <yaml-cpp/yaml.h>

#include "cli/ReaderOptions.h"
#include "command_line/OptionNumbers.h"
#include "command_line/PrintableText.h"
#include "worker/FrameSource.h"
#include "serve/WebhookAddress.h"

namespace kalvero {

namespace {

// A mistake in the file, at a line of it (1-based).
struct ConfigProblem {
    int line = 0;
    std::string message;
};

int LineOf(const YAML::Node& node) {
    const YAML::Mark mark = node.Mark();
    return mark.line >= 0 ? mark.line + 1 : 0;
}

ConfigProblem ProblemAt(const YAML::Node& node, const std::string& message) {
    return ConfigProblem{LineOf(node), message};
}

// The keys of a mapping, each once and each one of `known`; `where` says
// whose keys they are ("" at the top, " in camera 'east'").
void CheckKeys(const YAML::Node& map, const std::set<std::string>& known, const std::string& where) {
    std::set<std::string> seen;
    for (const auto& entry : map) {
        const YAML::Node& key = entry.first;
        if (!key.IsScalar()) {
            throw ProblemAt(key, "a key must be a plain word" + where);
        }
        const std::string name = key.Scalar();
        if (known.count(name) == 0) {
            throw ProblemAt(key, "unknown key '" + PrintableText(name) + "'" + where);
        }
        if (!seen.insert(name).second) {
            throw ProblemAt(key, "key '" + name + "' given twice" + where);
        }
    }
}

// The line of `key` in `map` (the map's own when it has no such key).
int LineOfKey(const YAML::Node& map, const std::string& key) {
    for (const auto& entry : map) {
        if (entry.first.IsScalar() && entry.first.Scalar() == key) {
            return LineOf(entry.first);
        }
    }
    return LineOf(map);
}

// The value of `key` in `map` as text: a scalar, not empty.
std::string TextOf(const YAML::Node& map, const std::string& key, const std::string& where) {
    const YAML::Node value = map[key];
    if (!value.IsScalar() || value.Scalar().empty()) {
        throw ConfigProblem{LineOfKey(map, key), key + " needs a value" + where};
    }
    return value.Scalar();
}

bool HasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

// `path` as seen from `folder` when it is relative.
std::string FromFolder(const std::string& folder, const std::string& path) {
    if (path.empty() || path[0] == '/' || folder.empty()) {
        return path;
    }
    return folder + "/" + path;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// An empty text when `url` is a stream address the reader reads, with a
// host (a udp:// address may leave it out to listen on every address),
// else why not.
std::string StreamAddressProblem(const std::string& url) {
    const std::size_t colon = url.find("://");
    const std::string scheme = Lower(url.substr(0, colon));
    if (!IsStreamAddress(url)) {
        return "url '" + PrintableText(url) + "': '" + PrintableText(scheme) +
               "://' is not a stream the service reads (rtsp, rtmp, http, https, udp, tcp, srt); "
               "a file is given by its path";
    }
    std::string authority = url.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        authority = authority.substr(at + 1);
    }
    std::string host = authority;
    if (!host.empty() && host[0] == '[') {
        host = host.substr(0, host.find(']') + 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    const bool port = authority.size() > host.size() + 1 && authority[host.size()] == ':';
    if (host.empty() && !(scheme == "udp" && port)) {
        return "url '" + PrintableText(url) + "' names no host";
    }
    if (HasControl(url) || url.find(' ') != std::string::npos) {
        return "url '" + PrintableText(url) + "' holds a blank or a control character";
    }
    return "";
}

// The reader's option each camera key stands for.
const std::map<std::string, std::string>& ReaderOptionOfKey() {
    static const std::map<std::string, std::string> options = {
        {"zone", "--zone"},   {"engine", "--engine"}, {"zoom", "--zoom"},
        {"digit_height", "--digit-height"}, {"depth", "--depth"}, {"threshold", "--threshold"}};
    return options;
}

// Checks the camera's reading options with kalvero-read's own rules and
// fills them in: a message of the reader ("--zoom 2 is out of range
// (0.3..1.0)") is said with the key and its line.
void ReadReaderOptions(const YAML::Node& node, const std::string& where, CameraConfig& camera) {
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> given;  // (key, option)
    for (const auto& [key, option] : ReaderOptionOfKey()) {
        const YAML::Node value = node[key];
        if (!value.IsDefined()) {
            continue;
        }
        std::string text;
        if (key == "zone") {
            if (!value.IsSequence() || value.size() != 4 ||
                !std::all_of(value.begin(), value.end(), [](const YAML::Node& n) { return n.IsScalar(); })) {
                throw ConfigProblem{LineOfKey(node, key), "zone must be [X, Y, W, H] in scaled-frame pixels" + where};
            }
            for (const YAML::Node& part : value) {
                text += (text.empty() ? "" : ",") + part.Scalar();
            }
        } else {
            text = TextOf(node, key, where);
        }
        args.insert(args.end(), {option, text});
        given.emplace_back(key, option);
    }
    args.insert(args.end(), {"--", camera.url});
    ReaderOptions options;
    const ParseOutcome outcome = ParseReaderOptions(args, options);
    if (!outcome.ok()) {
        // The message starts with the option at fault.
        std::string message = outcome.message;
        int line = LineOf(node);
        for (const auto& [key, option] : given) {
            if (message.rfind(option, 0) == 0) {
                line = LineOfKey(node, key);
            }
        }
        for (const auto& [key, option] : ReaderOptionOfKey()) {
            std::size_t at = 0;
            while ((at = message.find(option, at)) != std::string::npos) {
                message.replace(at, option.size(), key);
                at += key.size();
            }
        }
        throw ConfigProblem{line, message + where};
    }
    camera.hasZone = options.hasZone;
    camera.zone = options.zone;
    camera.engine = options.engine;
    camera.zoom = options.zoom;
    camera.digitHeight = options.hasDigitHeight ? options.digitHeight : 0;
    if (node["depth"].IsDefined()) {
        camera.depth = options.depth;
    }
    if (node["threshold"].IsDefined()) {
        camera.threshold = options.threshold;
    }
}

CameraConfig ReadCamera(const YAML::Node& node, const std::string& folder) {
    if (!node.IsMap()) {
        throw ProblemAt(node, "a camera is a mapping with name and url");
    }
    CameraConfig camera;
    camera.line = LineOf(node);
    std::string where = " in a camera";
    if (node["name"].IsDefined() && node["name"].IsScalar() && !node["name"].Scalar().empty()) {
        camera.name = node["name"].Scalar();
        where = " in camera '" + PrintableText(camera.name) + "'";
    }
    CheckKeys(node, {"name", "url", "zone", "engine", "zoom", "digit_height", "depth", "threshold"}, where);
    if (!node["name"].IsDefined()) {
        throw ProblemAt(node, "a camera has no name");
    }
    camera.name = TextOf(node, "name", where);
    if (HasControl(camera.name)) {
        throw ConfigProblem{LineOfKey(node, "name"),
                            "camera name '" + PrintableText(camera.name) + "' holds a control character"};
    }
    if (!node["url"].IsDefined()) {
        throw ProblemAt(node, "camera '" + PrintableText(camera.name) + "' has no url");
    }
    camera.url = TextOf(node, "url", where);
    if (camera.url.find("://") != std::string::npos) {
        const std::string problem = StreamAddressProblem(camera.url);
        if (!problem.empty()) {
            throw ProblemAt(node["url"], problem + where);
        }
    } else {
        camera.isFile = true;
        camera.url = FromFolder(folder, camera.url);
    }
    ReadReaderOptions(node, where, camera);
    return camera;
}

WebhookConfig ReadWebhook(const YAML::Node& node) {
    if (!node.IsMap()) {
        throw ProblemAt(node, "a webhook is a mapping with url and, optionally, secret");
    }
    const std::string where = " in a webhook";
    CheckKeys(node, {"url", "secret"}, where);
    if (!node["url"].IsDefined()) {
        throw ProblemAt(node, "a webhook has no url");
    }
    WebhookConfig webhook;
    webhook.url = TextOf(node, "url", where);
    const std::string scheme = Lower(webhook.url.substr(0, webhook.url.find("://") + 3));
    const bool web = scheme == "http://" || scheme == "https://";
    const std::string rest = web ? webhook.url.substr(scheme.size()) : "";
    if (!web || rest.empty() || rest[0] == '/' || rest[0] == ':' || HasControl(webhook.url) ||
        webhook.url.find(' ') != std::string::npos) {
        throw ProblemAt(node["url"], "webhook url '" + PrintableText(webhook.url) +
                                         "' is not an http:// or https:// address with a host");
    }
    // The sender's own reading of the address: one it could not post to is
    // refused here rather than dropped at the first pass.
    std::string unusable;
    if (!WebhookAddress::Parse(webhook.url, unusable)) {
        throw ProblemAt(node["url"], "webhook url '" + PrintableText(webhook.url) + "': " + unusable);
    }
    if (node["secret"].IsDefined()) {
        webhook.secret = TextOf(node, "secret", where);
    }
    return webhook;
}

// "host:port" with a port of 0..65535 ("[::1]:8080" for IPv6).
void CheckListen(const YAML::Node& value, const std::string& listen) {
    const std::size_t colon = listen.rfind(':');
    const std::string host = colon == std::string::npos ? "" : listen.substr(0, colon);
    int port = 0;
    if (host.empty() || host == "[]" || ParseWholeOption("port", listen.substr(colon + 1), 0, 65535, port) != "" ||
        HasControl(listen)) {
        throw ProblemAt(value, "listen '" + PrintableText(listen) + "' is not host:port (port 0..65535) in http");
    }
}

std::string ReadTokenFile(const YAML::Node& value, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        throw ProblemAt(value, "token_file '" + PrintableText(path) + "' cannot be read");
    }
    std::string token = text.str();
    while (!token.empty() && std::isspace(static_cast<unsigned char>(token.back()))) {
        token.pop_back();
    }
    if (token.empty()) {
        throw ProblemAt(value, "token_file '" + PrintableText(path) + "' is empty");
    }
    return token;
}

void ReadHttp(const YAML::Node& node, const YAML::Node& top, const std::string& folder, ServiceConfig& config) {
    const std::string where = " in http";
    if (!node.IsDefined() || node.IsNull()) {
        throw ProblemAt(node.IsDefined() ? node : top, "http with its token (or token_file) is missing");
    }
    if (!node.IsMap()) {
        throw ProblemAt(node, "http is a mapping with listen and token (or token_file)");
    }
    CheckKeys(node, {"listen", "token", "token_file"}, where);
    if (node["listen"].IsDefined()) {
        config.listen = TextOf(node, "listen", where);
        CheckListen(node["listen"], config.listen);
    }
    const bool token = node["token"].IsDefined();
    const bool tokenFile = node["token_file"].IsDefined();
    if (token == tokenFile) {
        throw ProblemAt(token ? node["token_file"] : node,
                        token ? "token and token_file both given in http: give one"
                              : "http needs token or token_file");
    }
    if (token) {
        config.token = TextOf(node, "token", where);
    } else {
        config.token = ReadTokenFile(node["token_file"], FromFolder(folder, TextOf(node, "token_file", where)));
    }
}

void ReadConfig(const YAML::Node& top, const std::string& folder, ServiceConfig& config) {
    if (!top.IsMap()) {
        throw ProblemAt(top, "the configuration is a mapping of storage, http, cameras and webhooks");
    }
    CheckKeys(top, {"storage", "http", "cameras", "webhooks"}, "");
    if (top["storage"].IsDefined()) {
        config.storage = TextOf(top, "storage", "");
    }
    ReadHttp(top["http"], top, folder, config);
    const YAML::Node cameras = top["cameras"];
    if (cameras.IsDefined() && !cameras.IsNull()) {
        if (!cameras.IsSequence()) {
            throw ProblemAt(cameras, "cameras is a list, each camera starting with '- name:'");
        }
        for (const YAML::Node& node : cameras) {
            CameraConfig camera = ReadCamera(node, folder);
            for (const CameraConfig& earlier : config.cameras) {
                if (earlier.name == camera.name) {
                    throw ConfigProblem{LineOfKey(node, "name"), "camera name '" + PrintableText(camera.name) +
                                                                     "' is used twice (first at line " +
                                                                     std::to_string(earlier.line) + ")"};
                }
            }
            config.cameras.push_back(std::move(camera));
        }
    }
    const YAML::Node webhooks = top["webhooks"];
    if (webhooks.IsDefined() && !webhooks.IsNull()) {
        if (!webhooks.IsSequence()) {
            throw ProblemAt(webhooks, "webhooks is a list, each webhook starting with '- url:'");
        }
        for (const YAML::Node& node : webhooks) {
            config.webhooks.push_back(ReadWebhook(node));
        }
    }
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return "";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A number as the reader's options take it back.
std::string RealText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

bool ParseServiceConfig(const std::string& text, const std::string& name, const std::string& folder,
                        ServiceConfig& config, std::string& error) {
    config = ServiceConfig{};
    const std::string shown = PrintableText(name);
    try {
        const YAML::Node top = YAML::Load(text);
        if (!top.IsDefined() || top.IsNull()) {
            error = shown + ":1: the configuration is empty";
            return false;
        }
        ReadConfig(top, folder, config);
        return true;
    } catch (const ConfigProblem& problem) {
        error = shown + ":" + std::to_string(problem.line) + ": " + problem.message;
    } catch (const YAML::Exception& e) {
        error = shown + (e.mark.line >= 0 ? ":" + std::to_string(e.mark.line + 1) : std::string()) + ": " + e.msg;
    }
    config = ServiceConfig{};
    return false;
}

bool LoadServiceConfig(const std::string& path, ServiceConfig& config, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        error = "cannot read the configuration '" + PrintableText(path) + "'";
        return false;
    }
    return ParseServiceConfig(text.str(), path, FolderOf(path), config, error);
}

std::vector<std::string> ReaderArguments(const CameraConfig& camera) {
    std::vector<std::string> args = {"--engine", EngineName(camera.engine), "--zoom", RealText(camera.zoom)};
    if (camera.hasZone) {
        args.insert(args.end(), {"--zone", std::to_string(camera.zone.x) + "," + std::to_string(camera.zone.y) +
                                               "," + std::to_string(camera.zone.width) + "," +
                                               std::to_string(camera.zone.height)});
    }
    if (camera.digitHeight > 0) {
        args.insert(args.end(), {"--digit-height", std::to_string(camera.digitHeight)});
    }
    if (camera.depth) {
        args.insert(args.end(), {"--depth", std::to_string(*camera.depth)});
    }
    if (camera.threshold) {
        args.insert(args.end(), {"--threshold", std::to_string(*camera.threshold)});
    }
    args.insert(args.end(), {"--", camera.url});
    return args;
}

std::string ShownUrl(const CameraConfig& camera) {
    const std::size_t start = camera.url.find("://");
    if (camera.isFile || start == std::string::npos) {
        return camera.url;
    }
    const std::size_t end = camera.url.find_first_of("/?#", start + 3);
    const std::size_t at = camera.url.rfind('@', end);
    if (at == std::string::npos || at < start + 3) {
        return camera.url;
    }
    return camera.url.substr(0, start + 3) + camera.url.substr(at + 1);
}

}  // namespace kalvero
