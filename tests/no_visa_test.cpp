// A real VISA library named by ORTAV_VISA_LIBRARY that cannot be loaded: the
// operator is told why, and the program still reaches its loop with nothing
// open. The library is chosen once per process, so this runs on its own.
#include "front_panel_harness.h"

#include <QtTest>

using namespace harness;

class NoVisaTest : public QObject {
    Q_OBJECT
    Operator o;

private slots:
    void aMissingVisaLibraryIsToldAndNothingOpens() {
        qputenv("ORTAV_VISA_LIBRARY", "/nonexistent/libvisa.so");
        install(o);
        ortav::clock::setVirtual(true);
        char arg0[] = "p_ortav";
        char *argv[] = {arg0, nullptr};
        QCOMPARE(startUp(1, argv), 0);
        QCOMPARE(o.messages.size(), std::size_t(1));
        QVERIFY2(o.messages[0].rfind("ORTAV|Библиотека VISA не загружена:\n", 0) == 0,
                 o.messages[0].c_str());
        QVERIFY(o.chooserTitles.empty());
        QCOMPARE(mvi, ViSession(0));
        QCOMPARE(number(mp, MP_LED), 0.0);
        std::string title;
        GetPanelAttribute(mp, ATTR_TITLE, title);
        QCOMPARE(title, std::string("ORTAV")); // not the simulated bench
        QVERIFY(!ui::test::isShown(mp, MP_SIM_BAND));
        stop();
        QVERIFY(ui::test::unanswered().empty());
    }
};

QTEST_MAIN(NoVisaTest)
#include "no_visa_test.moc"
