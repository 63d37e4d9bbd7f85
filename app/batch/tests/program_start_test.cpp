// The real program's command line and start, as a user at a terminal meets it:
// --help and --version in both modes, an unknown option, and a start without a
// usable display, which must end with one line and the usage status.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

// env: NAME=VALUE to set, NAME alone to remove; the display is removed unless set.
Run program(const QStringList &args, const QStringList &env = {}) {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "ORTAV_BENCH"})
        e.remove(name);
    for (const QString &v : env) {
        const qsizetype eq = v.indexOf('=');
        if (eq < 0)
            e.remove(v);
        else
            e.insert(v.left(eq), v.mid(eq + 1));
    }
    QProcess p;
    p.setProcessEnvironment(e);
    p.start(P_ORTAV, args);
    Run r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// A socket file left behind by a compositor that is gone: connecting is refused.
bool leftBehindSocket(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<size_t>(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound =
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    return ::close(fd) == 0 && bound;
}

const QString kHint = "run it with --batch for a headless run, or with QT_QPA_PLATFORM=offscreen\n";

} // namespace

class ProgramStartTest : public QObject {
    Q_OBJECT
    QTemporaryDir runtime_; // a user's runtime folder, for the Wayland socket
private slots:
    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out"); // a regular expression over the whole output
        QTest::addColumn<QString>("err"); // the whole of standard error
        const QString help = "^usage: p_ortav .*\\nBoth modes:\\n.*\\n  --bench FILE .*"
                             "\\nHeadless runs \\(--batch COMMAND\\):\\n.*\\n  --resource RSRC .*"
                             "\\nExit status: .*$";
        const QString usage = "usage: p_ortav [--bench FILE] [--visa NAME]\n"
                              "       p_ortav --batch selftest|calibrate|verify [options]\n"
                              "Try 'p_ortav --help' for all options.\n";
        QTest::newRow("help") << QStringList{"--help"} << QStringList{} << 0 << help << "";
        QTest::newRow("help in a headless run")
            << QStringList{"--batch", "verify", "-h"} << QStringList{} << 0 << help << "";
        // The version of the library and its integrity as the start-up checks them.
        const QString version = "^p_ortav 1\\.7\\.0\\n"
                                "ortav_math \\d+\\.\\d+\\.\\d+, /\\S+/libortav_math\\.so\\.\\d+, "
                                "CRC32=[0-9A-F]{8}: intact\\n"
                                "VISA: simulated bench, /\\S+/libortav_simvisa\\.so \\(.+\\)\\n$";
        QTest::newRow("version") << QStringList{"--version"} << QStringList{} << 0 << version << "";
        QTest::newRow("version of a headless run")
            << QStringList{"--batch", "selftest", "--version"} << QStringList{} << 0 << version
            << "";
        QTest::newRow("a VISA library that does not load")
            << QStringList{"--version", "--visa", "libnot_a_visa.so"} << QStringList{} << 0
            << "\\nVISA: not loaded: .*libnot_a_visa\\.so.*\\n$"
            << "";
        QTest::newRow("unknown option") << QStringList{"--frob"} << QStringList{} << 2 << "^$"
                                        << "p_ortav: unknown argument '--frob'\n" + usage;
        QTest::newRow("unknown option in a headless run")
            << QStringList{"--batch", "selftest", "-x"} << QStringList{} << 2 << "^$"
            << "p_ortav: unknown argument '-x'\n" + usage;
        QTest::newRow("no display")
            << QStringList{} << QStringList{} << 2 << "^$"
            << "p_ortav: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): " + kHint;
        QTest::newRow("a display that cannot be opened")
            << QStringList{"--bench", "none.yaml"} << QStringList{"DISPLAY=:97"} << 2 << "^$"
            << "p_ortav: the display cannot be opened (DISPLAY=:97): " + kHint;
        // A Wayland session and no X display to fall back on: the socket is not
        // there, there is no runtime folder to find it in (the client library
        // would complain on its own), or the socket is there with no compositor
        // behind it (Qt's Wayland plugin, where installed, tries it and fails).
        QVERIFY(runtime_.isValid() && leftBehindSocket(runtime_.filePath("wayland-97")));
        const QString wayland = "XDG_SESSION_TYPE=wayland";
        const QString runtime = "XDG_RUNTIME_DIR=" + runtime_.path();
        QTest::newRow("a Wayland socket that does not exist")
            << QStringList{"--bench", "none.yaml"}
            << QStringList{wayland, runtime, "WAYLAND_DISPLAY=wayland-96"} << 2 << "^$"
            << "p_ortav: the display cannot be opened (WAYLAND_DISPLAY=wayland-96): " + kHint;
        QTest::newRow("a Wayland display without a runtime folder")
            << QStringList{"--bench", "none.yaml"}
            << QStringList{wayland, "XDG_RUNTIME_DIR", "WAYLAND_DISPLAY=wayland-0"} << 2 << "^$"
            << "p_ortav: the display cannot be opened (WAYLAND_DISPLAY=wayland-0): " + kHint;
        QTest::newRow("a Wayland socket nobody listens on")
            << QStringList{"--bench", "none.yaml"}
            << QStringList{wayland, runtime, "WAYLAND_DISPLAY=wayland-97"} << 2 << "^$"
            << "p_ortav: the display cannot be opened (WAYLAND_DISPLAY=wayland-97): " + kHint;
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run r = program(args, env);
        QVERIFY2(r.code == code, qPrintable(r.out + r.err));
        const QRegularExpression expected(out, QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(expected.match(r.out).hasMatch(), qPrintable(r.out));
        QCOMPARE(r.err, err);
    }
};

QTEST_GUILESS_MAIN(ProgramStartTest)
#include "program_start_test.moc"
