// The results database's tables, created on first use and migrated from older
// versions; the same for the station's SQLite file and a shared PostgreSQL
// server (docs/results-db.md describes them).
#pragma once

#include <QSqlDatabase>

#include <string>

namespace ortav::results {

enum class Dialect { SQLite, PostgreSQL };

inline constexpr int kSchemaVersion = 3;

// Creates the tables as they were in the given version (1..kSchemaVersion) in
// an empty database. Older versions are there to test the migration with.
bool createSchema(QSqlDatabase &db, Dialect dialect, int version, std::string *error);

// Creates the current schema in an empty database, or brings an older one up
// to date, in one transaction held against other stations doing the same.
// Refuses a database of a newer version. Sets *version to what it holds after.
bool prepareSchema(QSqlDatabase &db, Dialect dialect, int *version, std::string *error);

// The columns of a run, in their order in the table (the current version).
const std::vector<const char *> &runColumns();

} // namespace ortav::results
