// What the results database holds of one run: the module, where and by whom it
// ran, with what, and what came of it, point by point.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace ortav::results {

// Kinds of run, as the database spells them.
inline constexpr const char *kVerification = "verification"; // the automatic run
inline constexpr const char *kManual = "manual";             // one point judged by hand
inline constexpr const char *kCalibration = "calibration";   // the automatic calibration
inline constexpr const char *kStore = "store";               // the tables written to the module
inline constexpr const char *kSelfTest = "selftest";

// Verdicts: "passed", "failed", "incomplete", "interrupted"; a store is
// "stored" or "refused".
inline constexpr const char *kInterrupted = "interrupted";

struct PointRecord {
    std::time_t time = 0;
    int chan = 1;
    int mode = 1; // 1 resistance (ohms), 2 current (milliamperes)
    double set = 0.0;
    double measured = 0.0;
    double deviation = 0.0;
    double permitted = 0.0;
    bool failed = false;
    // What the reference reading was worth, when it is known (not for a typed
    // value or a meter whose accuracy is not stated).
    bool uncertaintyKnown = false;
    double expanded = 0.0; // U (k = 2), in the unit of measured
    double tur = 0.0;      // permitted / U (infinite for U = 0)
    bool turLow = false;   // below 4:1
    // Under the guard band of U: "pass", "fail", "conditional"; empty: not
    // recorded (a run recorded before the database kept it).
    std::string guarded;
};

// A value a calibration put into its tables.
struct CalibrationEntry {
    int chan = 1;
    std::string kind; // "resistor", "series", "current"
    int index = 0;    // resistor 1..18, current point 1..2; 0 for the series resistance
    double value = 0.0;
    bool beyondTolerance = false;
};

struct RunRecord {
    std::string runId; // made at the station; unique across stations
    std::string kind;
    std::time_t started = 0;
    std::time_t finished = 0;
    std::string programVersion;
    std::string mathIntegrity; // the integrity line of ortav_math
    std::string station;
    std::string operatorName;
    bool simulated = false;
    std::string bench;
    std::string carrierResource, carrierManufacturer, carrierModel, carrierSerial;
    int position = 0;
    int hardwareVersion = 0;
    std::string moduleIdentification;
    std::string asset;       // the module's asset number, when the operator gave one
    std::string coeffImage;  // the 344-byte image in use, hexadecimal
    std::string coeffStored; // the image written to the module (a store), hexadecimal
    std::string multimeterKind, multimeterResource;
    double ambientTemperature = 20.0;
    int pointsExpected = 0;
    std::string decisionRule; // "simple", "guarded"; empty: none (or not recorded)
    std::string verdict;
    std::string error;
    std::vector<PointRecord> points;
    std::vector<CalibrationEntry> calibration;
};

} // namespace ortav::results
