// What the headless-run tests share: a run's output captured, the real
// program run as a process of its own, and the files a run leaves read back.
#pragma once

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace batchtest {

struct Result {
    int code = -1;
    std::string out, err;
};

// A program's main, with its standard output and error.
using Main = std::function<int(int argc, char *argv[], std::FILE *out, std::FILE *err)>;

// Runs main with args after "p_ortav", its output captured.
inline Result captured(const Main &main, std::vector<std::string> args) {
    args.insert(args.begin(), "p_ortav");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    char *outText = nullptr, *errText = nullptr;
    std::size_t outSize = 0, errSize = 0;
    std::FILE *out = open_memstream(&outText, &outSize);
    std::FILE *err = open_memstream(&errText, &errSize);
    Result r;
    r.code = main(static_cast<int>(args.size()), argv.data(), out, err);
    std::fclose(out);
    std::fclose(err);
    r.out = outText;
    r.err = errText;
    std::free(outText);
    std::free(errText);
    return r;
}

// The file's bytes; empty when it is missing or not a regular file (a FIFO
// would hold the test).
// The benches of the headless runs: one ORTAV (version 2 unless `module`
// says) and the mezzanine multimeter beside it on a VXI carrier. `module`
// adds keys to the ORTAV, `meter` to the multimeter.
inline std::string oneModuleBench(const std::string &name, const std::string &module = "",
                                  const std::string &meter = "") {
    return "name: " + name +
           "\n"
           "resources:\n"
           "  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D,"
           " mainframe_la: 0, la: 8}\n"
           "carriers:\n"
           "  - resource: VXI0::8::INSTR\n"
           "    positions:\n"
           "      1: {type: ortav" +
           (module.find("hw_version") == std::string::npos ? ", hw_version: 2" : "") +
           (module.empty() ? "" : ", " + module) +
           "}\n"
           "      3: 32\n"
           "multimeters:\n"
           "  - {kind: tarnel, resource: VXI0::8::INSTR, position: 3" +
           (meter.empty() ? "" : ", " + meter) + "}\n";
}
// The stored image is off the real resistors by up to 1 %: points fail in both modes.
inline const std::string kStaleImage = "eeprom: {image: valid, deviation: 0.01, seed: 5}";

inline std::string readAll(const QString &path) {
    if (!QFileInfo(path).isFile())
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

inline bool writeFile(const QString &path, const std::string &text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(text.data(), static_cast<qint64>(text.size())) ==
               static_cast<qint64>(text.size()) &&
           f.flush();
}

// The environment the real program runs in: the bench from its --bench only,
// and the virtual clock (every wait passes at once) unless told otherwise.
inline QProcessEnvironment programEnvironment(bool virtualClock = true) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("ORTAV_BENCH");
    env.remove("ORTAV_VIRTUAL_CLOCK");
    if (virtualClock)
        env.insert("ORTAV_VIRTUAL_CLOCK", "1");
    return env;
}

// The same as a shell without a display has it (without a runtime folder Qt
// has a note of its own to make).
inline QProcessEnvironment withoutDisplay(QProcessEnvironment env) {
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
        env.remove(name);
    return env;
}

// The real program run to its end in the folder. code -1 when it did not end
// by itself within two minutes (crashed, or hung).
inline Result runProgram(const QString &program, const QStringList &args, const QString &folder,
                         const QProcessEnvironment &env = programEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, args);
    Result r;
    const bool ended = p.waitForFinished(120000);
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    if (ended && p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    else if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(10000);
    }
    return r;
}

// The value of a JSON text field (the first of that name); "<missing>" when
// there is none.
inline QString jsonText(const std::string &json, const QString &key) {
    const auto m =
        QRegularExpression("\"" + key + "\": \"([^\"]*)\"").match(QString::fromStdString(json));
    return m.hasMatch() ? m.captured(1) : QString("<missing>");
}

} // namespace batchtest
