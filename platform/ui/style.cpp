// The program's look: Fusion, with a focus mark an operator sees at a glance,
// and flat progress bars, table headers and scroll bars.
#include "internal.h"
#include "static_texts.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

namespace {

class ProgramStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override {
        if (element == CE_ProgressBarGroove || element == CE_ProgressBarContents) {
            drawFlatProgress(element, option, painter);
            return;
        }
        if (element == CE_HeaderSection) {
            drawFlatHeaderSection(option, painter);
            return;
        }
        if (element == CE_HeaderLabel && drawHeaderLabel(option, painter))
            return;
        QProxyStyle::drawControl(element, option, painter, widget);
        // Fusion's focus mark is a faint outline; an operator working from the
        // keyboard must see which control Return or Space will act on.
        if ((element == CE_PushButton || element == CE_CheckBox) &&
            (option->state & State_HasFocus) && (option->state & State_Enabled)) {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            QPen pen(QColor(0x1f, 0x6f, 0xd0));
            pen.setWidth(2);
            painter->setPen(pen);
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
            painter->restore();
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override {
        if (control == CC_ScrollBar)
            if (const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option)) {
                drawFlatScrollBar(bar, painter, widget);
                return;
            }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

private:
    static QColor edgeColour() { return {0xa0, 0xa0, 0xa0}; }

    // A box of the button colour with a one-pixel edge, all filled rectangles.
    static void drawFlatBox(QPainter *painter, const QRect &r, const QColor &fill) {
        if (!r.isValid())
            return;
        painter->fillRect(r, edgeColour());
        painter->fillRect(r.adjusted(1, 1, -1, -1), fill);
    }

    // A results table's scroll bar moves at every frame of a run: Fusion's
    // shaded groove and handle are stroked and filled through the painter's
    // general paths, here the same parts are plain rectangles (the parts'
    // places are still Fusion's).
    void drawFlatScrollBar(const QStyleOptionSlider *bar, QPainter *painter,
                           const QWidget *widget) const {
        const QPalette &pal = bar->palette;
        painter->fillRect(bar->rect, pal.color(QPalette::Window).darker(106));
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const bool enabled = bar->state & State_Enabled;
        const QColor button = pal.color(QPalette::Button);
        struct Arrow {
            SubControl part;
            PrimitiveElement arrow;
        };
        for (const Arrow a :
             {Arrow{SC_ScrollBarSubLine, horizontal ? PE_IndicatorArrowLeft : PE_IndicatorArrowUp},
              Arrow{SC_ScrollBarAddLine,
                    horizontal ? PE_IndicatorArrowRight : PE_IndicatorArrowDown}}) {
            if (!(bar->subControls & a.part))
                continue;
            const QRect r = proxy()->subControlRect(CC_ScrollBar, bar, a.part, widget);
            const bool down = (bar->activeSubControls & a.part) && (bar->state & State_Sunken);
            drawFlatBox(painter, r, down ? button.darker(115) : button);
            QStyleOption arrow = *bar;
            arrow.rect = r.adjusted(2, 2, -2, -2);
            arrow.state = enabled ? State_Enabled : State_None;
            proxy()->drawPrimitive(a.arrow, &arrow, painter, widget);
        }
        if ((bar->subControls & SC_ScrollBarSlider) && enabled && bar->maximum > bar->minimum) {
            const QRect r = proxy()->subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
            const bool held =
                (bar->activeSubControls & SC_ScrollBarSlider) && (bar->state & State_Sunken);
            drawFlatBox(painter, r, held ? button.darker(115) : button);
        }
    }

    // A results table's row numbers are drawn again at every frame of a run;
    // flat sections, as the table's corner is drawn, cost a fraction of
    // Fusion's shaded ones.
    static void drawFlatHeaderSection(const QStyleOption *option, QPainter *painter) {
        const QRect r = option->rect;
        painter->fillRect(r, option->palette.color(QPalette::Button));
        painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), edgeColour());
        painter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), edgeColour());
    }

    // A header's plain label (a results table's row number, redrawn at every
    // frame as the table scrolls) with its text laid out once.
    bool drawHeaderLabel(const QStyleOption *option, QPainter *painter) const {
        const auto *h = qstyleoption_cast<const QStyleOptionHeader *>(option);
        if (h == nullptr || !h->icon.isNull() || h->text.isEmpty() || !(h->state & State_Enabled))
            return false;
        const QPen pen = painter->pen();
        painter->setPen(QPen(h->palette.brush(QPalette::ButtonText), pen.widthF()));
        const bool drawn = labels_.draw(
            painter, h->rect, QStyle::visualAlignment(h->direction, h->textAlignment), h->text);
        painter->setPen(pen);
        return drawn;
    }

    mutable ui::detail::StaticTexts labels_;

    // A run's bar is drawn at every frame: Fusion's rounded, shaded and striped
    // one costs more than the rest of the frame, plain filled rectangles next
    // to nothing.
    static void drawFlatProgress(ControlElement element, const QStyleOption *option,
                                 QPainter *painter) {
        const QRect r = option->rect;
        const QPalette &pal = option->palette;
        if (element == CE_ProgressBarGroove) {
            painter->fillRect(r, edgeColour());
            painter->fillRect(r.adjusted(1, 1, -1, -1), pal.color(QPalette::Base));
            return;
        }
        const auto *bar = qstyleoption_cast<const QStyleOptionProgressBar *>(option);
        if (bar == nullptr)
            return;
        const qint64 span = qint64(bar->maximum) - bar->minimum;
        const qint64 done = qint64(bar->progress) - bar->minimum;
        if (span <= 0 || done <= 0)
            return;
        const QRect inside = r.adjusted(1, 1, -1, -1);
        const int width = static_cast<int>(inside.width() * std::min(done, span) / span);
        if (width > 0)
            painter->fillRect(QRect(inside.topLeft(), QSize(width, inside.height())),
                              pal.color(QPalette::Highlight));
    }
};

} // namespace

namespace ui::detail {

void applyProgramStyle() {
    if (QStyle *s = QStyleFactory::create("Fusion"))
        QApplication::setStyle(new ProgramStyle(s));
}

} // namespace ui::detail
