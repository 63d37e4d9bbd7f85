// The message panel: a small window of its own that shows a short text while a
// long operation blocks the interface ("Подождите, идет открытие...").
#pragma once

// Builds the panel once; does nothing when it exists.
void BuildMSGP();
// Shows the text (line breaks split it into lines), sized to show all of it.
void msgpDisplay(const char *text);
// Hides the panel if it was ever built.
void msgpHide();

// The panel and its text box; 0 until built.
int msgpPanel();
int msgpTextBox();
