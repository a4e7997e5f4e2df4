#include "TemporaryPostgres.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "support/LocalPort.h"

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
    static const bool ready = [] {
#ifdef KALVERO_TEST_POSTGRES_FILE
        if (server.UseServerOfTestRun(KALVERO_TEST_POSTGRES_FILE)) return true;
#endif
        server.Start();
        return true;
    }();
    (void)ready;
    return server;
}

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
    // is PostgreSQL's to test. Room for the connections of several test
    // processes at once when one server serves a whole CTest run.
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
        port_ = UnusedLocalPort();
        const std::string options = "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) +
                                    " -c unix_socket_directories=" + folder_ + " -c fsync=off -c max_connections=200";
        running_ = RunProgram({std::string(kBinaries) + "/pg_ctl", "-D", data, "-o", options, "-l",
                               folder_ + "/server.log", "-w", "-t", "60", "start"},
                              log) == 0;
    }
    if (!running_) whyNot_ = "pg_ctl could not start PostgreSQL: " + FileText(log) + FileText(folder_ + "/server.log");
}

namespace {

std::string ServerAddress(int port) {
    return "postgresql://kalvero:" + std::string(TemporaryPostgres::kPassword) + "@127.0.0.1:" +
           std::to_string(port) + "/";
}

// Runs `sql` on the server's maintenance database; an empty string when it
// went through, else what went wrong.
std::string RunOnServer(int port, const std::string& sql) {
    PGconn* connection = PQconnectdb((ServerAddress(port) + "postgres").c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string reason = "cannot reach the temporary PostgreSQL: " + std::string(PQerrorMessage(connection));
        PQfinish(connection);
        return reason;
    }
    PGresult* result = PQexec(connection, sql.c_str());
    const bool done = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    const std::string reason = done ? "" : PQerrorMessage(connection);
    PQclear(result);
    PQfinish(connection);
    return reason;
}

// The first line of the server's postmaster.pid: the server's process.
pid_t ServerProcess(const std::string& data) {
    return static_cast<pid_t>(std::atoi(FileText(data + "/postmaster.pid").c_str()));
}

}  // namespace

std::string TemporaryPostgres::NewDatabase() {
    // The process and a random part: test processes of one run share the
    // server, and a process id can come back within a run.
    std::random_device random;
    const std::string name = "kalvero_test_" + std::to_string(getpid()) + "_" + std::to_string(++databases_) + "_" +
                             std::to_string(random() % 1000000);
    const std::string reason = RunOnServer(port_, "CREATE DATABASE " + name);
    if (!reason.empty()) throw std::runtime_error("cannot create a database in the temporary PostgreSQL: " + reason);
    if (!ownsServer_) made_.push_back(name);
    return ServerAddress(port_) + name;
}

// The file the fixture writes: "running <port> <folder>" while its server
// runs, or "unavailable" and the reason on the lines after it.
bool TemporaryPostgres::UseServerOfTestRun(const std::string& file) {
    std::istringstream text(FileText(file));
    std::string state;
    text >> state;
    if (state == "unavailable") {
        std::getline(text, whyNot_);
        whyNot_.assign(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>());
        ownsServer_ = false;
        return true;
    }
    int port = 0;
    if (state != "running" || !(text >> port)) return false;
    // A file left by a run that was cut short names a server long gone.
    if (!RunOnServer(port, "SELECT 1").empty()) return false;
    port_ = port;
    running_ = true;
    ownsServer_ = false;
    return true;
}

int TemporaryPostgres::StartForTestRun(const std::string& file) {
    StopForTestRun(file);  // one left by a run that was cut short
    TemporaryPostgres server;
    server.Start();
    std::ofstream out(file + ".new");
    if (server.running_) {
        // The folder is the server's for as long as the server lives: other
        // test processes' sweeps (RemoveOrphanedServers) leave it alone.
        std::ofstream(server.folder_ + "/owner") << ServerProcess(server.folder_ + "/data") << "\n";
        out << "running " << server.port_ << " " << server.folder_ << "\n";
    } else {
        // The tests skip with the reason, as they would on their own.
        out << "unavailable\n" << server.whyNot_;
    }
    out.close();
    if (!out || std::rename((file + ".new").c_str(), file.c_str()) != 0) {
        std::fprintf(stderr, "kalvero-test-postgres: cannot write %s\n", file.c_str());
        return 1;
    }
    if (server.running_) {
        std::printf("PostgreSQL for this test run on port %d\n", server.port_);
    } else {
        std::printf("no PostgreSQL for this test run: %s\n", server.whyNot_.c_str());
    }
    // It runs on after this process: the last step stops it.
    server.running_ = false;
    server.folder_.clear();
    return 0;
}

int TemporaryPostgres::StopForTestRun(const std::string& file) {
    std::istringstream text(FileText(file));
    std::string state;
    int port = 0;
    std::string folder;
    text >> state >> port >> folder;
    if (state == "running" && folder.rfind("/tmp/kalvero-postgres-", 0) == 0) {
        if (std::filesystem::exists(folder + "/data/postmaster.pid")) {
            RunProgram({std::string(kBinaries) + "/pg_ctl", "-D", folder + "/data", "-m", "immediate", "-w", "stop"},
                       "/dev/null");
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::remove(file.c_str());
    return 0;
}

TemporaryPostgres::~TemporaryPostgres() {
    if (running_ && !ownsServer_) {
        // The run's server goes on: what this process made there goes.
        for (const std::string& name : made_) RunOnServer(port_, "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        return;
    }
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
