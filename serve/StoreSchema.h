#pragma once
#include <string>
#include <vector>

namespace kalvero {

// One step of the database's schema: what takes a database from the
// version before to `version`, in each store's dialect. A database records
// every step it took in its schema_version table, so that a step runs once.
struct SchemaStep {
    int version = 0;
    std::vector<std::string> sqlite;      // statements for SQLite
    std::vector<std::string> postgresql;  // statements for PostgreSQL
};

// The steps this kalvero-serve knows, oldest first. A later version of the
// schema adds a step at the end; a step once released never changes.
const std::vector<SchemaStep>& StoreSchemaSteps();

// The steps a database at `databaseVersion` still needs, oldest first.
// Throws StoreError when the database is newer than the last step (a newer
// kalvero-serve wrote it), or when the steps are not numbered 1, 2, 3...
std::vector<SchemaStep> StepsToTake(int databaseVersion, const std::vector<SchemaStep>& steps);

}  // namespace kalvero
