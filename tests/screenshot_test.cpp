// Pictures of the panels for a reviewer: the main panel with each sheet, the
// self-test popup, the About panel and the chooser. Asserts only that each was
// produced and is not blank.
#include "front_panel_harness.h"

#include "ortav.h"

#include <QDir>
#include <QImage>
#include <QSet>
#include <QtTest>

using namespace harness;

class ScreenshotTest : public QObject {
    Q_OBJECT
    Operator o;

    void save(int panel, const char *name) {
        QDir().mkpath(ORTAV_SCREENSHOT_DIR);
        const QString path = QString(ORTAV_SCREENSHOT_DIR) + "/" + name + ".png";
        QFile::remove(path);
        ProcessSystemEvents();
        QVERIFY(ui::test::grabPanel(panel, path.toUtf8().constData()));
        QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 8, qPrintable(path + " looks blank"));
    }

private slots:
    void initTestCase() {
        install(o);
        QCOMPARE(start(), 0);
    }
    void cleanupTestCase() { stop(); }

    void mainPanelWithBothSheets() {
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 0));
        save(mp, "main_calibration");
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 1));
        // Two points judged by hand: one within its norm, one outside (red).
        for (auto [set, measured] : {std::pair{100.0, 100.05}, std::pair{1000.0, 1002.0}}) {
            QVERIFY(ui::test::enter(ppPanel, PP_R_Z, set));
            QVERIFY(ui::test::click(ppPanel, PP_SET));
            QVERIFY(ui::test::enter(ppPanel, PP_R_I, measured));
            QVERIFY(ui::test::click(ppPanel, PP_INPUT));
        }
        error("ortav_switch (mvi, chan, 1)", ORTAV_ERROR_BUSY);
        save(mp, "main_verification");
        DefaultCtrl(mp, MP_MSG);
        QVERIFY(ui::test::click(ppPanel, PP_WRITE_LOG));
        save(chlpPanel, "protocol");
        QVERIFY(ui::test::click(chlpPanel, CHLP_COMMANDBUTTON_2));
    }

    void otherPanels() {
        QVERIFY(ui::test::click(mp, MP_SELFTEST));
        save(stPanel, "selftest");
        QVERIFY(ui::test::click(stPanel, ST_CLOSE));
        DisplayPanel(aboutPanel);
        save(aboutPanel, "about");
        HidePanel(aboutPanel);
        DisplayPanel(siPanel);
        SetListInstrsNM();
        save(siPanel, "chooser");
        HidePanel(siPanel);
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
