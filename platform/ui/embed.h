// For the few program parts that draw with Qt themselves (the verification
// chart on a canvas of its sheet): the widget behind a control.
#pragma once

class QWidget;

// The control's widget, or nullptr for a missing panel or control. Children
// put into it live and die with the panel.
QWidget *CtrlWidget(int panel, int control);
