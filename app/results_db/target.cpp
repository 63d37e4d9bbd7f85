#include "target.h"

#include <QByteArray>
#include <QDir>
#include <QStandardPaths>
#include <QString>

namespace ortav::results {

namespace {

std::string percentDecoded(const std::string &s) {
    return QByteArray::fromPercentEncoding(QByteArray::fromStdString(s)).toStdString();
}

bool startsWith(const std::string &s, const char *prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

bool parseTarget(const std::string &text, Target &target, std::string *error) {
    auto fail = [&](const std::string &why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    target = Target{};
    if (text.empty())
        return fail("no database named");
    const char *scheme = startsWith(text, "postgresql://") ? "postgresql://"
                         : startsWith(text, "postgres://") ? "postgres://"
                                                           : nullptr;
    if (scheme == nullptr) {
        if (text.find("://") != std::string::npos)
            return fail(text + ": only postgresql:// servers and SQLite files are known");
        target.dialect = Dialect::SQLite;
        target.path = text;
        return true;
    }
    target.dialect = Dialect::PostgreSQL;
    std::string rest = text.substr(std::char_traits<char>::length(scheme));
    std::string query;
    if (const auto q = rest.find('?'); q != std::string::npos) {
        query = rest.substr(q + 1);
        rest.resize(q);
    }
    const auto slash = rest.find('/');
    if (slash == std::string::npos || slash + 1 == rest.size())
        return fail(text + ": no database named (postgresql://user@host/database)");
    target.database = percentDecoded(rest.substr(slash + 1));
    std::string authority = rest.substr(0, slash);
    if (const auto at = authority.rfind('@'); at != std::string::npos) {
        std::string userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        if (const auto colon = userInfo.find(':'); colon != std::string::npos) {
            target.password = percentDecoded(userInfo.substr(colon + 1));
            userInfo.resize(colon);
        }
        target.user = percentDecoded(userInfo);
    }
    if (const auto colon = authority.rfind(':'); colon != std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        authority.resize(colon);
        bool ok = false;
        target.port = QString::fromStdString(port).toInt(&ok);
        if (!ok || target.port <= 0 || target.port > 65535)
            return fail(text + ": the port " + port + " is not a port number");
    }
    target.host = percentDecoded(authority);
    for (std::size_t at = 0; at < query.size();) {
        std::size_t end = query.find('&', at);
        if (end == std::string::npos)
            end = query.size();
        const std::string item = query.substr(at, end - at);
        at = end + 1;
        const auto eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value =
            eq == std::string::npos ? "" : percentDecoded(item.substr(eq + 1));
        if (key == "host") {
            target.host = value;
        } else if (key == "port") {
            bool ok = false;
            target.port = QString::fromStdString(value).toInt(&ok);
            if (!ok || target.port <= 0 || target.port > 65535)
                return fail(text + ": the port " + value + " is not a port number");
        } else {
            return fail(text + ": the parameter " + key + " is not known");
        }
    }
    return true;
}

std::string describe(const Target &target) {
    if (target.dialect == Dialect::SQLite)
        return target.path;
    std::string s = "postgresql://";
    if (!target.user.empty())
        s += target.user + "@";
    const bool socket = !target.host.empty() && target.host[0] == '/';
    if (!socket)
        s += target.host;
    if (target.port != 0 && !socket)
        s += ":" + std::to_string(target.port);
    s += "/" + target.database;
    if (socket)
        s += "?host=" + target.host +
             (target.port != 0 ? "&port=" + std::to_string(target.port) : "");
    return s;
}

std::string defaultLocalPath() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(dir).filePath(QStringLiteral("results.sqlite")).toStdString();
}

} // namespace ortav::results
