// Bench descriptions: the built-in default, the example file, and the messages
// for malformed ones.
#include "sim_fixture.h"

#include <cstring>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace simtest {
namespace {

class BenchFileTest : public SimTest {};

bool plausibleImage(const std::vector<uint8_t> &e, int hwVersion) {
    uint32_t sig = 0;
    std::memcpy(&sig, e.data(), 4);
    if (sig != kCoeffSignature)
        return false;
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < 18; ++k) {
            double r = 0;
            std::memcpy(&r, &e[8 + 8 * (18 * c + k)], 8);
            const double nominal = 18.75 * (1 << k);
            (void)hwVersion;
            if (!(std::abs(r - nominal) <= 0.2 * nominal))
                return false;
        }
        double gain = 0, offset = 0;
        std::memcpy(&gain, &e[312 + 8 * c], 8);
        std::memcpy(&offset, &e[328 + 8 * c], 8);
        if (!(std::abs(gain - 409400) <= 0.2 * 409400) || !(std::abs(offset) <= 16))
            return false;
    }
    return true;
}

TEST_F(BenchFileTest, DefaultBenchHasTheExpectedInstruments) {
    loadDefault();
    Bench &b = bench();
    EXPECT_EQ(b.origin, "<default bench>");
    ASSERT_EQ(b.resources.size(), 5u);

    Resource *vxi = b.findResource("VXI0::8::INSTR");
    ASSERT_NE(vxi, nullptr);
    EXPECT_EQ(vxi->kind, ResourceKind::Vxi);
    EXPECT_EQ(vxi->manufacturer, 0xC5B);
    EXPECT_EQ(vxi->modelCode, 0x10D);
    EXPECT_EQ(vxi->slot, 2);
    EXPECT_EQ(vxi->la, 8);
    Resource *hp = b.findResource("GPIB0::22::INSTR");
    ASSERT_NE(hp, nullptr);
    EXPECT_EQ(hp->kind, ResourceKind::Gpib);
    EXPECT_EQ(hp->gpibPrimary, 22);
    Resource *box = b.findResource("USB0::0x0C5B::0x1004::KC21047::INSTR");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->idn, "KORDAVELIN,CARRIK,KC21047,2.13");
    EXPECT_EQ(box->usbSerial, "KC21047");
    int others = 0;
    for (const Resource &r : b.resources)
        others += r.kind == ResourceKind::Vxi && r.manufacturer != 0xC5B && r.modelCode != 0x243;
    EXPECT_EQ(others, 1) << "one VXI device of another maker";

    ASSERT_EQ(b.carriers.size(), 2u);
    Carrier *crate = b.findCarrier("VXI0::8::INSTR");
    ASSERT_NE(crate, nullptr);
    EXPECT_NE(crate->module(1), nullptr);
    EXPECT_EQ(crate->position(3).type, kMezzanineMultimeter);
    EXPECT_NE(b.findCarrier("USB0::0x0C5B::0x1004::KC21047::INSTR")->module(1), nullptr);

    for (Carrier &c : b.carriers)
        for (int p = 1; p <= 4; ++p)
            if (OrtavModule *m = c.module(p)) {
                EXPECT_TRUE(plausibleImage(m->eeprom(), m->config().hwVersion)) << c.resource;
                // Realistic: not exactly nominal.
                EXPECT_NE(m->config().channel[0].resistor[3], 150.0);
            }
    EXPECT_NE(b.findMultimeter(MultimeterKind::Hpe1412, "VXI0::24::INSTR"), nullptr);
    EXPECT_NE(b.findMultimeter(MultimeterKind::Hp3458a, "GPIB0::22::INSTR"), nullptr);
    EXPECT_NE(b.findMultimeter(MultimeterKind::Tarnel, "VXI0::8::INSTR", 3), nullptr);
}

TEST_F(BenchFileTest, ExampleBenchWithFaultsLoads) {
    loadFile(SIM_BENCHES_DIR "/example.yaml");
    Bench &b = bench();
    EXPECT_FALSE(b.resources.empty());
    EXPECT_FALSE(b.carriers.empty());
    EXPECT_FALSE(b.multimeters.empty());
}

// A bench whose position 1 holds an ORTAV module with the given settings.
std::string moduleRow(const std::string &settings) {
    return "resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
           "    positions:\n      1: {type: ortav, " +
           settings + "}\n";
}

TEST_F(BenchFileTest, MalformedBenchesNameFileLineAndProblem) {
    const struct {
        std::string yaml;
        const char *message;
    } cases[] = {
        {"", "bad.yaml: the bench description is empty"},
        {"name: x\nresources: [\n", nullptr}, // syntax: checked by prefix below
        {"name: x\nresorces: []\n",
         "bad.yaml:2:1: unknown key 'resorces' in the bench (known keys: name, resources, "
         "carriers, multimeters)"},
        {"resources: {name: VXI0::1::INSTR}\n", "bad.yaml:1:12: resources must be a list"},
        {"resources:\n  - kind: vxi\n", "bad.yaml:2:5: resource lacks the key 'name'"},
        {"resources:\n  - name: FOO0::1::INSTR\n",
         "bad.yaml:2:11: cannot tell the kind of resource 'FOO0::1::INSTR' (the name begins with "
         "neither VXI, GPIB, USB nor TCPIP; give 'kind')"},
        {"resources:\n  - name: VXI0::1::INSTR\n    slot: two\n",
         "bad.yaml:3:11: slot must be an integer, not 'two'"},
        {"resources:\n  - name: VXI0::1::INSTR\n    manufacturer: 0x1FFFF\n",
         "bad.yaml:3:19: manufacturer must lie in 0..65535, not 0x1FFFF"},
        {"resources:\n  - name: VXI0::1::INSTR\n  - name: vxi0::1::instr\n",
         "bad.yaml:3:11: resource 'vxi0::1::instr' is listed twice"},
        {"resources:\n  - name: VXI0::1::INSTR\n    faults: {locked: soon}\n",
         "bad.yaml:3:22: locked (seconds) must be a number, not 'soon'"},
        {"carriers:\n  - resource: VXI0::1::INSTR\n    positions: [ortav]\n",
         "bad.yaml:2:15: carrier resource 'VXI0::1::INSTR' is not among the bench's resources"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions: {5: ortav}\n",
         "bad.yaml:5:17: position number must lie in 1..4, not 5"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions:\n      1: {type: ortav, hw_version: 3}\n",
         "bad.yaml:6:36: hw_version must lie in 1..2, not 3"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions:\n      1: {type: ortav, eeprom: shiny}\n",
         "bad.yaml:6:32: eeprom must be one of valid, blank, corrupt, absent, not 'shiny'"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions:\n      1: {type: ortav, resistors: [[1, 2], [3, 4]]}\n",
         "bad.yaml:6:36: resistors must be a list of 18 numbers (resistors 0..17)"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions:\n      1:\n        type: ortav\n        faults:\n"
         "          stuck: [{register: 0x05, mask: 1, level: 1}]\n",
         "bad.yaml:9:30: register offset must be even (16-bit registers), not 0x05"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions:\n      1:\n        type: ortav\n        faults:\n"
         "          open_resistor: [{channel: 1, resistor: 18}]\n",
         "bad.yaml:9:50: resistor must lie in 0..17, not 18"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions:\n      1:\n        type: ortav\n        fault: {busy: true}\n",
         "bad.yaml:8:9: unknown key 'fault' in ORTAV module (known keys: type, hw_version, "
         "id_high, resistor_error, resistors, series, current_gain, current_offset, eeprom, "
         "faults)"},
        {"resources:\n  - name: GPIB0::22::INSTR\nmultimeters:\n  - kind: fluke\n"
         "    resource: GPIB0::22::INSTR\n",
         "bad.yaml:4:11: multimeter kind must be one of hpe1412, hp3458a, mervd, sulvat, tarnel, "
         "not 'fluke'"},
        {"resources:\n  - name: VXI0::1::INSTR\ncarriers:\n  - resource: VXI0::1::INSTR\n"
         "    positions: [ortav]\nmultimeters:\n  - kind: tarnel\n    resource: VXI0::1::INSTR\n"
         "    position: 1\n",
         "bad.yaml:9:15: no mezzanine multimeter (type 32) at position 1 of a carrier at "
         "'VXI0::1::INSTR'"},
        // One document, and nothing after it.
        {"name: x\n...\nresources: []\n",
         "bad.yaml:3:1: text after the end of the bench description (a bench file holds one "
         "YAML document)"},
        {"name: x\n---\nname: y\n",
         "bad.yaml:3:1: text after the end of the bench description (a bench file holds one "
         "YAML document)"},
        {",", "bad.yaml:1:1: not valid YAML: unexpected ','"},
        {"\"x\"\n,\n",
         "bad.yaml:2:1: text after the end of the bench description (a bench file holds one "
         "YAML document)"},
        {"name: x\nresources:\n  - " + std::string(600, '['),
         "bad.yaml:3:1: nested 500 levels deep; at most 499 levels are allowed"},
        // Physics that cannot be: resistors of zero or negative ohms, spreads
        // that make stored values negative or infinite.
        {moduleRow("resistor_error: -1"),
         "bad.yaml:6:40: resistor_error must lie in -0.9..9, not -1"},
        {moduleRow("resistor_error: -1.5"),
         "bad.yaml:6:40: resistor_error must lie in -0.9..9, not -1.5"},
        {moduleRow("resistor_error: [0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1]"),
         "bad.yaml:6:92: resistor_error must lie in -0.9..9, not -1"},
        {moduleRow("resistor_error: {spread: 1}"),
         "bad.yaml:6:49: resistor_error spread must lie in 0..0.9, not 1"},
        {moduleRow("eeprom: {image: valid, deviation: -5}"),
         "bad.yaml:6:58: eeprom deviation must lie in 0..0.9, not -5"},
        {moduleRow("eeprom: {image: valid, deviation: 1e308}"),
         "bad.yaml:6:58: eeprom deviation must lie in 0..0.9, not 1e308"},
    };
    loadString("name: kept\n", "good.yaml");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.yaml);
        try {
            loadString(c.yaml, "bad.yaml");
            ADD_FAILURE() << "accepted";
        } catch (const BenchError &e) {
            if (c.message)
                EXPECT_STREQ(e.what(), c.message);
            else
                EXPECT_EQ(std::string(e.what()).rfind("bad.yaml:3:1: not valid YAML: ", 0), 0u)
                    << e.what();
        }
        EXPECT_EQ(bench().name, "kept") << "a bad bench replaces nothing";
    }
}

// A kind given for a name of another form: the fields that would come from the
// name keep their defaults, and nothing but a BenchError ever leaves the loader.
TEST_F(BenchFileTest, AKindGivenForAShortNameLoads) {
    const struct {
        const char *name, *kind;
        ResourceKind expected;
        int board;
    } cases[] = {
        {"VX::8::INSTR", "vxi", ResourceKind::Vxi, 0},
        {"GP::22::INSTR", "gpib", ResourceKind::Gpib, 0},
        {"US::1::2::3::INSTR", "usb", ResourceKind::Usb, 0},
        {"TC::10.0.0.1::INSTR", "tcpip", ResourceKind::Tcpip, 0},
        {"X::INSTR", "tcpip", ResourceKind::Tcpip, 0},
        {"VXI99999999999999::8::INSTR", "vxi", ResourceKind::Vxi, 0},
        {"GPIB3::99999999999999::INSTR", "gpib", ResourceKind::Gpib, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            loadString(std::string("resources:\n  - {name: '") + c.name + "', kind: " + c.kind +
                           "}\n",
                       "short.yaml");
        } catch (const BenchError &e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        const Resource *r = bench().findResource(c.name);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->kind, c.expected);
        EXPECT_EQ(r->board, c.board);
    }
    EXPECT_EQ(bench().findResource("VX::8::INSTR"), nullptr) << "each load replaced the bench";
}

// Anything but a regular file of a sensible size is refused before it is read:
// a FIFO would block, a device would never end.
TEST_F(BenchFileTest, OnlyRegularFilesOfABoundedSizeAreRead) {
    const std::string dir = ::testing::TempDir() + "sim_special_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string fifo = dir + "/fifo.yaml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir + "/huge.yaml";
    { std::ofstream(huge) << "name: huge\n"; }
    ASSERT_EQ(truncate(huge.c_str(), (8 << 20) + 1), 0); // sparse: no disk space taken
    const struct {
        std::string path, message;
    } cases[] = {
        {fifo, fifo + ": not a regular file (a FIFO); a bench description is a YAML file"},
        {"/dev/zero",
         "/dev/zero: not a regular file (a character device); a bench description is a YAML file"},
        {"/dev/urandom", "/dev/urandom: not a regular file (a character device); a bench "
                         "description is a YAML file"},
        {dir, dir + ": not a regular file (a folder); a bench description is a YAML file"},
        {huge, huge + ": the file is larger than 8388608 bytes, the most a bench description may "
                      "have"},
    };
    loadString("name: kept\n", "good.yaml");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        char message[256];
        EXPECT_EQ(ortavBench_load(c.path.c_str(), message, sizeof message), -1);
        EXPECT_EQ(std::string(message), c.message);
        EXPECT_EQ(bench().name, "kept");
    }
    unlink(fifo.c_str());
    unlink(huge.c_str());
    rmdir(dir.c_str());
}

// Many thousands of resources load (in linear time: a quadratic look-up took
// over a minute here) and are found by name, in any case, as before.
TEST_F(BenchFileTest, ALargeBenchLoadsAndFindsEveryResource) {
    constexpr int kCount = 20000;
    auto name = [](int i) {
        return "TCPIP0::10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) +
               "::INSTR";
    };
    std::string yaml = "name: large\nresources:\n";
    for (int i = 0; i < kCount; ++i)
        yaml += "  - name: " + name(i) + "\n";
    yaml += "carriers:\n  - resource: tcpip0::10.0.78.31::instr\n    positions: [ortav]\n";
    loadString(yaml, "large.yaml");
    ASSERT_EQ(bench().resources.size(), size_t(kCount));
    for (int i : {0, 1, kCount / 2, kCount - 1}) {
        const Resource *r = bench().findResource(name(i));
        ASSERT_NE(r, nullptr) << i;
        EXPECT_EQ(r->name, name(i));
        EXPECT_EQ(r->tcpipAddress, name(i).substr(8, name(i).size() - 15));
    }
    EXPECT_EQ(bench().findResource("tcpip0::10.0.0.0::instr"), &bench().resources[0]);
    EXPECT_EQ(bench().findResource("TCPIP0::10.0.78.32::INSTR"), nullptr);
    ASSERT_NE(bench().findCarrier(name(kCount - 1)), nullptr);
    EXPECT_NE(bench().findCarrier(name(kCount - 1))->module(1), nullptr);

    // A twin far from the first is still found.
    try {
        loadString(yaml + "  - resource: " + name(kCount - 1) + "\n    positions: [ortav]\n",
                   "large.yaml");
        ADD_FAILURE() << "a second carrier at one resource was accepted";
    } catch (const BenchError &e) {
        EXPECT_EQ(std::string(e.what()), "large.yaml:20006:15: resource '" + name(kCount - 1) +
                                             "' already holds a carrier");
    }
}

TEST_F(BenchFileTest, FilesThroughTheCEntryPoints) {
    char message[256];
    EXPECT_EQ(ortavBench_load("/nonexistent/bench.yaml", message, sizeof message), -1);
    EXPECT_STREQ(message,
                 "/nonexistent/bench.yaml: cannot read the file: No such file or directory");

    const std::string path = ::testing::TempDir() + "sim_bench_test.yaml";
    std::ofstream(path)
        << "name: from a file\nresources:\n  - name: GPIB0::9::INSTR\n    bogus: 1\n";
    EXPECT_EQ(ortavBench_load(path.c_str(), message, sizeof message), -1);
    EXPECT_EQ(std::string(message), path + ":4:5: unknown key 'bogus' in resource (known keys: "
                                           "name, kind, board, slot, manufacturer, model, "
                                           "mainframe_la, la, address, secondary, serial, idn, "
                                           "faults)");
    std::ofstream(path) << "name: from a file\n";
    EXPECT_EQ(ortavBench_load(path.c_str(), message, sizeof message), 0);
    ortavBench_name(message, 8);
    EXPECT_STREQ(message, "from a ");
    EXPECT_EQ(ortavBench_check(message, sizeof message), 0);

    loadString("resources:\n  - name: GPIB0::22::INSTR\n  - name: VXI0::8::INSTR\n"
               "carriers:\n  - {resource: VXI0::8::INSTR, positions: [ortav, empty, 32]}\n"
               "multimeters:\n  - {kind: hp3458a, resource: GPIB0::22::INSTR, noise: 2e-6}\n"
               "  - {kind: tarnel, resource: VXI0::8::INSTR, position: 3}\n");
    double noise = -1;
    EXPECT_EQ(ortavBench_multimeterNoise("hp3458a", "gpib0::22::instr", 0, &noise), 0);
    EXPECT_EQ(noise, 2e-6);
    EXPECT_EQ(ortavBench_multimeterNoise("tarnel", "VXI0::8::INSTR", 3, &noise), 0);
    EXPECT_EQ(noise, 0.0);
    EXPECT_EQ(ortavBench_multimeterNoise("tarnel", "VXI0::8::INSTR", 2, &noise), -1);
    EXPECT_EQ(ortavBench_multimeterNoise("hpe1412", "GPIB0::22::INSTR", 0, &noise), -1);
    EXPECT_EQ(ortavBench_multimeterNoise("hp34401", "GPIB0::22::INSTR", 0, &noise), -1);
}

} // namespace
} // namespace simtest
