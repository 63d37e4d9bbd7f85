// The verification chart on the verification sheet: the deviation of every
// judged point against its set value, per channel, inside the filled band of
// the permitted deviation; out-of-norm points in series of their own, in red.
// It follows the mode of the sheet (resistance in ohms on a logarithmic axis,
// current in milliamperes) and is shown over the results table by the sheet's
// "График" button; it can be saved as PNG for a report.
#pragma once

#include "chart_figure.h"
#include "judged_point.h"

#include <string>
#include <vector>

class QImage;

namespace ortav::calib {

// Takes a newly judged point (from pointJudged) and redraws.
void verificationChartAdd(const JudgedPoint &p);

// Forgets every point (the sheet's tables were emptied).
void verificationChartClear();

// The points a run is going to judge: the axes take all of them in from the
// start and stay put while the run's points come (a moving axis is hard to
// follow, and each change of one lays the chart out again). Empty: the judged
// points alone.
void verificationChartPlan(std::vector<PlannedPoint> planned);

// MODE of the sheet was committed: the chart shows that mode from now on.
void verificationChartFollowMode(int mode);

// Shows the chart over the results tables, or hides it.
void showVerificationChart(bool on);
bool verificationChartShown();

// Draws the chart into a PNG file at a size for a report (at least 1200 px
// wide), titled with the module, the date and, on a simulated bench, the
// bench: the mode drawn now, or the mode given (1 resistance, 2 current),
// which it then keeps. False on failure.
// Only into a regular file or a name not yet taken; false with *why (the
// reason) when the file cannot be written.
bool saveVerificationChart(const char *pngPath, int mode = 0, std::string *why = nullptr);
// The same drawing as an image (a certificate's).
QImage verificationChartImage(int mode = 0);

// The title a saved chart carries for the mode, its lines apart by '\n'.
std::string verificationChartTitle(int mode);

// The chart as drawn on the sheet, brought up to date; nullptr before the
// sheet exists.
const ChartFigure *verificationChartFigure();
// The mode drawn: 1 resistance, 2 current.
int verificationChartMode();

} // namespace ortav::calib
