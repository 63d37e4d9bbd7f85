// For the few program parts that draw with Qt themselves (the verification
// chart on a canvas of its sheet): the widget behind a control.
#pragma once

#include <functional>

class QObject;
class QWidget;

// The control's widget, or nullptr for a missing panel or control. Children
// put into it live and die with the panel.
QWidget *CtrlWidget(int panel, int control);

// Runs `fn` once, just before the windows' next frame while a long run paces
// its frames (so that work for the screen is done once a frame, not at every
// turn of the event loop), else at the next turn of the event loop. Not run if
// `context` is gone by then.
void AtNextFrame(QObject *context, std::function<void()> fn);
