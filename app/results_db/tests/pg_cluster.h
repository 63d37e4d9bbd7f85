// A throw-away PostgreSQL server for tests: a cluster made with initdb in a
// temporary folder, listening only on a Unix socket there, stopped and removed
// at the end. PostgreSQL refuses to run as root: as root the cluster belongs
// to the unprivileged user "nobody" and its programs run as that user.
#pragma once

#include "target.h"

#include <string>

namespace ortav::results::test {

class PgCluster {
public:
    PgCluster() = default;
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    // initdb and start. False with the reason (*error) when either fails.
    bool start(std::string *error);
    bool stop();
    bool restart();
    // A new empty database on the server.
    bool createDatabase(const std::string &name, std::string *error);
    Target target(const std::string &database) const;

private:
    bool run(const std::string &command, std::string *output = nullptr);
    std::string bin_, dir_;
    bool running_ = false;
    bool asNobody_ = false;
};

} // namespace ortav::results::test
