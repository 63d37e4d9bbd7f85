#include "embed.h"

#include "internal.h"
#include "userint.h"

#include <QMetaObject>
#include <QPointer>

#include <utility>
#include <vector>

namespace {
struct FrameCall {
    QPointer<QObject> context;
    std::function<void()> fn;
};
std::vector<FrameCall> &frameCalls() {
    static std::vector<FrameCall> calls;
    return calls;
}
} // namespace

QWidget *CtrlWidget(int panel, int control) {
    ui::detail::Control *c = ui::detail::control(panel, control);
    return c != nullptr ? c->widget.data() : nullptr;
}

void AtNextFrame(QObject *context, std::function<void()> fn) {
    if (context == nullptr || !fn)
        return;
    if (!ui::detail::displayDeferred()) {
        QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
        return;
    }
    frameCalls().push_back({context, std::move(fn)});
    ui::detail::framePendingValues();
}

namespace ui::detail {
void runFrameCalls() {
    auto calls = std::move(frameCalls());
    frameCalls().clear();
    for (FrameCall &c : calls)
        if (!c.context.isNull())
            c.fn();
}
} // namespace ui::detail
