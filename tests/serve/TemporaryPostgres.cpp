#include "TemporaryPostgres.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace kalvero {
namespace {

const char* const kBinaries = "/usr/lib/postgresql/15/bin";

std::string FileText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs `argv` (as `nobody` when this process is root) with its output in
// `log`; returns its exit status, -1 when it could not run.
int RunProgram(std::vector<std::string> argv, const std::string& log) {
    if (geteuid() == 0) argv.insert(argv.begin(), {"/usr/sbin/runuser", "-u", "nobody", "--"});
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        std::vector<char*> args;
        for (std::string& arg : argv) args.push_back(arg.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int FreeLocalPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (probe < 0 || bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (probe >= 0) close(probe);
        throw std::runtime_error("no free localhost port");
    }
    close(probe);
    return ntohs(address.sin_port);
}

namespace {

// Stops and removes the servers of test processes that died without doing
// so themselves (a crash, a kill): each folder names its process in
// `owner`. Folders of live processes, and any folder without an owner yet,
// are left alone.
void RemoveOrphanedServers() {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/tmp", error)) {
        const std::string folder = entry.path().string();
        if (entry.path().filename().string().rfind("kalvero-postgres-", 0) != 0) continue;
        const std::string owner = FileText(folder + "/owner");
        const pid_t pid = static_cast<pid_t>(std::atoi(owner.c_str()));
        if (pid <= 0 || kill(pid, 0) == 0 || errno != ESRCH) continue;
        if (fs::exists(folder + "/data/postmaster.pid", error)) {
            RunProgram({std::string(kBinaries) + "/pg_ctl", "-D", folder + "/data", "-m", "immediate", "-w", "stop"},
                       "/dev/null");
        }
        fs::remove_all(folder, error);
    }
}

}  // namespace

TemporaryPostgres& TemporaryPostgres::Shared() {
    static TemporaryPostgres server;
    return server;
}

TemporaryPostgres::TemporaryPostgres() { Start(); }

void TemporaryPostgres::Start() {
    namespace fs = std::filesystem;
    if (!fs::exists(std::string(kBinaries) + "/initdb") || !fs::exists(std::string(kBinaries) + "/pg_ctl")) {
        whyNot_ = std::string("PostgreSQL's server is not installed (no initdb and pg_ctl in ") + kBinaries +
                  "; apt-get install postgresql)";
        return;
    }
    RemoveOrphanedServers();
    char pattern[] = "/tmp/kalvero-postgres-XXXXXX";
    if (!mkdtemp(pattern)) {
        whyNot_ = "cannot make a temporary folder for PostgreSQL";
        return;
    }
    folder_ = pattern;
    std::ofstream(folder_ + "/owner") << getpid() << "\n";
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            whyNot_ = "cannot hand the temporary folder to the user nobody that runs PostgreSQL";
            return;
        }
    }
    const std::string log = folder_ + "/log";
    const std::string data = folder_ + "/data";
    if (RunProgram({std::string(kBinaries) + "/initdb", "-D", data, "-U", "kalvero", "-A", "trust", "--no-sync",
                    "-E", "UTF8", "--locale=C"},
                   log) != 0) {
        whyNot_ = "initdb failed: " + FileText(log);
        return;
    }
    // A port taken between the probe and the start makes pg_ctl fail: try
    // another. The server does not sync its files (fsync=off): the tests
    // kill the store's process, never the server's, and what the server
    // has acknowledged survives that without a sync; its own crash safety
    // is PostgreSQL's to test.
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
        port_ = FreeLocalPort();
        const std::string options = "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) +
                                    " -c unix_socket_directories=" + folder_ + " -c fsync=off";
        running_ = RunProgram({std::string(kBinaries) + "/pg_ctl", "-D", data, "-o", options, "-l",
                               folder_ + "/server.log", "-w", "-t", "60", "start"},
                              log) == 0;
    }
    if (!running_) whyNot_ = "pg_ctl could not start PostgreSQL: " + FileText(log) + FileText(folder_ + "/server.log");
}

std::string TemporaryPostgres::NewDatabase() {
    const std::string name = "kalvero_test_" + std::to_string(getpid()) + "_" + std::to_string(++databases_);
    const std::string server = "postgresql://kalvero:" + std::string(kPassword) + "@127.0.0.1:" +
                               std::to_string(port_) + "/";
    PGconn* connection = PQconnectdb((server + "postgres").c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string reason = PQerrorMessage(connection);
        PQfinish(connection);
        throw std::runtime_error("cannot reach the temporary PostgreSQL: " + reason);
    }
    PGresult* result = PQexec(connection, ("CREATE DATABASE " + name).c_str());
    const bool made = PQresultStatus(result) == PGRES_COMMAND_OK;
    const std::string reason = PQerrorMessage(connection);
    PQclear(result);
    PQfinish(connection);
    if (!made) throw std::runtime_error("cannot create a database in the temporary PostgreSQL: " + reason);
    return server + name;
}

TemporaryPostgres::~TemporaryPostgres() {
    if (running_) {
        RunProgram({std::string(kBinaries) + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate", "-w", "stop"},
                   "/dev/null");
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

}  // namespace kalvero
