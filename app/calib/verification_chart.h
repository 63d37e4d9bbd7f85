// The verification chart on the verification sheet: the deviation of every
// judged point against its set value, per channel, inside the band of the
// permitted deviation; failed points in red. It follows the mode of the sheet
// (resistance in ohms, current in milliamperes) and is shown over the results
// table by the sheet's "График" button; it can be saved as PNG.
#pragma once

#include "judged_point.h"

class QChart;

namespace ortav::calib {

// Takes a newly judged point (from pointJudged) and redraws.
void verificationChartAdd(const JudgedPoint &p);

// Forgets every point (the sheet's tables were emptied).
void verificationChartClear();

// Shows the chart over the results tables, or hides it.
void showVerificationChart(bool on);
bool verificationChartShown();

// Draws the chart (shown or not) into a PNG file: the mode drawn now, or the
// mode given (1 resistance, 2 current), which it then keeps. False on failure.
bool saveVerificationChart(const char *pngPath, int mode = 0);

// The chart as drawn, for tests; nullptr before the sheet exists. Its series:
// "канал 1", "канал 2" (failed points coloured red), "+норма", "−норма", and
// the legend's "не норма".
QChart *verificationChart();
// The mode drawn: 1 resistance, 2 current.
int verificationChartMode();

} // namespace ortav::calib
