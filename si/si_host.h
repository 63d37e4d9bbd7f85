// What the multimeter code needs of the program around it. The application
// defines these (the front panel, the message panel, the instrument chooser);
// tests define small recording fakes, so nothing here needs a window.
#pragma once

#include "../app/instruments.h" // InstrumentEntry and SelectInstrument

// Message panel shown while an instrument opens.
void msgpDisplay(const char *text);
void msgpHide();

// Writes text into the status line MSG of the main panel MP, keeping its colour.
void siHostStatusLine(const char *text);
// Sets the on-colour (0xRRGGBB) of the indicator LED of MP.
void siHostLedColor(int color);
// A modal message box with a title.
void siHostMessage(const char *title, const char *text);
