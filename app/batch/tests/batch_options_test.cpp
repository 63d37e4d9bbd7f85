// The command line of both modes: what it accepts, and a message naming the
// argument for everything it refuses.
#include "batch_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ortav::batch;

namespace {

std::string parseArgs(std::vector<std::string> args, Options &o) {
    args.insert(args.begin(), "p_ortav");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return parse(static_cast<int>(args.size()), argv.data(), o);
}

} // namespace

TEST(BatchOptions, AcceptsEveryOptionInBothSpellings) {
    Options o;
    EXPECT_EQ(parseArgs({"--batch", "verify", "--resource", "VXI0::8::INSTR", "--position=3",
                         "--multimeter", "hp3458a", "--protocol", "run.log", "--chart=run.png",
                         "--temperature", "24.5", "--bench", "b.yaml", "--visa=libvisa.so"},
                        o),
              "");
    EXPECT_EQ(o.command, Command::Verify);
    EXPECT_EQ(o.resource, "VXI0::8::INSTR");
    EXPECT_EQ(o.position, 3);
    EXPECT_EQ(o.multimeter, "hp3458a");
    EXPECT_EQ(o.protocol, "run.log");
    EXPECT_EQ(o.chart, "run.png");
    EXPECT_TRUE(o.hasTemperature);
    EXPECT_EQ(o.temperature, 24.5); // read with a point whatever the locale
    EXPECT_EQ(o.decisionRule, "simple");
    EXPECT_EQ(o.meterPeriod, "1y");
    EXPECT_EQ(parseArgs({"--batch", "verify", "--decision-rule", "guarded", "--meter-period=90d",
                         "--certificate", "c.pdf"},
                        o),
              "");
    EXPECT_EQ(o.decisionRule, "guarded");
    EXPECT_EQ(o.meterPeriod, "90d");
    EXPECT_EQ(o.certificate, "c.pdf");

    EXPECT_EQ(parseArgs({"--batch=calibrate", "--write"}, o), "");
    EXPECT_EQ(o.command, Command::Calibrate);
    EXPECT_TRUE(o.write);
    EXPECT_EQ(parseArgs({"--batch", "selftest"}, o), "");
    EXPECT_EQ(o.command, Command::SelfTest);
    EXPECT_EQ(o.position, 0);
    EXPECT_TRUE(o.multimeter.empty());
}

TEST(BatchOptions, RefusalsNameTheWrongArgument) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--batch"}, "--batch needs a command: selftest, calibrate or verify"},
        {{"--resource", "X"}, "--resource: only with --batch"},
        {{"--protocol=a.log"}, "--protocol: only with --batch verify"},
        {{"--write", "--bench", "b.yaml"}, "--write: only with --batch calibrate"},
        {{"--batch", "frob"}, "--batch: unknown command 'frob' (selftest, calibrate or verify)"},
        {{"--batch", "verify", "--position", "5"},
         "--position: '5' is not a mezzanine position 1..4"},
        {{"--batch", "verify", "--position", "1x"},
         "--position: '1x' is not a mezzanine position 1..4"},
        {{"--batch", "verify", "--position"}, "--position needs a mezzanine position 1..4"},
        {{"--batch", "verify", "--multimeter", "fluke"},
         "--multimeter: unknown kind 'fluke' (hpe1412, hp3458a, mervd, sulvat or tarnel)"},
        {{"--batch", "verify", "--temperature", "20,5"},
         "--temperature: '20,5' is not a temperature from -40 to 80 °C"},
        {{"--batch", "verify", "--temperature", "81"},
         "--temperature: '81' is not a temperature from -40 to 80 °C"},
        // Every range check is false for NaN: it would widen every norm.
        {{"--batch", "verify", "--temperature", "nan"},
         "--temperature: 'nan' is not a temperature from -40 to 80 °C"},
        {{"--batch", "verify", "--temperature=-nan"},
         "--temperature: '-nan' is not a temperature from -40 to 80 °C"},
        {{"--batch", "verify", "--temperature", "inf"},
         "--temperature: 'inf' is not a temperature from -40 to 80 °C"},
        {{"--batch", "verify", "--hardware-version", "0"},
         "--hardware-version: '0' is not a hardware version, 1 or 2"},
        {{"--batch", "verify", "--hardware-version", "nan"},
         "--hardware-version: 'nan' is not a hardware version, 1 or 2"},
        {{"--batch", "calibrate", "--hardware-version", "1"},
         "--hardware-version: only with --batch verify"},
        {{"--batch", "verify", "--write"}, "--write: only with --batch calibrate"},
        {{"--batch", "calibrate", "--protocol", "a.log"}, "--protocol: only with --batch verify"},
        {{"--batch", "selftest", "--chart", "a.png"}, "--chart: only with --batch verify"},
        {{"--batch", "verify", "--resource"}, "--resource needs a VISA resource name"},
        {{"--batch", "verify", "--decision-rule", "strict"},
         "--decision-rule: unknown rule 'strict' (simple or guarded)"},
        {{"--batch", "verify", "--meter-period", "2y"},
         "--meter-period: unknown period '2y' (24h, 90d or 1y)"},
        {{"--batch", "verify", "--certificate"}, "--certificate needs a file name"},
        {{"--batch", "calibrate", "--meter-period", "24h", "--certificate", "c.pdf"},
         "--meter-period: only with --batch verify"},
        {{"--batch", "verify", "--bench"}, "--bench needs a name"},
        {{"--batch", "verify", "-v"}, "unknown argument '-v'"},
        {{"--batch", "verify", "verify"}, "unknown argument 'verify'"},
        {{"--verbose"}, "unknown argument '--verbose'"},
        {{"-platform", "xcb"}, "unknown argument '-platform'"},
        {{"--bench", "b.yaml", "--", "x"}, "unknown argument 'x'"},
        {{"--batch", "calibrate", "--write=yes"}, "Unexpected value after '--write'."},
    };
    for (const auto &c : cases) {
        Options o;
        EXPECT_EQ(parseArgs(c.args, o), c.message) << c.args.back();
    }
}

TEST(BatchOptions, TheFrontPanelTakesItsOwnOptionsAndHelpAndVersionWin) {
    Options o;
    // A value that looks like an option is still the value.
    EXPECT_EQ(parseArgs({"--bench", "b.yaml", "--visa", "--odd-name"}, o), "");
    EXPECT_EQ(o.command, Command::None);
    EXPECT_EQ(o.bench, "b.yaml");
    EXPECT_EQ(o.visa, "--odd-name");
    EXPECT_EQ(parseArgs({"--batch", "selftest", "--visa=a.so", "--visa", "b.so"}, o), "");
    EXPECT_EQ(o.visa, "b.so"); // the last one counts

    EXPECT_EQ(parseArgs({"-h"}, o), "");
    EXPECT_TRUE(o.help);
    EXPECT_EQ(parseArgs({"--batch", "calibrate", "--protocol", "a.log", "--help"}, o), "");
    EXPECT_TRUE(o.help);
    EXPECT_EQ(parseArgs({"--version", "--temperature", "30"}, o), "");
    EXPECT_TRUE(o.version);
    EXPECT_FALSE(o.help);
    EXPECT_EQ(parseArgs({"--version", "--nonsense"}, o), "unknown argument '--nonsense'");
    EXPECT_FALSE(requested(3, std::vector<char *>{const_cast<char *>("p_ortav"),
                                                  const_cast<char *>("--bench"),
                                                  const_cast<char *>("--batch")}
                                  .data()));
}

TEST(BatchOptions, HelpListsEveryOptionInItsGroup) {
    const std::string help = helpText();
    const auto at = [&](const char *text) { return help.find(text); };
    const auto both = at("\nBoth modes:\n"), batch = at("\nHeadless runs (--batch COMMAND):\n");
    ASSERT_NE(both, std::string::npos) << help;
    ASSERT_NE(batch, std::string::npos) << help;
    EXPECT_LT(both, batch);
    // Each option's line, once, in its group.
    const auto line = [&](const std::string &o) { return help.find("\n  " + o + " "); };
    for (const char *o : {"-h, --help", "--version", "--bench FILE", "--visa NAME"})
        EXPECT_TRUE(line(o) > both && line(o) < batch) << o;
    for (const char *o : {"--batch COMMAND", "--resource RSRC", "--position N", "--multimeter KIND",
                          "--write", "--protocol FILE", "--temperature C", "--chart FILE.png"})
        EXPECT_TRUE(line(o) > batch && line(o) != std::string::npos) << o;
    // An option of some commands names them.
    EXPECT_NE(at("--write               calibrate: store the coefficients"), std::string::npos)
        << help;
    EXPECT_NE(at("--protocol FILE       verify: the protocol file"), std::string::npos) << help;
    EXPECT_NE(at("Exit status: 0"), std::string::npos);
}
