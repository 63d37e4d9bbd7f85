// The front panel driven as an operator drives it, on the simulated bench:
// start-up, the chooser, the module opening, the status line, reset, the
// self-test popup, the exit question, the verification sheet's mode and the
// message panel.
#include "front_panel_harness.h"

#include "embed.h"
#include "kelmor_crc32.h"
#include "linked_parts.h"
#include "msgp.h"
#include "ortav.h"
#include "panels.h"
#include "visa_library.h"

#include <QImage>
#include <QTableWidget>
#include <QtTest>

#include <cstdlib>
#include <tuple>

using namespace harness;

namespace {

// One VXI carrier in slot 3 of crate 0x20: given positions; nothing else.
std::string vxiCarrier(const std::string &positions) {
    return "name: test\n"
           "resources:\n"
           "  - {name: VXI0::8::INSTR, slot: 3, manufacturer: 0xC5B, model: 0x10D,"
           " mainframe_la: 0x20}\n"
           "carriers:\n"
           "  - resource: VXI0::8::INSTR\n"
           "    positions:\n" +
           positions;
}

// How many sides of `button` are marked when it has the focus: along a side,
// nearly every step has a pixel within 4 of the edge that differs clearly from
// the same button after `other` took the focus. -1: the focus could not be
// given or taken.
int focusMarkedSides(int panel, int button, int other) {
    QWidget *b = CtrlWidget(panel, button);
    QWidget *o = CtrlWidget(panel, other);
    // The window the operator works in has the keyboard.
    b->window()->activateWindow();
    QCoreApplication::processEvents();
    b->setFocus(Qt::TabFocusReason);
    if (!b->hasFocus())
        return -1;
    const QImage focused = b->grab().toImage();
    o->setFocus(Qt::TabFocusReason);
    if (b->hasFocus() || !o->hasFocus())
        return -1;
    const QImage plain = b->grab().toImage();
    if (focused.size() != plain.size())
        return -1;
    const auto differs = [&](int x, int y) {
        const QColor f = focused.pixelColor(x, y), p = plain.pixelColor(x, y);
        return std::abs(f.red() - p.red()) + std::abs(f.green() - p.green()) +
                   std::abs(f.blue() - p.blue()) >
               96;
    };
    const int w = plain.width(), h = plain.height(), band = 4;
    // A side counts when 90 % of its steps, corners left aside, are marked.
    const auto side = [&](bool horizontal, bool far) {
        const int length = horizontal ? w : h;
        int marked = 0;
        for (int i = band; i < length - band; ++i) {
            bool any = false;
            for (int j = 0; j < band && !any; ++j) {
                const int across = far ? (horizontal ? h : w) - 1 - j : j;
                any = horizontal ? differs(i, across) : differs(across, i);
            }
            marked += any ? 1 : 0;
        }
        return 10 * marked >= 9 * (length - 2 * band) ? 1 : 0;
    };
    return side(true, false) + side(true, true) + side(false, false) + side(false, true);
}

} // namespace

class FrontPanelTest : public QObject {
    Q_OBJECT
    Operator o;

private slots:
    void init() {
        o = Operator{};
        install(o);
    }

    void cleanup() {
        stop();
        QVERIFY2(ui::test::unanswered().empty(),
                 ui::test::unanswered().empty() ? "" : ui::test::unanswered().front().c_str());
    }

    void startsOnTheDefaultBenchWithTheModuleOpen() {
        QCOMPARE(start(), 0);
        // The chooser offered the carriers of ours only, one line each.
        // Then the reference multimeter: the mezzanine multimeter comes first.
        QCOMPARE(o.chooserTitles,
                 (std::vector<std::string>{"Выбор инструмента НМ", "Выберите МЦMM"}));
        std::vector<std::string> offered{"Н.М.  Л.А.крейта:0x00, слот:2  (VXI0::8::INSTR)",
                                         "Dorvik, USB (№:KC21047)"};
        QCOMPARE(o.chooserLists.at(0), offered);
        // The module at the first position of type 15 is open.
        QVERIFY(carrierSession != 0);
        QVERIFY(mvi != 0);
        QCOMPARE(number(mp, MP_MEZ_NUMold), 1.0);
        QCOMPARE(number(mp, MP_CARRIER_LA), 0.0);
        QCOMPARE(number(mp, MP_CARRIER_SLOT), 2.0);
        QCOMPARE(number(mp, MP_VER), 2.0);
        int items = 0;
        GetNumListItems(mp, MP_MEZ_NUM, &items);
        QCOMPARE(items, 1);
        QCOMPARE(number(mp, MP_LED), 1.0);
        // Yellow: a reference multimeter is open as well, and its switches are offered.
        QCOMPARE(hasMultimeter(), 1);
        QCOMPARE(attribute(mp, MP_LED, ATTR_ON_COLOR), static_cast<int>(VAL_YELLOW));
        QCOMPARE(attribute(mp, MP_AUTO_POV, ATTR_VISIBLE), 1);
        QCOMPARE(attribute(ppPanel, PP_AUTO_POV, ATTR_DIMMED), 0);
        QVERIFY(text(mp, MP_MSG) != "Идет инициализация"); // cleared once the module opened
        // The copies taken from the driver's record.
        QCOMPARE(IFix[0], 0.00295);
        QCOMPARE(IFix[1], 0.0001);
        QCOMPARE(NFix[0], short(1208));
        QCOMPARE(NFix[1], short(41));
        QCOMPARE(nominalR[17], 2457600.0);
        // Hardware version 2 relabels the top rows of the calibration table.
        std::string label;
        GetTableRowAttribute(cpPanel, CP_TABLE, 15, ATTR_LABEL_TEXT, label);
        QCOMPARE(label, std::string("306,88e3"));
        // A run on the simulated bench says so.
        std::string title;
        GetPanelAttribute(mp, ATTR_TITLE, title);
        QVERIFY2(title.find("имитация стенда") != std::string::npos, title.c_str());
        QVERIFY(ui::test::isPanelShown(mp));
    }

    void theSecondCarrierOpensItsVersionOneModule() {
        o.chooserPick = 1; // the USB box
        QCOMPARE(start(), 0);
        QVERIFY(mvi != 0);
        QCOMPARE(number(mp, MP_VER), 1.0);
        QCOMPARE(hardVersion, 1);
        const ui::ControlSpec *table = catalogueControl(CP, CP_TABLE);
        for (int row = 15; row <= 18; ++row) {
            std::string label;
            GetTableRowAttribute(cpPanel, CP_TABLE, row, ATTR_LABEL_TEXT, label);
            QCOMPARE(label, table->rowLabels[row - 1]);
        }
    }

    void theMenuChoosesAnotherCarrier() {
        QCOMPARE(start(), 0);
        const ViSession first = mvi;
        QVERIFY(first != 0);
        o.chooserPick = 1; // the USB box
        QVERIFY(ui::test::chooseMenuItem(GetPanelMenuBar(mp), MENU_INSTR_SELECT));
        QCOMPARE(o.chooserTitles.size() >= 2, true);
        QVERIFY(mvi != 0);
        QVERIFY(mvi != first);
        QCOMPARE(number(mp, MP_VER), 1.0);
        // The box has no crate address or slot: those of the first carrier stay shown.
        QCOMPARE(number(mp, MP_CARRIER_LA), 0.0);
        QCOMPARE(number(mp, MP_CARRIER_SLOT), 2.0);
        // The carrier's entry remembers the session it was opened with.
        int usb = -1;
        for (int i = 0; i < MAX_INSTRUMENTS && usb < 0; ++i)
            if (std::string(Instruments[i].descr).rfind("Dorvik, USB", 0) == 0)
                usb = i;
        QVERIFY(usb >= 0);
        QCOMPARE(Instruments[usb].session, carrierSession);
        // The first module was closed: its session is gone.
        QVERIFY(ortav_reset(first) < 0);
    }

    void anotherPositionOfTheCarrierReplacesTheModule() {
        QCOMPARE(start(vxiCarrier("      1: ortav\n      2: 32\n      3: ortav\n")), 0);
        int items = 0;
        GetNumListItems(mp, MP_MEZ_NUM, &items);
        QCOMPARE(items, 2);
        std::string second;
        GetLabelFromIndex(mp, MP_MEZ_NUM, 1, second);
        QCOMPARE(second, std::string("3"));
        QCOMPARE(number(mp, MP_MEZ_NUMold), 1.0);
        const ViSession first = mvi;
        QVERIFY(ui::test::activate(mp, MP_MEZ_NUM, 1));
        QCOMPARE(number(mp, MP_MEZ_NUMold), 3.0);
        QVERIFY(mvi != 0);
        QVERIFY(mvi != first);
        QVERIFY(ortav_reset(first) < 0);
        QCOMPARE(number(mp, MP_LED), 1.0);
    }

    // A modified copy in the working folder, where the search would look first,
    // is not the library the program runs: no warning, and the line shows the
    // file in use. (A modified library in use: app/batch/tests/math_integrity_test.cpp.)
    void aModifiedCopyBesideTheProgramIsNotTheLibraryInUse() {
        QVERIFY(enterWorkFolder());
        const QString loaded = QCoreApplication::applicationDirPath() + "/" ORTAV_MATH_SONAME;
        const QString copy = QDir::current().filePath("libortav_math.so");
        QVERIFY(QFile::copy(loaded, copy));
        {
            QFile f(copy);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(100);
            char c = 0;
            f.getChar(&c);
            f.seek(100);
            f.putChar(static_cast<char>(c ^ 0x5A));
        }
        uint32_t stored = 0, computed = 0, whole = 0;
        QCOMPARE(CheckFileInternalCRC32(copy.toUtf8().constData(), &stored, &computed, &whole), 1);
        QCOMPARE(start(), 0);
        for (const std::string &m : o.messages)
            QVERIFY2(m.find("Некорректная контрольная сумма") == std::string::npos, m.c_str());
        QCOMPARE(QString::fromStdString(lastMathIntegrity().file), loaded);
        QCOMPARE(lastMathIntegrity().result, 0);
        const QString cert = QString::fromStdString(text(aboutPanel, ABOUT_CERT_MSG));
        const uint32_t inUse = GetFileCRC32(loaded.toUtf8().constData());
        QVERIFY(inUse != whole);
        QVERIFY2(cert.endsWith(QString::asprintf(", CRC32=%08X", inUse)), qPrintable(cert));
    }

    void aBenchWithoutCarriersReachesTheLoopWithTheLedOff() {
        QCOMPARE(start("name: empty\nresources:\n  - {name: GPIB0::22::INSTR, idn: HP3458A}\n"), 0);
        QVERIFY(o.chooserTitles.empty());
        QCOMPARE(mvi, ViSession(0));
        QCOMPARE(carrierSession, ViSession(0));
        QCOMPARE(number(mp, MP_LED), 0.0);
        QCOMPARE(number(mp, MP_VER), 2.0);
        QCOMPARE(mainLoopStep(), 0);
    }

    // The crate address and slot shown are those of this run only: a carrier
    // that has none shows the fresh start's 0, not an earlier run's values.
    void aFreshStartShowsNoCarrierPositionOfAnEarlierRun() {
        QCOMPARE(start(), 0);
        QCOMPARE(number(mp, MP_CARRIER_SLOT), 2.0);
        stop();
        o.chooserPick = 1; // the USB box
        QCOMPARE(start(), 0);
        QVERIFY(mvi != 0);
        QCOMPARE(number(mp, MP_CARRIER_LA), 0.0);
        QCOMPARE(number(mp, MP_CARRIER_SLOT), 0.0);
    }

    void cancellingTheChooserOpensNothing_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("cancel button") << -1;
        QTest::newRow("close box") << -2;
    }

    void cancellingTheChooserOpensNothing() {
        QFETCH(int, how);
        o.chooserPick = how;
        QCOMPARE(start(), 0);
        QCOMPARE(o.chooserTitles.size(), std::size_t(1));
        QCOMPARE(carrierSession, ViSession(0));
        QCOMPARE(mvi, ViSession(0));
        QCOMPARE(number(mp, MP_LED), 0.0);
    }

    void aCarrierWithoutOurModuleOpensAloneAndSaysSo() {
        QCOMPARE(start(vxiCarrier("      1: 32\n")), 0);
        QVERIFY(carrierSession != 0);
        QCOMPARE(mvi, ViSession(0));
        QCOMPARE(o.messages, std::vector<std::string>{"|нет наших мезонинов на базе"});
        QCOMPARE(number(mp, MP_CARRIER_SLOT), 3.0);
        QCOMPARE(number(mp, MP_CARRIER_LA), 32.0);
        QCOMPARE(number(mp, MP_LED), 0.0);
    }

    void aModuleThatFailsToOpenIsReportedInRed() {
        QCOMPARE(start(vxiCarrier("      2:\n        type: ortav\n"
                                  "        faults: {id: 0x0010}\n")),
                 0);
        QCOMPARE(mvi, ViSession(0));
        QCOMPARE(number(mp, MP_MEZ_NUMold), 2.0);
        std::string msg = text(mp, MP_MSG);
        char expected[ORTAV_MESSAGE_SIZE];
        ortav_error_message(0, ViStatus(0xBFFC0011), expected); // failed identity query
        QCOMPARE(msg, std::string(expected) + " ortav_init");
        QCOMPARE(attribute(mp, MP_MSG, ATTR_TEXT_COLOR), static_cast<int>(VAL_RED));
        QCOMPARE(number(mp, MP_LED), 0.0);
    }

    // The simulated bench is marked on the panel itself, not only in a title
    // bar that a screen without a window manager never shows.
    void theSimulatedBenchIsMarkedOnThePanel() {
        QCOMPARE(start(), 0);
        QVERIFY(ui::test::isShown(mp, MP_SIM_BAND));
        QCOMPARE(text(mp, MP_SIM_BAND), simulatedBandText(ortav::visa::benchName()));
        QCOMPARE(simulatedBandText("Стенд 3"), std::string("ИМИТАЦИЯ: стенд Стенд 3"));
        QCOMPARE(simulatedBandText("Калибровочный стенд цеха 4"),
                 std::string("ИМИТАЦИЯ: стенд Калибровочный ст…"));
        QCOMPARE(simulatedBandText(""), std::string("ИМИТАЦИЯ стенда"));
    }

    // The calibration sheet shows all 19 rows of its table without scrolling.
    void everyCalibrationRowIsInSight() {
        QCOMPARE(start(), 0);
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 0));
        ProcessSystemEvents();
        auto *t = qobject_cast<QTableWidget *>(CtrlWidget(cpPanel, CP_TABLE));
        QVERIFY(t != nullptr);
        QCOMPARE(t->rowCount(), 19);
        QVERIFY2(t->rowViewportPosition(18) + t->rowHeight(18) <= t->viewport()->height(),
                 qPrintable(QString("row 19 ends at %1 of %2")
                                .arg(t->rowViewportPosition(18) + t->rowHeight(18))
                                .arg(t->viewport()->height())));
        QVERIFY(t->geometry().bottom() < t->parentWidget()->height());
    }

    // After an open that fails, the tables show no module's coefficients.
    void aFailedOpenEmptiesTheCoefficientTables() {
        QCOMPARE(start(vxiCarrier("      1:\n        type: ortav\n"
                                  "      2:\n        type: ortav\n"
                                  "        faults: {id: 0x0010}\n")),
                 0);
        QVERIFY(mvi != 0);
        std::string shown;
        GetTableCellVal(cpPanel, CP_TABLE, MakePoint(1, 1), shown);
        QVERIFY(!shown.empty());
        QVERIFY(ui::test::choose(mp, MP_MEZ_NUM, 1));
        QVERIFY(ui::test::activate(mp, MP_MEZ_NUM, 1));
        QCOMPARE(mvi, ViSession(0));
        for (auto [table, column, row] : {std::tuple{CP_TABLE, 1, 1}, std::tuple{CP_TABLE, 2, 19},
                                          std::tuple{CP_TABLE_I, 1, 1}}) {
            GetTableCellVal(cpPanel, table, MakePoint(column, row), shown);
            QVERIFY2(shown.empty(), shown.c_str());
        }
    }

    void statusLineTextsAndColours_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        QTest::newRow("busy") << int(ORTAV_ERROR_BUSY) << "Инструмент занят ortav_init";
        QTest::newRow("register") << int(ORTAV_ERROR_REG + 0x0A)
                                  << "Ошибка в регистре a ortav_init";
        QTest::newRow("warning") << int(ORTAV_WARN_INIT)
                                 << "Предупреждение : инициализация прошла с ошибками ortav_init";
    }

    void statusLineTextsAndColours() {
        QFETCH(int, status);
        QFETCH(QString, expected);
        QCOMPARE(start(""), 0);
        error("ortav_init", status);
        QCOMPARE(QString::fromStdString(text(mp, MP_MSG)), expected);
        QCOMPARE(attribute(mp, MP_MSG, ATTR_TEXT_COLOR), static_cast<int>(VAL_RED));
        // Success only greys what is there.
        error("ortav_switch (mvi, chan, 1)", 0);
        QCOMPARE(QString::fromStdString(text(mp, MP_MSG)), expected);
        QCOMPARE(attribute(mp, MP_MSG, ATTR_TEXT_COLOR), static_cast<int>(VAL_GRAY));
        // "OK" clears the line.
        QVERIFY(ui::test::click(mp, MP_MSG_OK));
        QCOMPARE(text(mp, MP_MSG), std::string());
    }

    void aLongCallTextIsCutWholeCharacters() {
        QCOMPARE(start(""), 0);
        std::string cyr;
        for (int i = 0; i < 200; ++i)
            cyr += "ж";
        error(cyr.c_str(), ORTAV_ERROR_BUSY);
        std::string msg = text(mp, MP_MSG);
        QVERIFY(msg.size() <= 255);
        QVERIFY(QString::fromStdString(msg).toUtf8().toStdString() == msg);
        QVERIFY(!QString::fromStdString(msg).contains(QChar::ReplacementCharacter));
    }

    void everyWayOfLeavingAsksFirst_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("close box") << 0;
        QTest::newRow("exit button") << 1;
        QTest::newRow("menu") << 2;
    }

    void everyWayOfLeavingAsksFirst() {
        QFETCH(int, way);
        QCOMPARE(start(), 0);
        auto ask = [&] {
            switch (way) {
            case 0:
                return ui::test::closeWindow(mp);
            case 1:
                return ui::test::click(mp, MP_EXIT);
            default:
                return ui::test::chooseMenuItem(GetPanelMenuBar(mp), MENU_INSTR_EXIT);
            }
        };
        o.confirmExit = 0;
        QVERIFY(ask());
        QCOMPARE(exitFlag, 1);
        QCOMPARE(mainLoopStep(), 0);
        QCOMPARE(exitFlag, 0); // declined
        QCOMPARE(o.confirms, std::vector<std::string>{"ORTAV|Закончить работу панели ORTAV ?"});
        QCOMPARE(mainLoopStep(), 0); // nothing asked without a request
        QCOMPARE(o.confirms.size(), std::size_t(1));
        o.confirmExit = 1;
        QVERIFY(ask());
        QCOMPARE(mainLoopStep(), 1);
        QCOMPARE(o.confirms.size(), std::size_t(2));
    }

    void leavingClosesModuleAndCarrierAndRestoresTheMainPanel() {
        QCOMPARE(start(), 0);
        error("ortav_init", ORTAV_ERROR_BUSY);
        closeAll(0);
        QCOMPARE(mvi, ViSession(0));
        QCOMPARE(carrierSession, ViSession(0));
        QVERIFY(!text(mp, MP_MSG).empty()); // closeAll(0) leaves the panel alone
        closeAll(1);
        QCOMPARE(text(mp, MP_MSG), std::string());
        QCOMPARE(number(mp, MP_VER), 2.0);
    }

    void resetClearsTheStatusLineOrReportsTheDriver() {
        QCOMPARE(start(), 0);
        error("ortav_init", ORTAV_ERROR_BUSY);
        QVERIFY(ui::test::click(mp, MP_RESET));
        QCOMPARE(text(mp, MP_MSG), std::string());
        QCOMPARE(lastStatus, ViStatus(0));
        // The menu's "Сброс" does the same.
        error("ortav_init", ORTAV_ERROR_BUSY);
        QVERIFY(ui::test::chooseMenuItem(GetPanelMenuBar(mp), MENU_EXE_RESET));
        QCOMPARE(text(mp, MP_MSG), std::string());
    }

    void aFailingResetStaysOnTheStatusLine() {
        // The control register cannot be read: the reset pulse fails.
        QCOMPARE(start(vxiCarrier("      1:\n        type: ortav\n"
                                  "        faults: {access: [{register: 0x04, on: read}]}\n")),
                 0);
        QVERIFY(mvi != 0); // opened with a warning
        QVERIFY(ui::test::click(mp, MP_RESET));
        QVERIFY(lastStatus < 0);
        std::string msg = text(mp, MP_MSG);
        QVERIFY2(msg.size() > 18 && msg.substr(msg.size() - 18) == " ortav_reset (mvi)",
                 msg.c_str());
        QCOMPARE(attribute(mp, MP_MSG, ATTR_TEXT_COLOR), static_cast<int>(VAL_RED));
    }

    void selfTestWithoutAModuleSaysSoAfterASecond() {
        QCOMPARE(start("name: empty\nresources: []\n"), 0);
        ortav::clock::clearWaits();
        QVERIFY(ui::test::click(mp, MP_SELFTEST));
        QVERIFY(ui::test::isPopup(stPanel));
        QCOMPARE(ortav::clock::waits(), std::vector<double>{1.0});
        QCOMPARE(text(stPanel, ST_MSG), std::string("Сеанс не открыт"));
        QCOMPARE(number(stPanel, ST_RESULT), 0.0);
        QCOMPARE(attribute(stPanel, ST_CLOSE, ATTR_DIMMED), 0);
        QVERIFY(!ui::test::click(mp, MP_EXIT)); // the popup holds the operator
        QVERIFY(ui::test::click(stPanel, ST_CLOSE));
        QVERIFY(!ui::test::isPopup(stPanel));
        QVERIFY(!ui::test::isPanelShown(stPanel));
    }

    void selfTestOfAGoodModulePasses() {
        QCOMPARE(start(), 0);
        QVERIFY(ui::test::click(mp, MP_SELFTEST));
        QCOMPARE(text(stPanel, ST_MSG), std::string("Самоконтроль завершен успешно"));
        QCOMPARE(number(stPanel, ST_RESULT), 0.0);
        QVERIFY(o.questions.empty());
        QVERIFY(ui::test::click(stPanel, ST_CLOSE));
    }

    void selfTestQuestionsAreAnsweredStopOrContinue_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result");
        QTest::newRow("stop") << 1 << 0;
        QTest::newRow("continue") << 0 << 2;
    }

    void selfTestQuestionsAreAnsweredStopOrContinue() {
        QFETCH(int, answer);
        QFETCH(int, result);
        QCOMPARE(start(vxiCarrier("      1:\n        type: ortav\n"
                                  "        faults: {dead_source: [2]}\n")),
                 0);
        QVERIFY(mvi != 0);
        o.sftAnswers = {answer};
        QVERIFY(ui::test::click(mp, MP_SELFTEST));
        const std::string failure = "Контроль формирования тока на канале 2 не прошел";
        QCOMPARE(o.questions, std::vector<std::string>{failure});
        QCOMPARE(text(stPanel, ST_MSG), failure);
        QCOMPARE(number(stPanel, ST_RESULT), double(result));
        QCOMPARE(attribute(stPanel, ST_STOP, ATTR_VISIBLE), 0);
        QCOMPARE(attribute(stPanel, ST_CANCEL, ATTR_VISIBLE), 0);
        QCOMPARE(sftResponse, answer);
        QVERIFY(ui::test::click(stPanel, ST_CLOSE));
    }

    void theVerificationSheetSwitchesMode() {
        QCOMPARE(start(), 0);
        // As loaded: resistance, its table shown.
        QCOMPARE(attribute(ppPanel, PP_TABLE_R, ATTR_VISIBLE), 1);
        QCOMPARE(attribute(ppPanel, PP_TABLE_I, ATTR_VISIBLE), 0);
        QCOMPARE(attribute(dpPanel, DP_MEAS_U, ATTR_VISIBLE), 0);
        QCOMPARE(attribute(stPanel, ST_STOP, ATTR_VISIBLE), 0);
        QVERIFY(ui::test::selectTab(mp, tabCtrl, 1));
        // The protocol opened in the run's working folder.
        QVERIFY(QFile::exists(workFolder->filePath("ortav.log")));
        modeChanged = 0;
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 1)); // "Ток"
        QCOMPARE(modeChanged, 1);
        QCOMPARE(text(ppPanel, PP_ED_IZM), std::string("мА"));
        QCOMPARE(text(ppPanel, PP_ED_IZM_2), std::string("В"));
        QCOMPARE(attribute(ppPanel, PP_TABLE_R, ATTR_VISIBLE), 0);
        QCOMPARE(attribute(ppPanel, PP_TABLE_I, ATTR_VISIBLE), 1);
        QVERIFY(ui::test::choose(ppPanel, PP_MODE, 0));
        QCOMPARE(text(ppPanel, PP_ED_IZM), std::string("Ом"));
        QCOMPARE(text(ppPanel, PP_ED_IZM_2), std::string("Ом"));
        QCOMPARE(attribute(ppPanel, PP_TABLE_R, ATTR_VISIBLE), 1);
        // The channel choice connects the channel and moves on to the value.
        ortav::clock::clearWaits();
        QVERIFY(ui::test::enter(ppPanel, PP_CHAN, 2));
        QCOMPARE(lastStatus, ViStatus(0));
        QCOMPARE(GetActiveCtrl(ppPanel), int(PP_R_Z));
        ViInt16 state = 0;
        ortav_state(mvi, &state);
        QCOMPARE(state, ViInt16(2));
        QVERIFY(ui::test::enter(ppPanel, PP_R_Z, 150.0));
        QCOMPARE(GetActiveCtrl(ppPanel), int(PP_SET));
        QVERIFY(ui::test::enter(mp, MP_VER, 1));
        QCOMPARE(hardVersion, 1);
    }

    // Which button Return or Space acts on is plain to see: focused, a button
    // is drawn with a clear mark round it that the same button lacks without
    // the focus, on the main panel and for a popup's default button.
    void keyboardFocusIsDrawnPlainly() {
        QCOMPARE(start(), 0);
        QVERIFY(mvi != 0);
        QCOMPARE(focusMarkedSides(mp, MP_RESET, MP_SELFTEST), 4);
        int onPopup = -1;
        ui::test::setResponder([&](const ui::test::Request &r) {
            if (r.kind != ui::test::RequestKind::Wait || r.panel != dpPanel)
                return op->answer(r);
            onPopup = focusMarkedSides(dpPanel, DP_OK, DP_COMMANDBUTTON_2);
            return ui::test::click(dpPanel, DP_COMMANDBUTTON_2) ? ui::test::Answer::ok()
                                                                : ui::test::Answer::none();
        });
        QVERIFY(ui::test::doubleClickCell(cpPanel, CP_TABLE, 1, 1));
        QCOMPARE(onPopup, 4);
    }

    void theAboutPanelShowsVersionsAndTheLibraryCheck() {
        QCOMPARE(start(), 0);
        QVERIFY(ui::test::chooseMenuItem(GetPanelMenuBar(mp), MENU_HELP_ABOUT));
        QVERIFY(ui::test::isPanelShown(aboutPanel));
        QCOMPARE(text(aboutPanel, ABOUT_SOFT_VERSION), std::string("1.7.0"));
        QCOMPARE(text(aboutPanel, ABOUT_DRVR_VERSION), std::string("1.3.0"));
        QString cert = QString::fromStdString(text(aboutPanel, ABOUT_CERT_MSG));
        QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(ORTAV_MATH_SONAME) +
                                    ", версия:.+, дата:.+, CRC32=[0-9A-F]{8}$")
                     .match(cert)
                     .hasMatch(),
                 qPrintable(cert));
        for (const std::string &m : o.messages) // the library is intact
            QVERIFY2(m.find("ВНИМАНИЕ!") == std::string::npos, m.c_str());
        QVERIFY(ui::test::click(aboutPanel, ABOUT_COMMANDBUTTON));
        QVERIFY(!ui::test::isPanelShown(aboutPanel));
    }

    void theCommandLineNamesABench() {
        StartOptions options;
        char arg0[] = "p_ortav", bench[] = "--bench", file[] = "my.yaml",
             joined[] = "--bench=b.yaml";
        char *withFile[] = {arg0, bench, file, nullptr};
        QCOMPARE(parseCommandLine(3, withFile, options), 0);
        QCOMPARE(std::string(options.benchFile), std::string("my.yaml"));
        char *withEquals[] = {arg0, joined, nullptr};
        QCOMPARE(parseCommandLine(2, withEquals, options), 0);
        QCOMPARE(std::string(options.benchFile), std::string("b.yaml"));
        char *missing[] = {arg0, bench, nullptr};
        QCOMPARE(parseCommandLine(2, missing, options), -1);
    }

    void theMessagePanelFitsItsText() {
        QCOMPARE(start("name: empty\nresources: []\n"), 0);
        if (msgpPanel() == 0) { // no multimeter has shown it yet in this run
            msgpHide();         // before any display: nothing to hide
            QCOMPARE(msgpPanel(), 0);
        }
        msgpDisplay("\r\nИДЕТ КАЛИБРОВКА\r\n");
        int p = msgpPanel();
        QVERIFY(p > 0);
        QVERIFY(ui::test::isPanelShown(p));
        int three = 0, five = 0, one = 0;
        GetPanelAttribute(p, ATTR_HEIGHT, &three);
        msgpDisplay("\nПодождите,\n\nидет открытие инструмента HP1412\n");
        GetPanelAttribute(p, ATTR_HEIGHT, &five);
        QCOMPARE(text(p, msgpTextBox()),
                 std::string("\nПодождите,\n\nидет открытие инструмента HP1412\n"));
        msgpDisplay("Одна строка");
        GetPanelAttribute(p, ATTR_HEIGHT, &one);
        QCOMPARE(text(p, msgpTextBox()), std::string("Одна строка"));
        QVERIFY(five > three);
        QVERIFY(three > one);
        int boxHeight = 0;
        GetCtrlAttribute(p, msgpTextBox(), ATTR_HEIGHT, &boxHeight);
        QCOMPARE(one, boxHeight);
        msgpHide();
        msgpHide();
        QVERIFY(!ui::test::isPanelShown(p));
        QCOMPARE(msgpPanel(), p); // kept for the next display
    }
};

QTEST_MAIN(FrontPanelTest)
#include "front_panel_test.moc"
