// A long run on the panels (the automatic verification, the calibration, the
// search for instruments): the message panel says what runs and, for a run of
// points, "точка n из N" with a progress bar and a "Стоп" button. The run's
// waits keep every window drawn and the "Стоп" button working; operator input
// reaches only the message panel and the popups meanwhile, so nothing of the
// run (or anything else that drives the module) starts again inside it.
#pragma once

// Starts a run: text for the message panel; points > 0 shows the progress;
// stoppable shows "Стоп", which asks the run to stop at its next safe point.
// Runs do not nest: a second begin while one runs only changes the text.
void longRunBegin(const char *text, int points, bool stoppable);
// The run works on point n (from 1) of its points.
void longRunPoint(int n);
// Ends the run: the message panel hidden, input everywhere again.
void longRunEnd();
bool longRunActive();

// Installed once at start-up: the clock's waits process pending events while a
// long run goes on (and only then).
void installResponsiveWaits();

// The progress text for point n of N: "точка n из N".
const char *longRunProgressText();
