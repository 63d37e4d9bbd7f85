#include "widgets.h"

#include "internal.h"
#include "static_texts.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

namespace ui::detail {

void PanelWindow::keyPressEvent(QKeyEvent *e) {
    const auto usableButton = [](Control *c) {
        return c != nullptr && c->widget && c->visible && !c->dimmed &&
               c->spec.kind == CTRL_COMMAND_BUTTON;
    };
    Panel *p = panel(handle_);
    if (p != nullptr && e->modifiers() == Qt::NoModifier) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // Buttons outside dialogues ignore Return; the operator expects it to press them.
            auto *focused = qobject_cast<QPushButton *>(focusWidget());
            if (focused != nullptr && focused->isEnabled() && focused->isVisible()) {
                focused->click();
                return;
            }
            if (Control *c = control(handle_, p->defaultCtrl); usableButton(c)) {
                static_cast<QPushButton *>(c->widget.data())->click();
                return;
            }
        } else if (e->key() == Qt::Key_Escape && p->closeCtrl != 0) {
            if (Control *c = control(handle_, p->closeCtrl); c != nullptr && !c->dimmed) {
                fire(handle_, p->closeCtrl, EVENT_COMMIT);
                return;
            }
        }
    }
    QWidget::keyPressEvent(e);
}

void PanelWindow::closeEvent(QCloseEvent *e) {
    // The program decides what the close box means (exit question, cancel...).
    e->ignore();
    Panel *p = panel(handle_);
    if (p == nullptr)
        return;
    int closeCtrl = p->closeCtrl;
    int handle = handle_;
    firePanel(handle, EVENT_CLOSE);
    if (closeCtrl != 0 && panel(handle) != nullptr)
        fire(handle, closeCtrl, EVENT_COMMIT);
}

void Led::paintEvent(QPaintEvent *) {
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing);
    int d = std::min(width(), height()) - 2;
    QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    QColor base = on_ ? onColour_ : offColour_;
    QRadialGradient grad(r.center() - QPointF(d / 5.0, d / 5.0), d / 1.6);
    grad.setColorAt(0, base.lighter(on_ ? 160 : 130));
    grad.setColorAt(1, base.darker(on_ ? 115 : 140));
    g.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
    g.setBrush(grad);
    g.drawEllipse(r);
}

namespace {
// Qt's header works out its size hint again from the label texts after each
// inserted row (up to 200 of them), only for the table to keep the size it
// had. Here the hint is kept until the labels, their number or the font
// change; a row header of fixed width needs none at all.
class TableHeader : public QHeaderView {
public:
    TableHeader(Qt::Orientation o, QWidget *parent) : QHeaderView(o, parent) {
        setSectionsClickable(true);
        QObject::connect(this, &QHeaderView::sectionCountChanged, [this] { forget(); });
    }
    void setModel(QAbstractItemModel *m) override {
        QHeaderView::setModel(m);
        forget();
        if (m != nullptr)
            QObject::connect(m, &QAbstractItemModel::headerDataChanged, this,
                             [this](Qt::Orientation o, int, int) {
                                 if (o == orientation())
                                     forget();
                             });
    }
    QSize sizeHint() const override {
        if (orientation() == Qt::Vertical && minimumWidth() == maximumWidth())
            return {maximumWidth(), defaultSectionSize()};
        if (!hint_.isValid())
            hint_ = QHeaderView::sizeHint();
        return hint_;
    }

protected:
    void changeEvent(QEvent *e) override {
        if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
            forget();
        QHeaderView::changeEvent(e);
    }

private:
    void forget() { hint_ = QSize(); }
    mutable QSize hint_;
};
} // namespace

// Cells drawn with their texts laid out once: Qt's own delegate shapes every
// cell's text anew at every repaint, and a results table is repainted whole
// with each row a run adds. Each cell draws its own grid lines (its right and
// bottom edge) as filled rectangles, where the view's own grid strokes a line
// per row and column, which costs more than the cells' texts.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const QRect cell = option.rect;
        QStyleOptionViewItem inside = option;
        inside.rect = cell.adjusted(0, 0, -1, -1); // as the view's grid leaves it
        paintCell(painter, inside, index);
        const QWidget *w = option.widget;
        QStyle *style = w != nullptr ? w->style() : QApplication::style();
        const QColor grid =
            static_cast<QRgb>(style->styleHint(QStyle::SH_Table_GridLineColor, &option, w));
        painter->fillRect(QRect(cell.right(), cell.top(), 1, cell.height()), grid);
        painter->fillRect(QRect(cell.left(), cell.bottom(), cell.width() - 1, 1), grid);
    }

private:
    void paintCell(QPainter *painter, const QStyleOptionViewItem &option,
                   const QModelIndex &index) const {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString text = o.text;
        const bool plain = bare(o);
        if (text.isEmpty() && plain)
            return; // the view's background is all there is
        if (text.isEmpty() || (o.features & QStyleOptionViewItem::HasDecoration)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // The cell without its text (background, selection, focus), then the text.
        o.text.clear();
        const QWidget *w = o.widget;
        QStyle *style = w != nullptr ? w->style() : QApplication::style();
        if (!plain)
            style->drawControl(QStyle::CE_ItemViewItem, &o, painter, w);
        const QRect area = textArea(o, style, plain).adjusted(kMargin, 0, -kMargin, 0);
        const bool selected = o.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = !(o.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (o.state & QStyle::State_Active) ? QPalette::Normal
                                                                              : QPalette::Inactive;
        painter->save();
        painter->setPen(
            o.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(o.font);
        const bool drawn = texts_.draw(
            painter, area, QStyle::visualAlignment(o.direction, o.displayAlignment), text);
        painter->restore();
        if (!drawn) // does not fit: Qt's own, elided
            QStyledItemDelegate::paint(painter, option, index);
    }

    static constexpr int kMargin = 3; // as Qt's item views pad a cell's text

    // Nothing drawn under the text: no background, selection, focus or check.
    static bool bare(const QStyleOptionViewItem &o) {
        return o.backgroundBrush.style() == Qt::NoBrush &&
               !(o.state & (QStyle::State_Selected | QStyle::State_HasFocus)) &&
               !(o.features &
                 (QStyleOptionViewItem::Alternate | QStyleOptionViewItem::HasCheckIndicator |
                  QStyleOptionViewItem::HasDecoration));
    }

    // Where the style puts a cell's text; for a bare cell it depends on the
    // cell's size alone, and working it out costs as much as drawing the text.
    QRect textArea(const QStyleOptionViewItem &o, QStyle *style, bool plain) const {
        if (!plain)
            return style->subElementRect(QStyle::SE_ItemViewItemText, &o, o.widget);
        forgetIfFontChanged(o.font);
        auto it = areas_.constFind(o.rect.size());
        if (it == areas_.constEnd()) {
            if (areas_.size() > 256)
                areas_.clear();
            const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &o, o.widget);
            it = areas_.insert(o.rect.size(), r.translated(-o.rect.topLeft()));
        }
        return it.value().translated(o.rect.topLeft());
    }

    void forgetIfFontChanged(const QFont &font) const {
        if (font != font_) {
            areas_.clear();
            font_ = font;
        }
    }

    mutable StaticTexts texts_;
    mutable QHash<QSize, QRect> areas_; // a bare cell's text area by the cell's size
    mutable QFont font_;
};

Table::Table(QWidget *parent) : QTableWidget(parent), corner_(new QLabel(this)) {
    setItemDelegate(new CellDelegate(this));
    setShowGrid(false); // the cells draw it
    // The scroll bar moves at every frame of a run; its holder covers what is
    // behind it, so the panel and its tab frame are not drawn again under it.
    for (QScrollBar *bar : {verticalScrollBar(), horizontalScrollBar()})
        if (QWidget *holder = bar->parentWidget(); holder != nullptr && holder != this)
            holder->setAutoFillBackground(true);
    setHorizontalHeader(new TableHeader(Qt::Horizontal, this));
    setVerticalHeader(new TableHeader(Qt::Vertical, this));
    corner_->setAlignment(Qt::AlignCenter);
    corner_->setAutoFillBackground(true);
    QFont f = corner_->font();
    f.setPixelSize(11);
    corner_->setFont(f);
    corner_->setStyleSheet("QLabel { background: #e4e1da; border-right: 1px solid #a0a0a0;"
                           " border-bottom: 1px solid #a0a0a0; }");
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    const auto everything = [this] { changedFrom_ = 0; };
    connect(model(), &QAbstractItemModel::modelReset, this, everything);
    connect(model(), &QAbstractItemModel::layoutChanged, this, everything);
}

Table::~Table() {
    // The model is cleared as the table goes, after this part of it is gone.
    disconnect(model(), nullptr, this, nullptr);
}

void Table::showRowAtTop(int row) {
    // The scroll range follows inserted rows only once they are laid out.
    if (displayDeferred())
        layOutNow();
    else
        doItemsLayout();
    scrollTo(model()->index(row, 0), QAbstractItemView::PositionAtTop);
}

void Table::doItemsLayout() {
    if (displayDeferred()) {
        layoutDue_ = true;
        layoutAtFrame(this);
        return;
    }
    layoutDue_ = false;
    QTableWidget::doItemsLayout();
    changedFrom_ = rowsLaidOut_ = rowCount();
    columnsLaidOut_ = columnCount();
}

void Table::layOutNow() {
    if (!layoutDue_ && rowCount() == rowsLaidOut_ && columnCount() == columnsLaidOut_)
        return;
    layoutDue_ = false;
    const bool rowsOnlyAdded =
        changedFrom_ > 0 && columnCount() == columnsLaidOut_ && rowCount() >= rowsLaidOut_;
    updateGeometries();
    if (!rowsOnlyAdded)
        viewport()->update();
    else if (changedFrom_ < rowCount()) // the rows above are drawn already
        viewport()->update(0, std::max(0, rowViewportPosition(changedFrom_)), viewport()->width(),
                           viewport()->height());
    changedFrom_ = rowsLaidOut_ = rowCount();
    columnsLaidOut_ = columnCount();
}

void Table::rowsInserted(const QModelIndex &parent, int start, int end) {
    changedFrom_ = std::min(changedFrom_, start);
    QTableWidget::rowsInserted(parent, start, end);
}

void Table::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) {
    changedFrom_ = 0;
    QTableWidget::rowsAboutToBeRemoved(parent, start, end);
}

void Table::setCornerText(const QString &text) {
    corner_->setText(text);
    placeCorner();
}

void Table::placeCorner() {
    int fw = frameWidth();
    corner_->setGeometry(fw, fw, verticalHeader()->width(), horizontalHeader()->height());
    corner_->raise();
}

void Table::resizeEvent(QResizeEvent *e) {
    QTableWidget::resizeEvent(e);
    placeCorner();
}

void Table::showEvent(QShowEvent *e) {
    QTableWidget::showEvent(e);
    placeCorner();
}

void Picture::paintEvent(QPaintEvent *) {
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing);
    QRectF r = rect().adjusted(1, 1, -1, -1);
    if (variant_ == 0) {
        // The module's emblem: a resistor between two terminals on a dark plate.
        QLinearGradient bg(r.topLeft(), r.bottomRight());
        bg.setColorAt(0, QColor(0x1f, 0x3a, 0x60));
        bg.setColorAt(1, QColor(0x0d, 0x1c, 0x33));
        g.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        g.setBrush(bg);
        g.drawRoundedRect(r, 6, 6);
        g.setPen(QPen(QColor(0xf0, 0xc0, 0x40), std::max(2.0, r.height() / 18)));
        double y = r.center().y(), x0 = r.left() + r.width() * 0.1,
               x1 = r.right() - r.width() * 0.1;
        double zx0 = r.left() + r.width() * 0.3, zx1 = r.right() - r.width() * 0.3;
        QPainterPath path(QPointF(x0, y));
        path.lineTo(zx0, y);
        int teeth = 6;
        double step = (zx1 - zx0) / teeth, amp = r.height() * 0.22;
        for (int i = 0; i < teeth; ++i)
            path.lineTo(zx0 + step * (i + 0.5), y + (i % 2 == 0 ? -amp : amp));
        path.lineTo(zx1, y);
        path.lineTo(x1, y);
        g.setBrush(Qt::NoBrush);
        g.drawPath(path);
        g.setBrush(QColor(0xf0, 0xc0, 0x40));
        g.drawEllipse(QPointF(x0, y), 3, 3);
        g.drawEllipse(QPointF(x1, y), 3, 3);
        QFont f = font();
        f.setBold(true);
        f.setPixelSize(std::max(9, int(r.height() / 6)));
        g.setFont(f);
        g.setPen(QColor(0xe0, 0xe8, 0xf0));
        g.drawText(r.adjusted(0, 2, 0, -2), Qt::AlignHCenter | Qt::AlignBottom, "ORTAV");
    } else {
        // The maker's mark: stacked bars of a crate.
        g.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
        g.setBrush(QColor(0xb8, 0xb4, 0xac));
        g.drawRoundedRect(r, 4, 4);
        int bars = 5;
        double bw = r.width() / (bars * 2 + 1);
        for (int i = 0; i < bars; ++i) {
            QRectF b(r.left() + bw * (2 * i + 1), r.top() + r.height() * 0.15, bw,
                     r.height() * 0.7);
            g.setBrush(i == 2 ? QColor(0x1f, 0x3a, 0x60) : QColor(0x70, 0x70, 0x70));
            g.drawRect(b);
        }
    }
}

void Decoration::paintEvent(QPaintEvent *) {
    QPainter g(this);
    QRect r = rect().adjusted(0, 0, -1, -1);
    g.setPen(QColor(0x80, 0x80, 0x80));
    g.drawRect(r);
    g.setPen(QColor(0xff, 0xff, 0xff));
    g.drawRect(r.adjusted(1, 1, 1, 1));
}

} // namespace ui::detail
