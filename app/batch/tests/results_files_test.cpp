// The machine-readable results beside the protocol: the CSV rows and the JSON
// summary.
#include "result_files.h"
#include "results_csv.h"
#include "results_json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace ortav::calib;

namespace {

std::string readAll(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/ortav_results_XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string file(const char *name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

JudgedPoint point(int chan, int mode, double set, double measured, double permitted, bool failed) {
    JudgedPoint p;
    p.chan = chan;
    p.mode = mode;
    p.set = set;
    p.measured = measured;
    p.deviation = measured - set;
    p.permitted = permitted;
    p.failed = failed;
    return p;
}

} // namespace

TEST(ResultsFiles, NamesBesideTheProtocol) {
    EXPECT_EQ(besideProtocol("ortav.log", ".csv"), "ortav.csv");
    EXPECT_EQ(besideProtocol("/data/Run 1.LOG", ".json"), "/data/Run 1.json");
    EXPECT_EQ(besideProtocol("run.txt", ".csv"), "run.txt.csv");
    EXPECT_EQ(besideProtocol(".log", ".csv"), ".log.csv"); // no name to keep otherwise
}

TEST(ResultsFiles, CsvRowsGiveBackTheJudgedNumbersUnderADecimalCommaLocale) {
    // The tests run under a decimal-comma locale; make sure the C library uses it.
    std::setlocale(LC_ALL, "");
    JudgedPoint p = point(2, 1, 1498.5, 1499.1234567890123, 0.9891, true);
    const std::string row = csvRow(p);
    const std::string tail = row.substr(row.find(',') + 1);
    EXPECT_EQ(tail.substr(0, tail.find(",1498.5,")), "2,resistance,Ohm");
    double set = 0, measured = 0, deviation = 0, permitted = 0;
    char verdict[8] = "";
    std::setlocale(LC_ALL, "C"); // sscanf reads a point in the C locale only
    ASSERT_EQ(std::sscanf(tail.c_str(), "2,resistance,Ohm,%lf,%lf,%lf,%lf,%7[a-z]", &set, &measured,
                          &deviation, &permitted, verdict),
              5)
        << row;
    EXPECT_EQ(measured, p.measured);
    EXPECT_EQ(deviation, p.deviation);
    EXPECT_EQ(permitted, p.permitted);
    EXPECT_STREQ(verdict, "fail");
    EXPECT_EQ(row.back(), '\n');
    // The shortest text that gives the same double back.
    const std::string shortest = csvRow(point(1, 2, 2.78, 0.7, 1e-5, false));
    EXPECT_EQ(
        shortest.substr(shortest.find(',') + 1),
        "1,current,mA,2.78,0.7,-2.08,1e-05,pass,simple,unknown,unknown,unknown,conditional,\n");
}

TEST(ResultsFiles, CsvIsAppendedWithOneHeader) {
    TempDir dir;
    const std::string path = dir.file("r.csv");
    ASSERT_TRUE(appendCsvRow(path, point(1, 1, 100, 100.05, 0.1, false)));
    ASSERT_TRUE(appendCsvRow(path, point(2, 2, 2.0, 2.012, 0.01, true)));
    const std::string text = readAll(path);
    EXPECT_EQ(text, std::string(kCsvHeader) + csvRow(point(1, 1, 100, 100.05, 0.1, false)) +
                        csvRow(point(2, 2, 2.0, 2.012, 0.01, true)));
    EXPECT_FALSE(appendCsvRow(dir.file("missing/r.csv"), point(1, 1, 1, 1, 1, false)));
}

// Rows follow the file's name: removed, or another file put in its place
// between two rows, the next row goes to the file the name now leads to.
TEST(ResultsFiles, CsvRowsFollowTheNameWhenTheFileIsReplaced) {
    TempDir dir;
    const std::string path = dir.file("r.csv");
    const auto row = [](double set) { return point(1, 1, set, set, 1.0, false); };
    ASSERT_TRUE(appendCsvRow(path, row(1)));
    ASSERT_EQ(std::remove(path.c_str()), 0);
    ASSERT_TRUE(appendCsvRow(path, row(2)));
    EXPECT_EQ(readAll(path), std::string(kCsvHeader) + csvRow(row(2)));
    const std::string other = dir.file("other.csv");
    ASSERT_TRUE(appendCsvRow(other, row(3)));
    ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
    ASSERT_TRUE(appendCsvRow(path, row(4)));
    EXPECT_EQ(readAll(path), std::string(kCsvHeader) + csvRow(row(3)) + csvRow(row(4)));
}

TEST(ResultsFiles, CsvUncertaintyColumnsAndAFileOfAnotherShapeLeftAlone) {
    using namespace ortav::uncertainty;
    JudgedPoint p = point(1, 1, 100, 100.05, 0.1, false);
    p.rule = Rule::Guarded;
    p.uncertainty.known = true;
    p.uncertainty.expanded = 0.0625;
    p.tur = 1.6;
    p.guarded = Verdict::Conditional;
    const auto tail = [](const std::string &row) { return row.substr(row.find(",pass,") + 6); };
    EXPECT_EQ(tail(csvRow(p)), "guarded,0.0625,1.6,yes,conditional,\n");
    p.tur = 4.0; // 4:1 is enough
    p.guarded = Verdict::Pass;
    EXPECT_EQ(tail(csvRow(p)), "guarded,0.0625,4,no,pass,\n");
    p.uncertainty.expanded = 0.0;
    p.tur = std::numeric_limits<double>::infinity();
    EXPECT_EQ(tail(csvRow(p)), "guarded,0,inf,no,pass,\n");
    p.rule = Rule::Simple;
    p.uncertainty = Budget{};
    p.guarded = Verdict::Conditional;
    EXPECT_EQ(tail(csvRow(p)), "simple,unknown,unknown,unknown,conditional,\n");
    const std::string row = csvRow(p);
    EXPECT_EQ(std::count(kCsvHeader, kCsvHeader + std::strlen(kCsvHeader), ','),
              std::count(row.begin(), row.end(), ','));

    // A file an earlier version began keeps its rows of its own shape only.
    TempDir dir;
    const std::string old = dir.file("old.csv");
    const std::string before =
        "time,channel,mode,unit,set,measured,deviation,permitted_deviation,verdict\n"
        "2026-01-01T00:00:00,1,resistance,Ohm,100,100,0,0.1,pass\n";
    std::ofstream(old, std::ios::binary) << before;
    EXPECT_EQ(csvBesideProtocol(dir.file("old.log")), dir.file("old-2.csv"));
    EXPECT_EQ(readAll(old), before);
}

TEST(ResultsFiles, VerdictUnderTheRuleAndThePointsInTheSummary) {
    using namespace ortav::uncertainty;
    RunSummary s;
    s.expected = 2;
    s.completed = true;
    s.points = {point(1, 1, 100, 100.01, 0.1, false), point(1, 2, 1.0, 1.001, 0.01, false)};
    for (JudgedPoint &p : s.points)
        p.guarded = Verdict::Pass;
    s.points[1].guarded = Verdict::Conditional;
    EXPECT_EQ(verdictByRule(s), "passed"); // simple: the protocol's
    s.decisionRule = "guarded";
    EXPECT_EQ(verdictByRule(s), "conditional");
    s.points[0].guarded = Verdict::Fail;
    EXPECT_EQ(verdictByRule(s), "failed");
    EXPECT_EQ(verdictOf(s), "passed"); // the protocol's verdict stays
    s.points.pop_back();
    EXPECT_EQ(verdictByRule(s), "incomplete");

    s.points[0].uncertainty.known = true;
    s.points[0].uncertainty.standard = 0.25;
    s.points[0].uncertainty.expanded = 0.5;
    s.points[0].tur = 0.2;
    s.points.push_back(point(2, 1, 200, 200.5, 0.2, true));
    s.points[1].uncertainty.unknownWhy = "the value was typed by the operator";
    const std::string j = summaryJson(s);
    EXPECT_NE(j.find("\"points\": [\n    {\"channel\": 1, \"mode\": \"resistance\", \"unit\": "
                     "\"Ohm\", \"set\": 100, \"measured\": 100.01000000000001, \"deviation\": "
                     "0.010000000000005116, \"permitted\": 0.10000000000000001, "
                     "\"simple_verdict\": \"pass\", \"standard_uncertainty\": 0.25, "
                     "\"expanded_uncertainty\": 0.5, \"coverage_factor\": 2, \"tur\": "
                     "0.20000000000000001, \"tur_low\": true, \"guarded_verdict\": \"fail\"},\n"
                     "    {\"channel\": 2, "),
              std::string::npos)
        << j;
    EXPECT_NE(j.find("\"standard_uncertainty\": null, \"expanded_uncertainty\": null, "
                     "\"coverage_factor\": 2, \"tur\": null, \"tur_low\": false, "
                     "\"uncertainty_unknown\": \"the value was typed by the operator\", "
                     "\"guarded_verdict\": \"conditional\"}\n  ],\n"),
              std::string::npos)
        << j;
    EXPECT_NE(j.find("\"verdict_by_rule\": \"failed\",\n  \"verdict\": \"failed\"\n}"),
              std::string::npos);
}

// The summary's numbers are printf's "%.17g" in the C locale, byte for byte,
// under the decimal-comma locale the tests run in.
TEST(ResultsFiles, SummaryNumbersAsCPrintfWritesThem) {
    std::setlocale(LC_ALL, "");
    for (double v : {0.0, -0.0, 1.0, 0.1, 100.01, -123456.789, 1e-7, 2.5e-310, 1e21, 1e22,
                     123456789012345678.0, std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::infinity()}) {
        RunSummary s;
        s.points = {point(1, 1, v, 1.0, 0.1, false)};
        const std::string j = summaryJson(s);
        std::setlocale(LC_ALL, "C");
        char want[64];
        std::snprintf(want, sizeof want, "\"set\": %.17g,", v);
        std::setlocale(LC_ALL, "");
        EXPECT_NE(j.find(want), std::string::npos) << want << "\n" << j;
    }
    std::setlocale(LC_ALL, "C");
}

TEST(ResultsFiles, BenchColumnAndAFileOfOtherColumns) {
    const JudgedPoint p = point(1, 1, 100, 100.05, 0.1, false);
    const std::string plain = csvRow(p), named = csvRow(p, "Стенд \"А\", 2");
    EXPECT_EQ(plain.substr(plain.size() - 2), ",\n"); // a real VISA: empty
    EXPECT_EQ(named.substr(named.rfind(",\"Стенд")), ",\"Стенд \"\"А\"\", 2\"\n");
    EXPECT_EQ(std::string(kCsvHeader).substr(std::string(kCsvHeader).rfind(',')), ",bench\n");

    // A file begun with other columns keeps its shape: the rows go beside it.
    TempDir dir;
    const std::string before = "time,channel,verdict\n2026-01-01T00:00:00,1,pass\n";
    std::ofstream(dir.file("old.csv"), std::ios::binary) << before;
    EXPECT_EQ(csvBesideProtocol(dir.file("old.log")), dir.file("old-2.csv"));
    ASSERT_TRUE(appendCsvRow(csvBesideProtocol(dir.file("old.log")), p, "b"));
    EXPECT_EQ(csvBesideProtocol(dir.file("old.log")), dir.file("old-2.csv"));
    EXPECT_EQ(readAll(dir.file("old.csv")), before);
    EXPECT_EQ(readAll(dir.file("old-2.csv")), std::string(kCsvHeader) + csvRow(p, "b"));
    std::ofstream(dir.file("empty.csv"), std::ios::binary);
    EXPECT_EQ(csvBesideProtocol(dir.file("empty.log")), dir.file("empty.csv"));
    EXPECT_EQ(csvBesideProtocol(dir.file("new.log")), dir.file("new.csv"));
}

TEST(ResultsFiles, SummaryVerdictAndCounts) {
    RunSummary s;
    s.expected = 3;
    s.completed = true;
    s.points = {point(1, 1, 100, 100.01, 0.1, false), point(2, 1, 100, 100.5, 0.1, true),
                point(1, 2, 1.0, 1.001, 0.01, false)};
    EXPECT_EQ(verdictOf(s), "failed");
    s.points[1].failed = false;
    EXPECT_EQ(verdictOf(s), "passed");
    s.points.pop_back(); // a skipped point: nothing can be said of the module
    EXPECT_EQ(verdictOf(s), "incomplete");
    s.points.push_back(point(1, 2, 1.0, 1.001, 0.01, false));
    s.completed = false; // ended before its verdict
    EXPECT_EQ(verdictOf(s), "incomplete");
    s.interrupted = true; // stopped on request, whatever was judged
    EXPECT_EQ(verdictOf(s), "interrupted");
    s.running = true; // written as it starts
    EXPECT_EQ(verdictOf(s), "running");
    s.running = s.interrupted = false;

    s.completed = true;
    s.coeffImage = {0x00, 0xAB, 0x0F};
    s.resource = "VXI0::8::INSTR";
    s.benchName = "стенд \"A\"\n";
    const std::string j = summaryJson(s);
    EXPECT_NE(j.find("\"coefficient_image\": \"00AB0F\""), std::string::npos);
    EXPECT_NE(j.find("\"counts\": {\"judged\": 3, \"passed\": 3, \"failed\": 0}"),
              std::string::npos);
    EXPECT_NE(j.find("{\"channel\": 2, \"mode\": \"resistance\", \"counts\": {\"judged\": 1, "
                     "\"passed\": 1, \"failed\": 0}}"),
              std::string::npos);
    EXPECT_NE(j.find("\"bench\": \"стенд \\\"A\\\"\\n\""), std::string::npos);
    EXPECT_NE(j.find("\"verdict\": \"passed\""), std::string::npos);
}

TEST(ResultsFiles, SummaryReplacesTheEarlierOneWhole) {
    TempDir dir;
    const std::string path = dir.file("r.json");
    RunSummary s;
    s.command = "verify";
    ASSERT_TRUE(writeSummaryJson(path, s));
    s.error = "second";
    ASSERT_TRUE(writeSummaryJson(path, s));
    EXPECT_EQ(readAll(path), summaryJson(s));
    EXPECT_NE(access((path + ".part").c_str(), F_OK), 0);
    EXPECT_FALSE(writeSummaryJson(dir.file("missing/r.json"), s));
}

TEST(ResultsFiles, JsonStringEscapesControlsAndKeepsUtf8) {
    EXPECT_EQ(jsonString("a\\b\t\x01я"), "\"a\\\\b\\t\\u0001я\"");
}

// A file replaced whole: the new bytes, or on a refusal the old ones, never a
// mixture; a FIFO in the way is refused at once instead of blocking the open.
TEST(ResultsFiles, ReplacedWholeOrLeftAsItWas) {
    TempDir dir;
    const std::string path = dir.file("summary.json");
    int error = 0;
    ASSERT_TRUE(replaceWhole(path, "first\n", &error)) << reasonText(error);
    ASSERT_TRUE(replaceWhole(path, "second\n", &error)) << reasonText(error);
    EXPECT_EQ(readAll(path), "second\n");
    EXPECT_NE(access((path + ".part").c_str(), F_OK), 0); // nothing left beside it

    ASSERT_EQ(mkfifo((path + ".part").c_str(), 0600), 0);
    EXPECT_FALSE(replaceWhole(path, "third\n", &error));
    EXPECT_EQ(error, kNotRegularFile);
    EXPECT_EQ(readAll(path), "second\n");

    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(replaceWhole(fifo, "x", &error));
    EXPECT_EQ(error, kNotRegularFile);
}
