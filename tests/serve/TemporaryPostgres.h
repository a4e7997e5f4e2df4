#pragma once
#include <string>

namespace kalvero {

// A PostgreSQL server of Debian's for the tests: its own cluster in a
// temporary folder, listening on a free localhost port, run as `nobody`
// when the tests run as root (PostgreSQL refuses root). Stopped and removed
// when the process ends. Trust authentication: any password is let in, so
// the tests can put one in an address to check it is never shown.
class TemporaryPostgres {
public:
    // The server of this test process, started at the first call.
    static TemporaryPostgres& Shared();

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
    TemporaryPostgres();
    void Start();

    std::string folder_;
    int port_ = 0;
    bool running_ = false;
    std::string whyNot_;
    int databases_ = 0;
};

// A localhost TCP port nobody listens on at the moment of the call.
int FreeLocalPort();

}  // namespace kalvero
