// Values a long run sets at every point, put in their widgets once a frame,
// and the work for the screen given for the next frame (AtNextFrame).
#include "embed.h"
#include "internal.h"
#include "userint.h"
#include "widgets.h"

#include <QDoubleSpinBox>
#include <QEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <charconv>
#include <functional>
#include <utility>
#include <vector>

namespace ui::detail {

namespace {
int g_keep = 0;
bool g_settling = false;
std::vector<std::pair<int, int>> &pending() {
    static std::vector<std::pair<int, int>> p; // (panel, control)
    return p;
}

std::vector<QPointer<Table>> &tablesDue() {
    static std::vector<QPointer<Table>> t;
    return t;
}

// What AtNextFrame was given, with whose sake it is done.
struct FrameCall {
    QPointer<QObject> context;
    std::function<void()> fn;
};
std::vector<FrameCall> &frameCalls() {
    static std::vector<FrameCall> calls;
    return calls;
}

void runFrameCalls() {
    auto calls = std::move(frameCalls());
    frameCalls().clear();
    for (FrameCall &c : calls)
        if (!c.context.isNull())
            c.fn();
}

void layOutTables() {
    auto due = std::move(tablesDue());
    tablesDue().clear();
    for (const QPointer<Table> &t : due)
        if (!t.isNull())
            t->layOutNow();
}

// Values held for a widget that is not shown go in as it shows.
class SettleOnShow : public QObject {
protected:
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::Show) {
            o->removeEventFilter(this);
            settleShown();
        }
        return false;
    }
};

void settleWhenShown(QWidget *w) {
    static auto *watcher = new SettleOnShow; // kept for the process
    w->installEventFilter(watcher);
}

void remember(Control &c) {
    auto &p = pending();
    const std::pair<int, int> key{c.panel, c.id};
    if (std::find(p.begin(), p.end(), key) == p.end()) {
        p.push_back(key);
        // Once, not with every value a run gives it (a frame that keeps it
        // waiting watches it again).
        if (!c.widget.isNull() && !c.widget->isVisible())
            settleWhenShown(c.widget.data());
    }
    framePendingValues();
}

void settle(Control &c) {
    if (c.widget.isNull()) {
        c.pendingNumber.reset();
        c.pendingLines.clear();
        c.pendingFirstLine.reset();
        c.pendingText.reset();
        return;
    }
    QSignalBlocker block(c.widget.data());
    if (c.pendingNumber && c.spec.kind == CTRL_PROGRESS) {
        // A progress bar repaints at once when its value moves; drawn with the
        // rest of the frame instead, the window is painted once, not twice.
        auto *bar = static_cast<QProgressBar *>(c.widget.data());
        bar->setUpdatesEnabled(false);
        bar->setValue(static_cast<int>(*c.pendingNumber));
        bar->setUpdatesEnabled(true);
    } else if (c.pendingNumber)
        static_cast<QDoubleSpinBox *>(c.widget.data())->setValue(*c.pendingNumber);
    c.pendingNumber.reset();
    if (c.pendingText) {
        static_cast<QLabel *>(c.widget.data())->setText(*c.pendingText);
        c.pendingText.reset();
    }
    if (!c.pendingLines.isEmpty()) {
        auto *t = static_cast<QPlainTextEdit *>(c.widget.data());
        QTextDocument *doc = t->document();
        const QString text = c.pendingLines.join('\n');
        if (doc->isEmpty()) {
            t->setPlainText(text);
        } else {
            QTextCursor end(doc);
            end.movePosition(QTextCursor::End);
            end.insertText("\n" + text);
        }
        c.pendingLines.clear();
    }
    if (c.pendingFirstLine && c.spec.kind == CTRL_TABLE) {
        auto *t = static_cast<Table *>(c.widget.data());
        if (*c.pendingFirstLine <= t->rowCount())
            t->showRowAtTop(*c.pendingFirstLine - 1);
    } else if (c.pendingFirstLine) {
        static_cast<QPlainTextEdit *>(c.widget.data())
            ->verticalScrollBar()
            ->setValue(*c.pendingFirstLine);
    }
    c.pendingFirstLine.reset();
}
} // namespace

bool displayDeferred() {
    return GetRedrawInterval() > 0;
}

KeepPending::KeepPending() {
    ++g_keep;
}
KeepPending::~KeepPending() {
    --g_keep;
}
bool keepingPending() {
    return g_keep > 0 || g_settling;
}

int progressValue(const QProgressBar &bar, double value) {
    return static_cast<int>(
        std::clamp(value, static_cast<double>(bar.minimum()), static_cast<double>(bar.maximum())));
}

// As QDoubleSpinBox::setValue keeps it: rounded to the decimals shown, then
// bounded, so that reading it back gives what the widget will hold.
void deferNumber(Control &c, double value) {
    if (c.spec.kind == CTRL_PROGRESS) {
        c.pendingNumber = progressValue(*static_cast<const QProgressBar *>(c.widget.data()), value);
        remember(c);
        return;
    }
    const auto *n = static_cast<const QDoubleSpinBox *>(c.widget.data());
    // Qt's own text of the number, read back without Qt's locale-aware parser
    // (several times the cost of the rest); both give the nearest double.
    const QByteArray text = QString::number(value, 'f', n->decimals()).toLatin1();
    double rounded = 0.0;
    if (std::from_chars(text.constData(), text.constData() + text.size(), rounded).ec !=
        std::errc())
        rounded = QString::fromLatin1(text).toDouble(); // inf, nan and the like
    c.pendingNumber = std::clamp(rounded, n->minimum(), n->maximum());
    remember(c);
}

bool waitsToShow(const Control &c) {
    return displayDeferred() || (!c.widget.isNull() && !c.widget->isVisible());
}

void dropPendingLines(Control &c) {
    c.pendingLines.clear();
    c.pendingFirstLine.reset();
}

void deferLine(Control &c, const QString &line) {
    c.pendingLines.append(line);
    remember(c);
}

void deferText(Control &c, const QString &text) {
    c.pendingText = text;
    remember(c);
}

void deferFirstLine(Control &c, int line) {
    c.pendingFirstLine = line;
    remember(c);
}

void layoutAtFrame(Table *t) {
    auto &due = tablesDue();
    if (std::find(due.begin(), due.end(), t) == due.end())
        due.emplace_back(t);
    framePendingValues();
}

void settleControl(Control &c) {
    // Unpaced, Qt lays a table out itself.
    if (c.spec.kind == CTRL_TABLE && !c.widget.isNull() && displayDeferred())
        static_cast<Table *>(c.widget.data())->layOutNow();
    if (!c.pendingNumber && c.pendingLines.isEmpty() && !c.pendingFirstLine && !c.pendingText)
        return;
    auto &p = pending();
    p.erase(std::remove(p.begin(), p.end(), std::pair<int, int>{c.panel, c.id}), p.end());
    const bool settling = g_settling;
    g_settling = true;
    settle(c);
    g_settling = settling;
}

namespace {
void settleWhere(bool hiddenToo) {
    if (g_settling)
        return;
    runFrameCalls();
    layOutTables();
    if (pending().empty())
        return;
    g_settling = true;
    auto keys = std::move(pending());
    pending().clear();
    for (const auto &key : keys) {
        Control *c = control(key.first, key.second);
        if (c == nullptr)
            continue;
        if (hiddenToo || c->widget.isNull() || c->widget->isVisible()) {
            settle(*c);
        } else {
            pending().push_back(key);
            settleWhenShown(c->widget.data()); // hidden since its values came
        }
    }
    g_settling = false;
}
} // namespace

void settlePending() {
    settleWhere(true);
}

void settleShown() {
    settleWhere(false);
}

} // namespace ui::detail

void AtNextFrame(QObject *context, std::function<void()> fn) {
    if (context == nullptr || !fn)
        return;
    if (!ui::detail::displayDeferred()) {
        QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
        return;
    }
    ui::detail::frameCalls().push_back({context, std::move(fn)});
    ui::detail::framePendingValues();
}
