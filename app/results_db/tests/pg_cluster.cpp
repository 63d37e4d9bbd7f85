#include "pg_cluster.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace ortav::results::test {

namespace {

// The newest installed server's programs (Debian keeps them per major version).
std::string serverPrograms() {
    if (const char *bin = std::getenv("ORTAV_PG_BIN"))
        return bin;
    std::string best;
    int bestVersion = 0;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        const int v = std::atoi(e.path().filename().c_str());
        if (v > bestVersion && std::filesystem::exists(e.path() / "bin" / "initdb")) {
            bestVersion = v;
            best = (e.path() / "bin").string();
        }
    }
    return best;
}

} // namespace

PgCluster::~PgCluster() {
    stop();
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

bool PgCluster::run(const std::string &command, std::string *output) {
    // The server's user must be able to stand in the working folder.
    std::string line = "cd '" + dir_ + "' && ";
    line += asNobody_ ? "runuser -u nobody -- " + command : command;
    line += " 2>&1";
    std::FILE *p = popen(line.c_str(), "r");
    if (p == nullptr)
        return false;
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr)
        text += buffer;
    const int status = pclose(p);
    if (output != nullptr)
        *output = line + ":\n" + text;
    return status == 0;
}

bool PgCluster::start(std::string *error) {
    bin_ = serverPrograms();
    if (bin_.empty()) {
        *error = "no PostgreSQL server programs in /usr/lib/postgresql/*/bin "
                 "(scripts/install-deps.sh installs them)";
        return false;
    }
    char pattern[] = "/tmp/ortav_pg_XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        *error = "mkdtemp failed";
        return false;
    }
    dir_ = pattern;
    asNobody_ = geteuid() == 0;
    if (asNobody_) {
        const passwd *nobody = getpwnam("nobody");
        if (nobody == nullptr || chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            *error = "cannot give " + dir_ + " to the user nobody";
            return false;
        }
    }
    const std::string data = dir_ + "/data";
    if (!run(bin_ + "/initdb -D " + data + " -U ortav -A trust -E UTF8 --no-locale --no-sync",
             error))
        return false;
    running_ = true;
    return restart() || (*error = "pg_ctl start failed; see " + dir_ + "/log", false);
}

bool PgCluster::stop() {
    if (!running_)
        return true;
    running_ = false;
    return run(bin_ + "/pg_ctl -D " + dir_ + "/data -m immediate -w stop");
}

bool PgCluster::restart() {
    stop();
    // No TCP at all; fsync off: a test's cluster need not survive a power cut.
    const bool ok =
        run(bin_ + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/log -w -o \"-k " + dir_ +
            " -c listen_addresses= -c fsync=off -c full_page_writes=off\" start");
    running_ = ok;
    return ok;
}

Target PgCluster::target(const std::string &database) const {
    Target t;
    t.dialect = Dialect::PostgreSQL;
    t.user = "ortav";
    t.host = dir_;
    t.database = database;
    return t;
}

bool PgCluster::createDatabase(const std::string &name, std::string *error) {
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pg_admin"));
        db.setHostName(QString::fromStdString(dir_));
        db.setUserName(QStringLiteral("ortav"));
        db.setDatabaseName(QStringLiteral("postgres"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(QString::fromStdString(name)));
            if (!ok)
                *error = q.lastError().text().toStdString();
            db.close();
        } else {
            *error = db.lastError().text().toStdString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pg_admin"));
    return ok;
}

} // namespace ortav::results::test
