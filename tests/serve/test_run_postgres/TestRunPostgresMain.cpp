// kalvero-test-postgres: the PostgreSQL server one CTest run of the service's
// tests shares (TemporaryPostgres). `start FILE` is the fixture's first step,
// `stop FILE` its last.
#include <cstdio>
#include <string>

#include "TemporaryPostgres.h"

int main(int argc, char** argv) {
    const std::string action = argc == 3 ? argv[1] : "";
    if (action == "start") return kalvero::TemporaryPostgres::StartForTestRun(argv[2]);
    if (action == "stop") return kalvero::TemporaryPostgres::StopForTestRun(argv[2]);
    std::fprintf(stderr, "usage: kalvero-test-postgres start|stop FILE\n");
    return 2;
}
