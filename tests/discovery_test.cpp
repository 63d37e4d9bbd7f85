// Discovery over a bench with every kind of resource the program meets: the
// exact table it builds, and what each chooser offers from it.
#include "front_panel_harness.h"

#include <QtTest>

using namespace harness;

namespace {

const std::string kLongSerial(40, 'S');
const std::string kLongFirmware(300, 'F');

std::string bench() {
    return "name: discovery\n"
           "resources:\n"
           "  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D}\n"
           "  - {name: VXI0::40::INSTR, slot: 5, manufacturer: 0xF9A, model: 0x2C1}\n"
           "  - {name: VXI0::0::INSTR, slot: 0, manufacturer: 0xC5B, model: 0x155}\n"
           "  - {name: VXI0::16::INSTR, slot: 7, manufacturer: 0xC5B, model: 0x177,"
           " mainframe_la: 0x1F}\n"
           "  - {name: USB0::0x0C5B::0x1004::KC1::INSTR, idn: \"KORDAVELIN,CARRIK,KC1,2.13\"}\n"
           "  - {name: USB0::0x0C5B::0x1004::KC2::INSTR, idn: \"KORDAVELIN,CARRIK,KC2\"}\n"
           "  - {name: TCPIP0::192.168.0.17::inst0::INSTR,"
           " idn: \"KORDAVELIN,CARRIK,KL17,3.02\"}\n"
           "  - name: USB0::0x0C5B::0x1004::KC3::INSTR\n"
           "    idn: \"KORDAVELIN,CARRIK,KC3,1.0\"\n"
           "    faults: {locked: forever}\n"
           "  - {name: USB0::0x0957::0x1A07::MY44::INSTR,"
           " idn: \"\\x01\\x7F garbage KORDAVELIN,CARRIK\"}\n"
           "  - {name: USB0::0x0C5B::0x1004::KC4::INSTR, idn: \"KORDAVELIN,CARRIK," +
           kLongSerial + "," + kLongFirmware +
           "\"}\n"
           "carriers:\n"
           "  - resource: VXI0::8::INSTR\n"
           "    positions: {1: ortav, 3: ortav}\n";
}

struct Expected {
    const char *address;
    std::string descr;
    int model, kind, slot, meznum, frameLA, logAddr, intf;
    std::string serial, firmware;
};

} // namespace

class DiscoveryTest : public QObject {
    Q_OBJECT
    Operator o;

private slots:
    void init() {
        o = Operator{};
        o.chooserPick = -1;
        install(o);
    }
    void cleanup() {
        stop();
        QVERIFY(ui::test::unanswered().empty());
    }

    void theTableHoldsWhatDiscoveryFound() {
        QCOMPARE(start(bench()), 0);
        std::memset(Instruments, 0, sizeof Instruments);
        const int found = FindVISAinstruments();
        const std::string vxi8 = "Н.М.  Л.А.крейта:0x00, слот:2\n(VXI0::8::INSTR)";
        const std::vector<Expected> want{
            {"VXI0::8::INSTR", vxi8, 0x10D, 0, 2, 0, 0, 8, 2, "", ""},
            {"VXI0::8::INSTR", vxi8 + " мезонин N 1 модель 0xf", 15, 1, 2, 1, 0, 8, 2, "", ""},
            {"VXI0::8::INSTR", vxi8 + " мезонин N 3 модель 0xf", 15, 1, 2, 3, 0, 8, 2, "", ""},
            {"VXI0::40::INSTR", "Модель 0x2c1 Л.А.крейта:0x00, слот:5\n(VXI0::40::INSTR)", 0x2C1, 2,
             5, 0, 0, 40, 2, "", ""},
            {"VXI0::16::INSTR", "Н.М.М.  Л.А.крейта:0x1F, слот:7\n(VXI0::16::INSTR)", 0x177, 0, 7,
             0, 0x1F, 16, 2, "", ""},
            {"USB0::0x0C5B::0x1004::KC1::INSTR", "Dorvik, USB (№:KC1)", 0x1004, 0, 255, 0, 0, 255,
             7, "KC1", "2.13"},
            {"USB0::0x0C5B::0x1004::KC2::INSTR", "Dorvik, USB (№:KC2)", 0x1004, 0, 255, 0, 0, 255,
             7, "KC2", "n/a"},
            {"TCPIP0::192.168.0.17::inst0::INSTR", "Dorvik, LXI (192.168.0.17, №:KL17)", 0x1004, 0,
             255, 0, 0, 255, 6, "KL17", "3.02"},
            {"USB0::0x0C5B::0x1004::KC4::INSTR",
             "Dorvik, USB (№:" + kLongSerial.substr(0, 31) + ")", 0x1004, 0, 255, 0, 0, 255, 7,
             kLongSerial.substr(0, 31), kLongFirmware.substr(0, 33)},
        };
        QCOMPARE(found, int(want.size()));
        for (std::size_t i = 0; i < want.size(); ++i) {
            const InstrumentEntry &e = Instruments[i];
            const Expected &w = want[i];
            const QByteArray row = QByteArray::number(int(i));
            QVERIFY2(std::string(e.Address) == w.address, row + ": " + e.Address);
            QVERIFY2(std::string(e.descr) == w.descr, row + ": " + e.descr);
            QCOMPARE(int(e.model), w.model);
            QCOMPARE(int(e.kind), w.kind);
            QCOMPARE(int(e.slot), w.slot);
            QCOMPARE(int(e.Meznum), w.meznum);
            QCOMPARE(int(e.frameLA), w.frameLA);
            QCOMPARE(int(e.logAddr), w.logAddr);
            QCOMPARE(int(e.intfType), w.intf);
            QCOMPARE(std::string(e.serialNo), w.serial);
            QCOMPARE(std::string(e.fwField), w.firmware);
            QCOMPARE(e.session, ViSession(0));
        }
        QCOMPARE(int(Instruments[want.size()].model), 0);
    }

    void eachChooserOffersItsOwnEntries() {
        QCOMPARE(start(bench()), 0);
        // Start-up offered the carriers of ours only; cancelled.
        QCOMPARE(o.chooserLists.size(), std::size_t(1));
        const std::vector<std::string> carriers{
            "Н.М.  Л.А.крейта:0x00, слот:2  (VXI0::8::INSTR)",
            "Н.М.М.  Л.А.крейта:0x1F, слот:7  (VXI0::16::INSTR)",
            "Dorvik, USB (№:KC1)",
            "Dorvik, USB (№:KC2)",
            "Dorvik, LXI (192.168.0.17, №:KL17)",
            "Dorvik, USB (№:" + kLongSerial.substr(0, 31) + ")"};
        QCOMPARE(o.chooserLists[0], carriers);
        QCOMPARE(SelectInstrument("Выберите", 0x2C1), static_cast<InstrumentEntry *>(nullptr));
        QCOMPARE(o.chooserTitles.back(), std::string("Выберите"));
        QCOMPARE(
            o.chooserLists.back(),
            std::vector<std::string>{"Модель 0x2c1 Л.А.крейта:0x00, слот:5  (VXI0::40::INSTR)"});
        // Chosen: the entry itself comes back; the wait cursor is restored.
        o.chooserPick = 0;
        SetWaitCursor(1);
        InstrumentEntry *e = SelectInstrument("Выберите", 15);
        QCOMPARE(GetWaitCursor(), 1);
        SetWaitCursor(0);
        QCOMPARE(e, &Instruments[1]);
        // Nothing of the model: no chooser at all.
        const std::size_t shown = o.chooserLists.size();
        QCOMPARE(SelectInstrument("Выберите", 579), static_cast<InstrumentEntry *>(nullptr));
        QCOMPARE(o.chooserLists.size(), shown);
    }
};

QTEST_MAIN(DiscoveryTest)
#include "discovery_test.moc"
