// A bench file named on the command line that cannot be read stops the program
// with one message naming the file, the line and the problem. A process loads
// its bench once, so this runs in a process of its own.
#include "front_panel_harness.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace harness;

class BadBenchTest : public QObject {
    Q_OBJECT
    Operator o;

private slots:
    void aMalformedBenchStopsTheProgramWithOneMessage() {
        install(o);
        ortav::clock::setVirtual(true);
        QTemporaryDir dir;
        const QString file = dir.filePath("bad.yaml");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("name: bad\nresources:\n  - {name: VXI0::8::INSTR, slot: many}\n");
        f.close();
        QByteArray path = file.toUtf8();
        char arg0[] = "p_ortav", option[] = "--bench";
        char *argv[] = {arg0, option, path.data(), nullptr};
        QCOMPARE(ortavMain(3, argv), -1);
        QCOMPARE(o.messages.size(), std::size_t(1));
        const QString message = QString::fromStdString(o.messages[0]);
        QVERIFY2(message.contains(file + ":3:"), qPrintable(message));
        QVERIFY(o.chooserTitles.empty());
        QVERIFY(ui::test::unanswered().empty());
    }
};

QTEST_MAIN(BadBenchTest)
#include "bad_bench_test.moc"
