// The simulated VISA library through its C interface, as any VISA client uses it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench.h"
#include "delay.h"
#include "visa.h"

namespace {

const char *kBench = R"(
name: VISA test bench
resources:
  - name: VXI0::8::INSTR
    slot: 2
    manufacturer: 0xC5B
    model: 0x10D
    mainframe_la: 0
    la: 8
  - name: VXI0::40::INSTR
    slot: 6
    manufacturer: 0xF9A
    model: 0x2C1
    mainframe_la: 1
    la: 40
  - name: USB0::0x0C5B::0x1004::KC21047::INSTR
    idn: "KORDAVELIN,CARRIK-U4,KC21047,2.13"
  - name: TCPIP0::192.168.0.17::INSTR
    idn: "KORDAVELIN,CARRIK-L4,KL30011,1.02"
  - name: GPIB0::22::INSTR
    idn: "HP3458A"
  - name: GPIB0::9::INSTR
    idn: "QUIET,1,2,3"
    faults: {silent: true}
  - name: GPIB0::10::INSTR
  - name: USB0::0x0C5B::0x1004::KC2LOCK::INSTR
    idn: "KORDAVELIN,CARRIK-U4,KC2LOCK,2.13"
    faults: {locked: 3}
  - name: GPIB0::5::INSTR
    idn: "HELD"
    faults: {locked: forever}
  - name: GPIB0::6::INSTR
    faults: {open_fails: true}
)";

class SimVisa : public ::testing::Test {
protected:
    void SetUp() override {
        ortav::clock::setVirtual(true);
        ortav::sim::loadString(kBench, "visa test bench");
        ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    }
    void TearDown() override {
        viClose(rm);
        ortav::clock::setVirtual(false);
    }

    ViSession open(const char *name, ViAccessMode mode = VI_NO_LOCK, ViUInt32 timeout = 0) {
        ViSession vi = 0;
        EXPECT_EQ(viOpen(rm, name, mode, timeout, &vi), VI_SUCCESS) << name;
        return vi;
    }

    // Every name a search finds, through viFindRsrc and viFindNext.
    ViStatus find(const char *expr, std::vector<std::string> &names) {
        ViFindList list = 0;
        ViUInt32 count = 0;
        char desc[VI_FIND_BUFLEN] = {};
        ViStatus st = viFindRsrc(rm, expr, &list, &count, desc);
        if (st != VI_SUCCESS) {
            EXPECT_EQ(list, VI_NULL);
            EXPECT_EQ(count, 0u);
            return st;
        }
        names.push_back(desc);
        for (ViUInt32 i = 1; i < count; ++i) {
            EXPECT_EQ(viFindNext(list, desc), VI_SUCCESS);
            names.push_back(desc);
        }
        EXPECT_EQ(viFindNext(list, desc), VI_ERROR_RSRC_NFOUND);
        EXPECT_EQ(viClose(list), VI_SUCCESS);
        return st;
    }

    std::string idnByQueryf(ViSession vi) {
        char reply[256] = {};
        EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%t", reply), VI_SUCCESS);
        return reply;
    }

    ViSession rm = 0;
};

struct FindCase {
    const char *expr;
    ViStatus status;
    std::vector<std::string> names;
};

TEST_F(SimVisa, FindListsWhatTheExpressionMatches) {
    const std::vector<std::string> all = {"VXI0::8::INSTR",
                                          "VXI0::40::INSTR",
                                          "USB0::0x0C5B::0x1004::KC21047::INSTR",
                                          "TCPIP0::192.168.0.17::INSTR",
                                          "GPIB0::22::INSTR",
                                          "GPIB0::9::INSTR",
                                          "GPIB0::10::INSTR",
                                          "USB0::0x0C5B::0x1004::KC2LOCK::INSTR",
                                          "GPIB0::5::INSTR",
                                          "GPIB0::6::INSTR"};
    const FindCase cases[] = {
        {"?*INSTR", VI_SUCCESS, all},
        {"?*", VI_SUCCESS, all},
        {"?*::INSTR", VI_SUCCESS, all},
        {"VXI?*INSTR", VI_SUCCESS, {all[0], all[1]}},
        {"USB?*INSTR", VI_SUCCESS, {all[2], all[7]}},
        {"TCPIP?*INSTR", VI_SUCCESS, {all[3]}},
        {"GPIB?*INSTR", VI_SUCCESS, {all[4], all[5], all[6], all[8], all[9]}},
        {"gpib0::22::instr", VI_SUCCESS, {all[4]}},
        {"GPIB0::(5|6)::INSTR", VI_SUCCESS, {all[8], all[9]}},
        {"GPIB0::1+0::INSTR", VI_SUCCESS, {all[6]}},
        {"VXI0::[0-9]::INSTR", VI_SUCCESS, {all[0]}},
        {"VXI0::[^8]?*", VI_SUCCESS, {all[1]}},
        {"?*KC2LOCK?*|TCPIP?*", VI_SUCCESS, {all[3], all[7]}},
        {"ASRL?*INSTR", VI_ERROR_RSRC_NFOUND, {}},
        {"GPIB0::2::INSTR", VI_ERROR_RSRC_NFOUND, {}},
        {"*INSTR", VI_ERROR_INV_EXPR, {}},
        {"(VXI?*", VI_ERROR_INV_EXPR, {}},
        {"VXI[0-9?*", VI_ERROR_INV_EXPR, {}},
        {"?*INSTR{VI_ATTR_SLOT==2}", VI_ERROR_INV_EXPR, {}},
    };
    for (const FindCase &c : cases) {
        std::vector<std::string> names;
        EXPECT_EQ(find(c.expr, names), c.status) << c.expr;
        EXPECT_EQ(names, c.names) << c.expr;
    }
}

TEST_F(SimVisa, FindWithoutListOrCountGivesTheFirstName) {
    char desc[VI_FIND_BUFLEN] = {};
    ASSERT_EQ(viFindRsrc(rm, "GPIB0::22::INSTR", VI_NULL, VI_NULL, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "GPIB0::22::INSTR");
    EXPECT_EQ(viFindRsrc(12345, "?*", VI_NULL, VI_NULL, desc), VI_ERROR_INV_OBJECT);
}

// An attribute is written at its own width: the bytes after it keep their guard.
struct AttrCase {
    const char *resource;
    ViAttr attr;
    size_t width; // 0: text
    uint64_t value;
    const char *text;
};

TEST_F(SimVisa, AttributesHaveTheirValuesAndWidths) {
    const AttrCase cases[] = {
        {"VXI0::8::INSTR", VI_ATTR_INTF_TYPE, 2, VI_INTF_VXI, nullptr},
        {"VXI0::8::INSTR", VI_ATTR_INTF_NUM, 2, 0, nullptr},
        {"VXI0::8::INSTR", VI_ATTR_SLOT, 2, 2, nullptr},
        {"VXI0::8::INSTR", VI_ATTR_MANF_ID, 2, 0xC5B, nullptr},
        {"VXI0::8::INSTR", VI_ATTR_MODEL_CODE, 2, 0x10D, nullptr},
        {"VXI0::40::INSTR", VI_ATTR_MAINFRAME_LA, 2, 1, nullptr},
        {"VXI0::40::INSTR", VI_ATTR_VXI_LA, 2, 40, nullptr},
        {"VXI0::40::INSTR", VI_ATTR_TMO_VALUE, 4, 2000, nullptr},
        {"VXI0::40::INSTR", VI_ATTR_RSRC_LOCK_STATE, 4, VI_NO_LOCK, nullptr},
        {"VXI0::40::INSTR", VI_ATTR_RSRC_SPEC_VERSION, 4, 0x00500800, nullptr},
        {"VXI0::40::INSTR", VI_ATTR_TERMCHAR, 1, '\n', nullptr},
        {"VXI0::40::INSTR", VI_ATTR_TERMCHAR_EN, 2, VI_FALSE, nullptr},
        {"VXI0::40::INSTR", VI_ATTR_RSRC_CLASS, 0, 0, "INSTR"},
        {"vxi::40", VI_ATTR_RSRC_NAME, 0, 0, "VXI0::40::INSTR"},
        {"GPIB0::22::INSTR", VI_ATTR_INTF_TYPE, 2, VI_INTF_GPIB, nullptr},
        {"GPIB0::22::INSTR", VI_ATTR_GPIB_PRIMARY_ADDR, 2, 22, nullptr},
        {"GPIB0::22::INSTR", VI_ATTR_GPIB_SECONDARY_ADDR, 2, VI_NO_SEC_ADDR, nullptr},
        {"USB0::0x0C5B::0x1004::KC21047::INSTR", VI_ATTR_INTF_TYPE, 2, VI_INTF_USB, nullptr},
        {"USB0::0x0C5B::0x1004::KC21047::INSTR", VI_ATTR_MANF_ID, 2, 0xC5B, nullptr},
        {"USB0::0x0C5B::0x1004::KC21047::INSTR", VI_ATTR_MODEL_CODE, 2, 0x1004, nullptr},
        {"USB0::0x0C5B::0x1004::KC21047::INSTR", VI_ATTR_USB_SERIAL_NUM, 0, 0, "KC21047"},
        {"TCPIP0::192.168.0.17::INSTR", VI_ATTR_INTF_TYPE, 2, VI_INTF_TCPIP, nullptr},
        {"TCPIP0::192.168.0.17::INSTR", VI_ATTR_TCPIP_ADDR, 0, 0, "192.168.0.17"},
        {"TCPIP0::192.168.0.17::INSTR", VI_ATTR_TCPIP_DEVICE_NAME, 0, 0, "inst0"},
    };
    for (const AttrCase &c : cases) {
        SCOPED_TRACE(std::string(c.resource) + " attribute " + std::to_string(c.attr));
        ViSession vi = open(c.resource);
        unsigned char buf[300];
        std::memset(buf, 0xAA, sizeof buf);
        ASSERT_EQ(viGetAttribute(vi, c.attr, buf), VI_SUCCESS);
        if (c.text) {
            EXPECT_STREQ(reinterpret_cast<char *>(buf), c.text);
            EXPECT_EQ(buf[std::strlen(c.text) + 1], 0xAA);
        } else {
            uint64_t v = 0;
            std::memcpy(&v, buf, c.width);
            EXPECT_EQ(v, c.value);
            EXPECT_EQ(buf[c.width], 0xAA) << "wrote past the attribute's width";
        }
        viClose(vi);
    }
}

TEST_F(SimVisa, AttributesOfAnotherInterfaceAreNotSupportedAndFixedOnesAreReadOnly) {
    ViSession gpib = open("GPIB0::22::INSTR");
    ViInt16 slot = 0;
    EXPECT_EQ(viGetAttribute(gpib, VI_ATTR_SLOT, &slot), VI_ERROR_NSUP_ATTR);
    char addr[256];
    EXPECT_EQ(viGetAttribute(gpib, VI_ATTR_TCPIP_ADDR, addr), VI_ERROR_NSUP_ATTR);

    ViSession vxi = open("VXI0::8::INSTR");
    EXPECT_EQ(viSetAttribute(vxi, VI_ATTR_SLOT, 3), VI_ERROR_ATTR_READONLY);
    EXPECT_EQ(viSetAttribute(vxi, VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
    EXPECT_EQ(viSetAttribute(vxi, VI_ATTR_TMO_VALUE, 500), VI_SUCCESS);
    ViUInt32 tmo = 0;
    EXPECT_EQ(viGetAttribute(vxi, VI_ATTR_TMO_VALUE, &tmo), VI_SUCCESS);
    EXPECT_EQ(tmo, 500u);
    EXPECT_EQ(viGetAttribute(0xDEAD, VI_ATTR_SLOT, &slot), VI_ERROR_INV_OBJECT);
}

TEST_F(SimVisa, InstrumentsAnswerIdnThroughWriteAndRead) {
    ViSession vi = open("USB0::0x0C5B::0x1004::KC21047::INSTR");
    ViUInt32 n = 0;
    const char query[] = "*IDN?\n";
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>(query), 6, &n), VI_SUCCESS);
    EXPECT_EQ(n, 6u);
    // In pieces: the count runs out first, then the message ends.
    unsigned char buf[64] = {};
    ASSERT_EQ(viRead(vi, buf, 10, &n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "KORDAVELIN");
    ASSERT_EQ(viRead(vi, buf, sizeof buf, &n), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), ",CARRIK-U4,KC21047,2.13\n");

    // With the termination character on, a read stops after it.
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR, ','), VI_SUCCESS);
    EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    const char crlf[] = "*idn?\r\n";
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>(crlf), 7, &n), VI_SUCCESS);
    ASSERT_EQ(viRead(vi, buf, sizeof buf, &n), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "KORDAVELIN,");

    // The whole reply by formatted query; a new query drops the unread rest.
    EXPECT_EQ(idnByQueryf(vi), "KORDAVELIN,CARRIK-U4,KC21047,2.13\n");
    EXPECT_EQ(idnByQueryf(open("tcpip0::192.168.0.17::inst0::INSTR")),
              "KORDAVELIN,CARRIK-L4,KL30011,1.02\n");
    EXPECT_TRUE(ortav::clock::waits().empty());
}

TEST_F(SimVisa, FormattedQueryConvertsArgumentsBothWays) {
    ViSession vi = open("GPIB0::22::INSTR");
    // The write format takes its arguments first; '#' passes the buffer size and
    // gets back the count.
    char reply[8] = {};
    ViInt32 size = sizeof reply;
    ASSERT_EQ(viQueryf(vi, "%s %d;%s%c\n", "%#t", "*RST", 5, "*IDN", '?', &size, reply),
              VI_SUCCESS);
    EXPECT_STREQ(reply, "HP3458A");
    EXPECT_EQ(size, 7);
    // A message without a query leaves nothing to read.
    ortav::clock::clearWaits();
    EXPECT_EQ(viQueryf(vi, "*IDN%d\n", "%t", 7, reply), VI_ERROR_TMO);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{2.0}));

    size = sizeof reply;
    ASSERT_EQ(viQueryf(vi, "%s\n", "%#t", "*IDN?", &size, reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "HP3458A");
    EXPECT_EQ(size, 7);
    char word[32] = {};
    ASSERT_EQ(viQueryf(vi, "*IDN?\n", "%2s", word), VI_SUCCESS);
    EXPECT_STREQ(word, "HP");
    EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%b", word), VI_ERROR_NSUP_FMT);
}

TEST_F(SimVisa, OverlongReplyIsCutAtTheTextBuffer) {
    const std::string idn = "KORDAVELIN,CARRIK-U4," + std::string(300, 'S') + ",2.13";
    ortav::sim::bench().findResource("GPIB0::22::INSTR")->idn = idn;
    ViSession vi = open("GPIB0::22::INSTR");
    char reply[256 + 16];
    std::memset(reply, 0x55, sizeof reply);
    ASSERT_EQ(viQueryf(vi, "*IDN?\n", "%t", reply), VI_SUCCESS);
    EXPECT_EQ(std::string(reply), idn.substr(0, 255));
    EXPECT_EQ(reply[256], 0x55);
}

TEST_F(SimVisa, DeviceThatDoesNotAnswerTimesOut) {
    for (const char *name : {"GPIB0::9::INSTR", "GPIB0::10::INSTR"}) {
        SCOPED_TRACE(name);
        ViSession vi = open(name);
        ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 1500), VI_SUCCESS);
        ortav::clock::clearWaits();
        char reply[256] = "untouched";
        EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%t", reply), VI_ERROR_TMO);
        EXPECT_STREQ(reply, "untouched");
        unsigned char buf[16];
        ViUInt32 n = 99;
        EXPECT_EQ(viRead(vi, buf, sizeof buf, &n), VI_ERROR_TMO);
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{1.5, 1.5}));
    }
}

TEST_F(SimVisa, LockHeldByAnotherProgramTimesOutUntilItIsReleased) {
    ViSession vi = open("USB0::0x0C5B::0x1004::KC2LOCK::INSTR");
    ViUInt32 state = 0;
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_LOCK_STATE, &state), VI_SUCCESS);
    EXPECT_EQ(state, static_cast<ViUInt32>(VI_EXCLUSIVE_LOCK));
    ViUInt32 n = 0;
    EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n), VI_ERROR_RSRC_LOCKED);

    // Held 3 s: a 2 s wait runs out; at 2 s the next wait only needs 1 s.
    ortav::clock::clearWaits();
    EXPECT_EQ(viLock(vi, VI_EXCLUSIVE_LOCK, 2000, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(viLock(vi, VI_EXCLUSIVE_LOCK, 2000, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{2.0, 1.0}));
    EXPECT_EQ(idnByQueryf(vi), "KORDAVELIN,CARRIK-U4,KC2LOCK,2.13\n");
    EXPECT_EQ(viUnlock(vi), VI_SUCCESS);

    // An open that asks for an exclusive lock reports the lock.
    ViSession held = 0;
    ortav::clock::clearWaits();
    EXPECT_EQ(viOpen(rm, "GPIB0::5::INSTR", VI_EXCLUSIVE_LOCK, 2000, &held), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(held, VI_NULL);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{2.0}));
    EXPECT_EQ(viOpen(rm, "GPIB0::5::INSTR", VI_NO_LOCK, 0, &held), VI_SUCCESS);
    EXPECT_EQ(viLock(held, VI_EXCLUSIVE_LOCK, VI_TMO_INFINITE, VI_NULL, VI_NULL), VI_ERROR_TMO);
}

TEST_F(SimVisa, LocksBetweenSessionsNestAndShareByKey) {
    const char *name = "GPIB0::22::INSTR";
    ViSession a = open(name), b = open(name), c = open(name);
    ViUInt32 n = 0;

    ASSERT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
    EXPECT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS_NESTED_EXCLUSIVE);
    ortav::clock::clearWaits();
    EXPECT_EQ(viLock(b, VI_EXCLUSIVE_LOCK, 250, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.25}));
    EXPECT_EQ(viWrite(b, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n), VI_ERROR_RSRC_LOCKED);
    ViUInt16 type = 0;
    EXPECT_EQ(viGetAttribute(b, VI_ATTR_INTF_TYPE, &type), VI_SUCCESS); // reading is not locked
    EXPECT_EQ(viUnlock(a), VI_SUCCESS_NESTED_EXCLUSIVE);
    EXPECT_EQ(viUnlock(a), VI_SUCCESS);
    EXPECT_EQ(viUnlock(a), VI_ERROR_SESN_NLOCKED);

    char key[256] = {};
    ASSERT_EQ(viLock(a, VI_SHARED_LOCK, 0, "bench-key", key), VI_SUCCESS);
    EXPECT_STREQ(key, "bench-key");
    EXPECT_EQ(viLock(b, VI_SHARED_LOCK, 0, "bench-key", key), VI_SUCCESS);
    EXPECT_EQ(viLock(c, VI_SHARED_LOCK, 0, "other-key", key), VI_ERROR_TMO);
    EXPECT_EQ(viLock(c, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(viWrite(c, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(idnByQueryf(b), "HP3458A\n");
    EXPECT_EQ(viLock(a, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_ERROR_TMO);
    EXPECT_EQ(viLock(a, 7, 0, VI_NULL, VI_NULL), VI_ERROR_INV_LOCK_TYPE);

    // Closing the holders frees the resource.
    viClose(a);
    viClose(b);
    EXPECT_EQ(viLock(c, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
}

TEST_F(SimVisa, OpenChecksNameModeAndPresence) {
    struct Case {
        const char *name;
        ViAccessMode mode;
        ViStatus status;
    } cases[] = {
        {"gpib::22", VI_NO_LOCK, VI_SUCCESS},
        {"GPIB0::22::0::INSTR", VI_NO_LOCK, VI_SUCCESS}, // no secondary addressing
        {"GPIB0::22::1::INSTR", VI_NO_LOCK, VI_ERROR_RSRC_NFOUND},
        {"USB0::3163::4100::KC21047::0::INSTR", VI_LOAD_CONFIG, VI_SUCCESS},
        {"VXI0::8::INSTR", VI_EXCLUSIVE_LOCK, VI_SUCCESS},
        {"GPIB0::21::INSTR", VI_NO_LOCK, VI_ERROR_RSRC_NFOUND},
        {"GPIB0::6::INSTR", VI_NO_LOCK, VI_ERROR_RSRC_NFOUND},
        {"GPIB0::99::INSTR", VI_NO_LOCK, VI_ERROR_INV_RSRC_NAME},
        {"FOO0::1::INSTR", VI_NO_LOCK, VI_ERROR_INV_RSRC_NAME},
        {"", VI_NO_LOCK, VI_ERROR_INV_RSRC_NAME},
        {"GPIB0::22::INSTR", 8, VI_ERROR_INV_ACC_MODE},
        {"GPIB0::22::INSTR", VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK, VI_ERROR_INV_ACC_MODE},
    };
    for (const Case &c : cases) {
        ViSession vi = 77;
        EXPECT_EQ(viOpen(rm, c.name, c.mode, 0, &vi), c.status) << c.name;
        EXPECT_EQ(vi == VI_NULL, c.status != VI_SUCCESS) << c.name;
    }
    // Closing the resource manager closes what it opened.
    ViSession vi = open("GPIB0::22::INSTR");
    ViFindList list = 0;
    ViUInt32 count = 0;
    char desc[256];
    ASSERT_EQ(viFindRsrc(rm, "?*", &list, &count, desc), VI_SUCCESS);
    EXPECT_EQ(viClose(rm), VI_SUCCESS);
    EXPECT_EQ(viClose(vi), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viFindNext(list, desc), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viClose(VI_NULL), VI_WARN_NULL_OBJECT);
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
}

TEST_F(SimVisa, NoEventsCanBeEnabledButClientsMayTurnThemOff) {
    ViSession vi = open("GPIB0::22::INSTR");
    EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, 0), VI_ERROR_INV_EVENT);
    EXPECT_EQ(viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS_EVENT_DIS);
    EXPECT_EQ(viDiscardEvents(vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS_QUEUE_EMPTY);
    EXPECT_EQ(viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, 8), VI_ERROR_INV_MECH);
    ViEventType type = 1;
    ViEvent event = 1;
    EXPECT_EQ(viWaitOnEvent(vi, VI_ALL_ENABLED_EVENTS, 100, &type, &event), VI_ERROR_NENABLED);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(event, VI_NULL);
}

TEST_F(SimVisa, SessionsOfAReplacedBenchLoseTheirConnection) {
    ViSession vi = open("GPIB0::22::INSTR");
    ortav::sim::loadString(kBench, "visa test bench again");
    ViUInt16 type = 0;
    EXPECT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type), VI_ERROR_CONN_LOST);
    ViUInt32 n = 0;
    EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n), VI_ERROR_CONN_LOST);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
}

TEST_F(SimVisa, ParseGivesInterfaceBoardClassAndFullName) {
    struct Case {
        const char *name;
        ViStatus status;
        ViUInt16 type, board;
        const char *cls, *expanded;
    } cases[] = {
        {"gpib::22", VI_SUCCESS, VI_INTF_GPIB, 0, "INSTR", "GPIB0::22::INSTR"},
        {"GPIB1::3::4::INSTR", VI_SUCCESS, VI_INTF_GPIB, 1, "INSTR", "GPIB1::3::4::INSTR"},
        {"GPIB0::INTFC", VI_SUCCESS, VI_INTF_GPIB, 0, "INTFC", "GPIB0::INTFC"},
        {"vxi0::8", VI_SUCCESS, VI_INTF_VXI, 0, "INSTR", "VXI0::8::INSTR"},
        {"GPIB-VXI2::24::INSTR", VI_SUCCESS, VI_INTF_GPIB_VXI, 2, "INSTR", "GPIB-VXI2::24::INSTR"},
        {"USB0::3163::4100::KC21047::INSTR", VI_SUCCESS, VI_INTF_USB, 0, "INSTR",
         "USB0::0x0C5B::0x1004::KC21047::INSTR"},
        {"TCPIP0::192.168.0.17::INSTR", VI_SUCCESS, VI_INTF_TCPIP, 0, "INSTR",
         "TCPIP0::192.168.0.17::INSTR"},
        {"TCPIP::10.0.0.2::inst1", VI_SUCCESS, VI_INTF_TCPIP, 0, "INSTR",
         "TCPIP0::10.0.0.2::inst1::INSTR"},
        {"TCPIP0::10.0.0.2::5025::SOCKET", VI_SUCCESS, VI_INTF_TCPIP, 0, "SOCKET",
         "TCPIP0::10.0.0.2::5025::SOCKET"},
        {"ASRL1::INSTR", VI_SUCCESS, VI_INTF_ASRL, 1, "INSTR", "ASRL1::INSTR"},
        {"GPIB0::31::INSTR", VI_ERROR_INV_RSRC_NAME, 0, 0, "", ""},
        {"USB0::0x0C5B::KC21047::INSTR", VI_ERROR_INV_RSRC_NAME, 0, 0, "", ""},
        {"VXI0::::INSTR", VI_ERROR_INV_RSRC_NAME, 0, 0, "", ""},
        {"SERIAL::1", VI_ERROR_INV_RSRC_NAME, 0, 0, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ViUInt16 type = 0, board = 0;
        char cls[256] = "", expanded[256] = "", alias[256] = "x";
        ASSERT_EQ(viParseRsrcEx(rm, c.name, &type, &board, cls, expanded, alias), c.status);
        EXPECT_EQ(viParseRsrc(rm, c.name, &type, &board), c.status);
        if (c.status != VI_SUCCESS)
            continue;
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(board, c.board);
        EXPECT_STREQ(cls, c.cls);
        EXPECT_STREQ(expanded, c.expanded);
        EXPECT_STREQ(alias, "");
    }
}

TEST_F(SimVisa, StatusDescriptions) {
    char desc[256];
    EXPECT_EQ(viStatusDesc(rm, VI_ERROR_TMO, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "Timeout expired before operation completed.");
    EXPECT_EQ(viStatusDesc(rm, VI_ERROR_RSRC_LOCKED, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "Specified type of lock cannot be obtained or specified operation cannot "
                       "be performed, because the resource is locked.");
    // Every code the library returns has its text.
    for (ViStatus st : {VI_SUCCESS,
                        VI_SUCCESS_TERM_CHAR,
                        VI_SUCCESS_MAX_CNT,
                        VI_SUCCESS_NESTED_SHARED,
                        VI_SUCCESS_NESTED_EXCLUSIVE,
                        VI_WARN_NULL_OBJECT,
                        VI_ERROR_INV_OBJECT,
                        VI_ERROR_INV_EXPR,
                        VI_ERROR_RSRC_NFOUND,
                        VI_ERROR_INV_RSRC_NAME,
                        VI_ERROR_INV_ACC_MODE,
                        VI_ERROR_NSUP_ATTR,
                        VI_ERROR_NSUP_ATTR_STATE,
                        VI_ERROR_ATTR_READONLY,
                        VI_ERROR_INV_LOCK_TYPE,
                        VI_ERROR_INV_ACCESS_KEY,
                        VI_ERROR_INV_SETUP,
                        VI_ERROR_INV_FMT,
                        VI_ERROR_NSUP_FMT,
                        VI_ERROR_NSUP_OPER,
                        VI_ERROR_INV_PARAMETER,
                        VI_ERROR_SESN_NLOCKED,
                        VI_ERROR_CONN_LOST}) {
        EXPECT_EQ(viStatusDesc(rm, st, desc), VI_SUCCESS) << std::hex << st;
        EXPECT_GT(std::strlen(desc), 10u);
    }
    EXPECT_EQ(viStatusDesc(rm, 0x12345, desc), VI_WARN_UNKNOWN_STATUS);
    EXPECT_STREQ(desc, "Unknown status code 0x00012345.");
}

} // namespace
