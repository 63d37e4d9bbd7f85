// The integrity check of ortav_math looks at the file the program runs, not at a
// copy a search finds first: the real executable, headless, with a tampered
// library loaded through LD_LIBRARY_PATH beside an intact copy in the working
// folder, and the other way round. A headless run stops at a modified library
// unless told to go on, and its JSON summary names the file and the result.
#include "batch_test_support.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char *const kBench = "name: integrity test\n"
                           "resources:\n"
                           "  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: "
                           "0x10D, mainframe_la: 0, la: 8}\n"
                           "carriers:\n"
                           "  - resource: VXI0::8::INSTR\n"
                           "    positions:\n"
                           "      1: {type: ortav, hw_version: 2}\n"
                           "      3: 32\n"
                           "multimeters:\n"
                           "  - {kind: tarnel, resource: VXI0::8::INSTR, position: 3}\n";

// A copy of the built library; tampered, one byte longer (the CRC no longer
// matches, the library still loads).
bool copyMath(const QString &to, bool tampered) {
    if (!QFile::copy(ORTAV_MATH_FILE, to))
        return false;
    if (!tampered)
        return true;
    QFile f(to);
    return f.open(QIODevice::Append) && f.write("x", 1) == 1;
}

} // namespace

class MathIntegrityTest : public QObject {
    Q_OBJECT

private slots:
    void theLoadedFileIsChecked_data() {
        QTest::addColumn<bool>("tamperLoaded");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("result"); // in the JSON summary; empty: none written
        QTest::newRow("tampered library loaded, intact copy in the working folder")
            << true << QStringList{"--batch", "selftest"} << 3 << "";
        QTest::newRow("the same, allowed")
            << true << QStringList{"--batch", "verify", "--allow-modified-math"} << 0 << "modified";
        QTest::newRow("intact library loaded, tampered copy in the working folder")
            << false << QStringList{"--batch", "verify"} << 0 << "intact";
    }
    void theLoadedFileIsChecked() {
        QFETCH(bool, tamperLoaded);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, result);
        QTemporaryDir work, libs;
        QVERIFY(work.isValid() && libs.isValid());
        QVERIFY(batchtest::writeFile(work.filePath("bench.yaml"), kBench));
        // The decoy in the working folder, which the search would find first.
        QVERIFY(copyMath(work.filePath("libortav_math.so"), !tamperLoaded));
        QString loaded = QFileInfo(ORTAV_MATH_FILE).path() + "/" ORTAV_MATH_SONAME;
        QProcessEnvironment env = batchtest::withoutDisplay(batchtest::programEnvironment());
        if (tamperLoaded) {
            loaded = libs.filePath(ORTAV_MATH_SONAME);
            QVERIFY(copyMath(loaded, true));
            env.insert("LD_LIBRARY_PATH", libs.path());
        }
        const batchtest::Result r = batchtest::runProgram(
            P_ORTAV, args + QStringList{"--bench", "bench.yaml"}, work.path(), env);
        const QByteArray out = QByteArray::fromStdString(r.out),
                         err = QByteArray::fromStdString(r.err);
        QVERIFY2(r.code == code, (out + err).constData());
        const QByteArray warning = "Некорректная контрольная сумма";
        QVERIFY2(err.contains(warning) == tamperLoaded, err.constData());
        if (code == 3)
            QVERIFY2(err.contains(("p_ortav: " + loaded + ": ").toUtf8()), err.constData());
        else if (tamperLoaded) // at start-up and again by the About panel's line
            QCOMPARE(err.count("p_ortav: message \"ВНИМАНИЕ!\": Некорректная контрольная сумма"),
                     2);
        if (!result.isEmpty()) {
            const std::string json = batchtest::readAll(work.filePath("ortav.json"));
            QCOMPARE(batchtest::jsonText(json, "result"), result);
            QCOMPARE(batchtest::jsonText(json, "file"), loaded);
        } else {
            QVERIFY(!QFile::exists(work.filePath("ortav.log")));
        }
    }

    void theVersionNamesTheFileInUse() {
        QTemporaryDir work, libs;
        QVERIFY(work.isValid() && libs.isValid());
        QVERIFY(copyMath(work.filePath("libortav_math.so"), false));
        const QString loaded = libs.filePath(ORTAV_MATH_SONAME);
        QVERIFY(copyMath(loaded, true));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", libs.path());
        const batchtest::Result r = batchtest::runProgram(P_ORTAV, {"--version"}, work.path(), env);
        const QByteArray out = QByteArray::fromStdString(r.out);
        QCOMPARE(r.code, 0);
        QVERIFY2(out.contains((", " + loaded + ", CRC32=").toUtf8()), out.constData());
        QVERIFY2(out.contains(": MODIFIED (embedded checksum "), out.constData());
    }
};

QTEST_GUILESS_MAIN(MathIntegrityTest)
#include "math_integrity_test.moc"
