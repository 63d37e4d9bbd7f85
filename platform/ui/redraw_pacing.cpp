// Redraws paced during long operations: a run that judges a point every few
// tens of milliseconds would otherwise repaint its windows after every point,
// and the painting, not the run, would take most of the processor.
//
// Qt asks a window to repaint by posting it one UpdateRequest and posts no
// other until that one is handled; the dirty regions keep accumulating. A
// request that comes sooner than the interval after the window's last repaint
// is held back here and sent again when the interval is up, so every change is
// still drawn, at most one interval late.
#include "internal.h"
#include "userint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

class RedrawPacer : public QObject {
public:
    RedrawPacer() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { release(); });
    }

    void setInterval(int msec) {
        interval_ = msec > 0 ? msec : 0;
        if (interval_ == 0) {
            timer_.stop();
            ui::detail::settleShown(); // a hidden widget's values as it shows
            release();
            last_.clear();
        }
    }

    // Values are waiting to be shown: a frame comes within the interval even
    // if nothing else asks for one.
    void frameSoon() {
        if (interval_ == 0 || timer_.isActive())
            return;
        const qint64 since = lastFrame_.isValid() ? lastFrame_.elapsed() : interval_;
        timer_.start(static_cast<int>(std::max<qint64>(0, interval_ - since)));
    }
    int interval() const { return interval_; }

    // Sends the held requests now.
    void release() {
        ui::detail::settleShown();
        const auto held = held_;
        held_.clear();
        for (const QPointer<QWidget> &w : held) {
            if (w.isNull())
                continue;
            last_[w.data()].start();
            lastFrame_.start();
            releasing_ = true;
            QEvent request(QEvent::UpdateRequest);
            QCoreApplication::sendEvent(w.data(), &request);
            releasing_ = false;
        }
    }

protected:
    bool eventFilter(QObject *o, QEvent *e) override {
        if (interval_ != 0 && answersInput(e->type())) {
            release();
            last_.clear(); // the next request of every window goes through
            return false;
        }
        if (e->type() != QEvent::UpdateRequest || interval_ == 0 || releasing_)
            return false;
        auto *w = qobject_cast<QWidget *>(o);
        if (w == nullptr || !w->isWindow())
            return false;
        QElapsedTimer &since = last_[w];
        if (!since.isValid() || since.elapsed() >= interval_) {
            since.start();
            lastFrame_.start();
            ui::detail::settleShown(); // drawn in this frame
            return false;
        }
        if (!held_.contains(w))
            held_.append(w);
        if (!timer_.isActive())
            timer_.start(static_cast<int>(interval_ - since.elapsed()));
        return true;
    }

private:
    static bool answersInput(QEvent::Type t) {
        return t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease ||
               t == QEvent::KeyPress || t == QEvent::KeyRelease;
    }

    int interval_ = 0;
    bool releasing_ = false;
    QHash<QWidget *, QElapsedTimer> last_;
    QElapsedTimer lastFrame_;
    QList<QPointer<QWidget>> held_;
    QTimer timer_;
};

RedrawPacer *pacer() {
    static RedrawPacer *p = nullptr;
    if (p == nullptr && QApplication::instance() != nullptr) {
        p = new RedrawPacer;
        p->setParent(QApplication::instance());
        QApplication::instance()->installEventFilter(p);
    }
    return p;
}

} // namespace

void SetRedrawInterval(int msec) {
    if (RedrawPacer *p = pacer())
        p->setInterval(msec);
}

namespace ui::detail {
void framePendingValues() {
    if (RedrawPacer *p = pacer())
        p->frameSoon();
}
} // namespace ui::detail

int GetRedrawInterval() {
    RedrawPacer *p = pacer();
    return p != nullptr ? p->interval() : 0;
}
