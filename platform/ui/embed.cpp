#include "embed.h"

#include "internal.h"

QWidget *CtrlWidget(int panel, int control) {
    ui::detail::Control *c = ui::detail::control(panel, control);
    return c != nullptr ? c->widget.data() : nullptr;
}
