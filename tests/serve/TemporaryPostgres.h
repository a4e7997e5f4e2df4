#pragma once
#include <string>
#include <vector>

namespace kalvero {

// A PostgreSQL server of Debian's for the tests: its own cluster in a
// temporary folder, listening on a free localhost port, run as `nobody`
// when the tests run as root (PostgreSQL refuses root). Trust
// authentication: any password is let in, so the tests can put one in an
// address to check it is never shown.
//
// Under CTest one server serves the whole run: the fixture's first step
// (kalvero-test-postgres start) starts it and writes where it listens to a
// file, each test process finds it there, and the last step stops it. A
// test process run by hand, or one that finds no live server in the file,
// starts a server of its own, stopped and removed when the process ends.
// Either way every test gets a new database of its own (NewDatabase), so
// tests stay apart when CTest runs several at once.
class TemporaryPostgres {
public:
    // The server of this test process: the run's shared one, or one of its
    // own started at the first call.
    static TemporaryPostgres& Shared();

    // The fixture's steps: start a server that outlives this process and
    // write where it listens (or why it could not start) to `file`; stop the
    // server `file` names and remove both. Each returns a process status.
    static int StartForTestRun(const std::string& file);
    static int StopForTestRun(const std::string& file);

    // False when the server could not be started; WhyNot() then says why
    // (binaries absent, initdb or pg_ctl failing with their log).
    bool Running() const { return running_; }
    const std::string& WhyNot() const { return whyNot_; }

    // A new empty database; returns its address with a password in it,
    // "postgresql://kalvero:<password>@127.0.0.1:<port>/<name>".
    std::string NewDatabase();

    static constexpr const char* kPassword = "pw-never-shown-7731";

    ~TemporaryPostgres();
    TemporaryPostgres(const TemporaryPostgres&) = delete;
    TemporaryPostgres& operator=(const TemporaryPostgres&) = delete;

private:
    TemporaryPostgres() = default;
    void Start();
    // Takes the live server `file` names; false when there is none.
    bool UseServerOfTestRun(const std::string& file);

    std::string folder_;
    int port_ = 0;
    bool running_ = false;
    bool ownsServer_ = true;  // stops and removes it at the end
    std::string whyNot_;
    int databases_ = 0;
    std::vector<std::string> made_;  // databases made on a server not ours
};


}  // namespace kalvero
