#include "history.h"

#include <QByteArray>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace ortav::results {

namespace {

bool stored(const RunRecord &r) {
    return r.kind == kStore && r.verdict == "stored";
}

std::string moduleLabel(const RunRecord &r) {
    if (!r.asset.empty())
        return r.asset;
    return r.carrierResource + " position " + std::to_string(r.position);
}

ModuleKey keyOf(const RunRecord &r) {
    if (!r.asset.empty())
        return {r.asset, {}, {}, 0};
    return {{}, r.station, r.carrierResource, r.position};
}

Due dueOf(const RunRecord &last, int months, std::time_t now) {
    Due d;
    d.module = keyOf(last);
    d.label = moduleLabel(last);
    d.lastCalibration = last.finished;
    d.due = dueDate(last.finished, months);
    d.overdue = d.due <= now;
    d.soon = d.due <= now + static_cast<std::time_t>(kDueWithinDays) * 86400;
    return d;
}

} // namespace

double nominalResistor(int k) {
    return 18.75 * std::ldexp(1.0, k - 1);
}

std::time_t dueDate(std::time_t stored, int months) {
    return QDateTime::fromSecsSinceEpoch(stored, Qt::UTC).addMonths(months).toSecsSinceEpoch();
}

std::optional<Due> calibrationDue(Database &db, const ModuleKey &key, int months, std::time_t now) {
    std::optional<Due> due;
    for (const RunRecord &r : db.runs(key, kStore))
        if (stored(r) && (!due || r.finished >= due->lastCalibration))
            due = dueOf(r, months, now);
    return due;
}

std::vector<Due> dueModules(Database &db, int months, int withinDays, std::time_t now) {
    std::map<std::string, RunRecord> last; // by module
    for (const RunRecord &r : db.allRuns(kStore)) {
        if (!stored(r))
            continue;
        const std::string key = r.asset.empty() ? "\x01" + r.station + "\x01" + r.carrierResource +
                                                      "\x01" + std::to_string(r.position)
                                                : r.asset;
        auto it = last.find(key);
        if (it == last.end() || r.finished >= it->second.finished)
            last[key] = r;
    }
    std::vector<Due> list;
    for (const auto &[key, r] : last) {
        Due d = dueOf(r, months, now);
        if (d.due <= now + static_cast<std::time_t>(withinDays) * 86400)
            list.push_back(d);
    }
    std::sort(list.begin(), list.end(), [](const Due &a, const Due &b) {
        return a.due != b.due ? a.due < b.due : a.label < b.label;
    });
    return list;
}

bool imageResistors(const std::string &hex, double r[2][18]) {
    const QByteArray bytes = QByteArray::fromHex(QByteArray::fromStdString(hex));
    if (hex.size() != 688 || bytes.size() != 344)
        return false;
    // Little-endian doubles from offset 8, channel 1 then channel 2.
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 18; ++k) {
            unsigned char b[8];
            std::memcpy(b, bytes.constData() + 8 + (c * 18 + k) * 8, 8);
            std::uint64_t bits = 0;
            for (int i = 7; i >= 0; --i)
                bits = bits << 8 | b[i];
            std::memcpy(&r[c][k], &bits, 8);
        }
    return true;
}

std::vector<DriftPoint> drift(Database &db, const ModuleKey &key) {
    std::vector<DriftPoint> list;
    for (const RunRecord &r : db.runs(key, kStore)) {
        double values[2][18];
        if (!stored(r) || !imageResistors(r.coeffStored, values))
            continue;
        DriftPoint p;
        p.time = r.finished;
        p.runId = r.runId;
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < 18; ++k)
                p.relative[c][k] = (values[c][k] - nominalResistor(k + 1)) / nominalResistor(k + 1);
        list.push_back(p);
    }
    return list;
}

} // namespace ortav::results
