// The history window (menu "Справка" > "История"): the runs of the open module
// (all recorded runs when none is open) with date, kind, verdict, station and
// operator; a click on a run shows its points; the drift of each resistor's
// stored value across calibrations, relative to nominal, per channel; export
// of a run or of the whole history to CSV; "Обновить" reads the database again.
#pragma once

#include "run_record.h"

#include <string>
#include <vector>

class QWidget;

namespace ortav::history {

void showHistoryWindow();
void closeHistoryWindow();
QWidget *historyWindow(); // the window while it is open, else null

// The CSV of a run's points (as the results table beside the protocol) and of
// a list of runs.
std::string runCsv(const results::RunRecord &run);
std::string historyCsv(const std::vector<results::RunRecord> &runs);

} // namespace ortav::history
