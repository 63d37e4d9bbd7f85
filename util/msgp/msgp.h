// The message panel: a small window of its own that shows a short text while a
// long operation blocks the interface ("Подождите, идет открытие..."); for a
// run of points also how far it is, and a button to stop it.
#pragma once

#include "userint.h"

// Builds the panel once; does nothing when it exists.
void BuildMSGP();
// Shows the text (line breaks split it into lines), sized to show all of it.
void msgpDisplay(const char *text);
// Hides the panel if it was ever built.
void msgpHide();

// Under the text: a line such as "точка 3 из 94" and a bar filled to
// value/max; nullptr takes both away.
void msgpProgress(const char *text, int value, int max);
// A "Стоп" button beside the progress that calls the callback on commit;
// nullptr takes it away.
void msgpStop(CtrlCallbackPtr callback);

// The panel and its controls; 0 until built.
int msgpPanel();
int msgpTextBox();
int msgpProgressText();
int msgpProgressBar();
int msgpStopButton();
