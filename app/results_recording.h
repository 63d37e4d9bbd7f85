// The front panel's runs recorded in the results database (app/results_db):
// each automatic verification and manual point, each calibration and store of
// its tables, each self-test, for the panel and headless runs alike. It
// follows the runs through their observers; nothing in the procedures waits
// for it beyond one small local write per judged point.
#pragma once

#include "history.h"
#include "recorder.h"
#include "results_json.h"

#include <optional>
#include <string>

namespace ortav::recording {

struct Options {
    std::string database;     // --results-db: a file or postgresql://...; empty: the default file
    bool off = false;         // --results-db none
    std::string station;      // --station; empty: the host name
    std::string operatorName; // --operator; empty: the login name
    bool hasAsset = false;
    std::string asset;         // --asset (remembered for the carrier and position)
    int calibrationMonths = 0; // 0: the settings file's, else 12
};

// Before start-up (the command line's options). What they leave unsaid comes
// from the settings file (~/.config/p_ortav/p_ortav.ini, group [results]:
// database, station, calibration_interval_months).
void setOptions(const Options &options);
const Options &options();
int calibrationMonths();

// Opens the database and begins following the runs (start-up); ends it (shutdown).
// A database that cannot be used is reported on the status line in the warning
// colour; the runs then go unrecorded, and say so.
void start();
void stop();
bool recording();
// Why the database could not be opened, or the last run could not be recorded.
const std::string &lastError();
// The run id of the last run recorded; empty when it was not.
const std::string &lastRecordedRun();
results::Recorder *recorder();
std::string station();
std::string operatorName();

// The module at the current carrier and position: its asset (remembered per
// carrier and position) and its key in the history.
std::string asset();
bool setAsset(const std::string &asset);
results::ModuleKey openModule();

// Called when a module has been opened: the asset remembered for it, and its
// calibration due date on the status line when it is due or overdue.
void moduleOpened();
std::optional<results::Due> openModuleDue();
// The same as the run's summary and the headless run's output say it: unknown
// (with why) when nothing is recorded.
ortav::calib::CalibrationDue openModuleDueState();
// "Калибровка просрочена с 10.12.2026" / "Калибровка до 10.12.2026" (operator's text).
std::string dueText(const results::Due &due);

// Called by the self-test popup when the test has ended.
void selfTestEnded(int code, const std::string &message);

} // namespace ortav::recording
