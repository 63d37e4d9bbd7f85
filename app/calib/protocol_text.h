// The texts of the verification protocol: headings, column headings, one line
// per judged point and the closing verdict of an automatic run. Written as
// UTF-8 here; the protocol file holds them in code page 1251.
#pragma once

#include "c_numbers.h"

#include <ctime>
#include <string>

namespace ortav::calib {

// Heading of each opening: the date and time line, then the title.
inline constexpr const char *kHeadingDateTime = "%s, %s\n";
inline constexpr const char *kHeadingTitle = "Протокол проверки погрешности мезонина ORTAV\n";
// On the simulated bench, after those two: the bench's name, so that a
// protocol of a simulated run is never taken for a real one.
inline constexpr const char *kHeadingSimulated = "Имитация: стенд %s\n";

// Column headings, written before the first line of each mode.
inline constexpr const char *kColumnsR =
    "канал          Rз            Rx           A(R)x           /норма/\n";
inline constexpr const char *kColumnsI =
    "канал         Iз           Ix           A(I)x           /норма/\n";

// One judged point: channel, set, measured, deviation, deviation in percent,
// (resistance only) permitted deviation in percent, verdict.
inline constexpr const char *kLineR =
    "%d      %10.4f Ом %10.4f Ом %10.4f Ом (%.3f%%) /%.3f%%/ %s\n";
inline constexpr const char *kLineI = "%d     %10.4fмА  %10.4fмА  %10.4fмА (%.3f%%) /0.01mA/ %s\n";
inline constexpr const char *kVerdictFailed = "не норма";
inline constexpr const char *kVerdictPassed = "";

// Closing texts of an automatic run. Each is a line of the protocol like any
// other, ended with a line end, so the next opening's date starts a line.
inline constexpr const char *kClosingFailed =
    "При выполнении поверки были обнаружены несоответствия норме.";
inline constexpr const char *kClosingPassed =
    "Автоповерка завершена, неисправностей не обнаружено.";
inline constexpr const char *kClosingPassedScreen =
    "Автоповерка завершена,\nнеисправностей не обнаружено.";
// A run stopped on request (a signal to a headless run, the stop button).
inline constexpr const char *kClosingInterrupted = "Автоповерка прервана, поверка не завершена.";
// A run in which points were skipped (no reading): never "no faults found".
// Arguments: the points not measured, the points of the run.
inline constexpr const char *kClosingSkipped =
    "Автоповерка завершена, не измерено точек: %d из %d.";
inline constexpr const char *kClosingSkippedScreen =
    "Автоповерка завершена,\nне измерено точек: %d из %d.";
inline constexpr const char *kClosingFailedSkipped =
    "При выполнении поверки были обнаружены несоответствия норме. Не измерено точек: %d из %d.";
inline constexpr const char *kClosingFailedSkippedScreen =
    "При выполнении поверки были обнаружены несоответствия норме.\nНе измерено точек: %d из %d.";
// A run stopped because its results could not be recorded.
inline constexpr const char *kClosingUnrecorded =
    "Автоповерка остановлена: результаты не удалось записать.";

// Numbers in the protocol and in messages: formatting runs inside one of these.
using CNumbers = ortav::text::CNumbers;

// |100 * value / set|, or 0 when set is 0.
double percentOf(double value, double set);

// printf into a buffer of the protocol's size (1024 bytes, cut there).
std::string formatProtocol(const char *format, ...) __attribute__((format(printf, 1, 2)));
inline constexpr int kProtocolBufferSize = 1024;

std::string resistanceLine(int chan, double set, double meas, double diff, double permitted,
                           bool failed);
std::string currentLine(int chan, double set, double meas, double diff, bool failed);

// Date and time as the run-time library writes them: "MM-DD-YYYY", "HH:MM:SS".
std::string dateText(const std::tm &t);
std::string timeText(const std::tm &t);

} // namespace ortav::calib
