// The command line of p_ortav, one for the front panel and for headless runs
// (p_ortav --batch COMMAND [options]).
//
// Every option is one row of the table in batch_options.cpp: its names, its
// value, its help line, the modes it belongs to and how its value is read into
// Options. A new option is a field here and a row there.
#pragma once

#include <string>

namespace ortav::batch {

// None: the front panel. History and Due: read the results database and print.
enum class Command { None, SelfTest, Calibrate, Verify, History, Due };

struct Options {
    bool help = false;               // --help, -h
    bool version = false;            // --version
    Command command = Command::None; // --batch COMMAND
    std::string bench;               // --bench FILE: the simulated bench
    std::string visa;                // --visa NAME: the VISA library
    std::string resource;   // --resource: the carrier's VISA resource; empty: the first found
    int position = 0;       // --position 1..4; 0: the first ORTAV on the carrier
    std::string multimeter; // --multimeter KIND; empty: the interactive search order
    bool write = false;     // --write (calibrate): store the coefficients in the module
    bool allowModifiedMath = false; // --allow-modified-math: go on when ortav_math fails its check
    std::string protocol;           // --protocol FILE (verify); empty: the panel's default
    std::string chart;              // --chart FILE.png (verify): FILE-R.png and FILE-I.png
    bool hasTemperature = false;
    double temperature = 20.0; // --temperature C (verify): ambient temperature
    int hardwareVersion = 0; // --hardware-version 1|2 (verify); 0: what the module reports
    // The results database.
    std::string resultsDb;    // --results-db PATH|postgresql://...|none; empty: the default
    std::string station;      // --station NAME; empty: the host name
    std::string operatorName; // --operator NAME; empty: the login name
    bool hasAsset = false;
    std::string asset;                   // --asset A: the module's asset number
    int calibrationMonths = 0;           // --calibration-interval MONTHS; 0: the settings' or 12
    bool json = false;                   // --json (--history, --due)
    std::string decisionRule = "simple"; // --decision-rule simple|guarded (verify)
    std::string meterPeriod = "1y";      // --meter-period 24h|90d|1y (verify)
    std::string certificate;             // --certificate FILE.pdf (verify)
};

// The multimeter kinds, as --multimeter and the bench file name them.
inline constexpr const char *kMultimeterKinds[] = {"hpe1412", "hp3458a", "mervd", "sulvat",
                                                   "tarnel"};

// Whether the command line asks for a headless run at all.
bool requested(int argc, char *argv[]);

// Reads the command line of either mode. Empty on success; otherwise the
// message of a usage error, naming the argument that is wrong (also an option
// of the other mode or of another command).
std::string parse(int argc, char *argv[], Options &options);

// --help: every option of both modes, grouped, with the exit statuses.
std::string helpText();

// What follows the message of a usage error on standard error.
const char *usage();

} // namespace ortav::batch
