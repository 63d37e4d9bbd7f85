// Controls: building each kind, values, attributes, list boxes, text boxes, tables.
#include "internal.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace ui::detail {

QColor colour(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}
int rgbOf(const QColor &c) {
    return (c.red() << 16) | (c.green() << 8) | c.blue();
}

namespace {

constexpr int kLabelLine = 15; // height of one line of a control's label

QString qs(const std::string &s) {
    return QString::fromStdString(s);
}

// An operator's completed change: the value changed, then the commit.
void userChanged(int p, int id, int d1 = 0, int d2 = 0) {
    fire(p, id, EVENT_VAL_CHANGED, d1, d2);
    if (control(p, id) != nullptr)
        fire(p, id, EVENT_COMMIT, d1, d2);
}

QString formatNumber(double v, int precision) {
    if (precision < 0)
        return QString::number(v, 'g', -precision);
    return QString::number(v, 'f', precision);
}

bool parseNumber(QString text, double *v) {
    text = text.trimmed().replace(',', '.').remove(' ');
    bool ok = false;
    double d = text.toDouble(&ok);
    if (ok)
        *v = d;
    return ok;
}

void placeLabel(Control &c, QWidget *content) {
    const ControlSpec &s = c.spec;
    if (s.label.empty())
        return;
    switch (s.kind) {
    case CTRL_COMMAND_BUTTON:
    case CTRL_TEXT_MSG:
    case CTRL_ON_OFF:
    case CTRL_DECORATION:
    case CTRL_PICTURE:
    case CTRL_CANVAS:
        return; // these carry their text themselves, or none
    default:
        break;
    }
    auto *l = new QLabel(qs(s.label), content);
    QFont f = l->font();
    f.setBold(true);
    f.setPixelSize(11);
    l->setFont(f);
    int lines = 1 + static_cast<int>(std::count(s.label.begin(), s.label.end(), '\n'));
    int h = lines * kLabelLine;
    QFontMetrics fm(f);
    int w = 0;
    for (const QString &line : qs(s.label).split('\n'))
        w = std::max(w, fm.horizontalAdvance(line));
    w += 4;
    switch (s.labelPlacement) {
    case 1: // left
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setGeometry(s.left - w - 6, s.top + (s.height - h) / 2, w, h);
        break;
    case 2: // right
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setGeometry(s.left + s.width + 6, s.top + (s.height - h) / 2, w, h);
        break;
    default: // above
        l->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        l->setGeometry(s.left, s.top - h - 1, std::max(w, s.width), h);
        break;
    }
    c.label = l;
}

QWidget *makeWidget(Panel &p, Control &c) {
    const ControlSpec &s = c.spec;
    QWidget *content = p.content;
    int ph = p.handle, id = c.id;
    switch (s.kind) {
    case CTRL_COMMAND_BUTTON: {
        auto *b = new QPushButton(withAccessKey(s.label, s.accessKey), content);
        QObject::connect(b, &QPushButton::clicked, [ph, id] { fire(ph, id, EVENT_COMMIT); });
        return b;
    }
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR: {
        auto *n = new QDoubleSpinBox(content);
        n->setDecimals(std::max(0, s.precision));
        n->setRange(s.min, s.max);
        n->setSingleStep(s.increment);
        n->setKeyboardTracking(false);
        n->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        n->setLocale(QLocale::c());
        if (s.kind == CTRL_NUMERIC_INDICATOR) {
            n->setReadOnly(true);
            n->setButtonSymbols(QAbstractSpinBox::NoButtons);
            n->setFocusPolicy(Qt::NoFocus);
        }
        QObject::connect(n, &QDoubleSpinBox::valueChanged,
                         [ph, id](double) { userChanged(ph, id); });
        return n;
    }
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR: {
        auto *e = new QLineEdit(content);
        if (s.kind == CTRL_STRING_INDICATOR) {
            e->setReadOnly(true);
            e->setFocusPolicy(Qt::NoFocus);
        }
        QObject::connect(e, &QLineEdit::returnPressed, [ph, id] { userChanged(ph, id); });
        return e;
    }
    case CTRL_TEXT_BOX: {
        // Every text box of this program shows messages; none takes typing.
        auto *t = new QPlainTextEdit(content);
        t->setReadOnly(true);
        t->setLineWrapMode(QPlainTextEdit::NoWrap);
        // Nobody edits them, so no undo history grows line by line.
        t->document()->setUndoRedoEnabled(false);
        return t;
    }
    case CTRL_TEXT_MSG: {
        auto *l = new QLabel(qs(s.label), content);
        l->setAlignment(s.centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
        return l;
    }
    case CTRL_RING: {
        auto *r = new QComboBox(content);
        QObject::connect(r, &QComboBox::activated, [ph, id](int) { userChanged(ph, id); });
        return r;
    }
    case CTRL_LIST_BOX: {
        auto *l = new QListWidget(content);
        // A long entry wraps rather than hiding behind a horizontal scroll bar.
        l->setWordWrap(true);
        l->setTextElideMode(Qt::ElideNone);
        l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        l->setResizeMode(QListView::Adjust);
        QObject::connect(l, &QListWidget::currentRowChanged,
                         [ph, id](int) { fire(ph, id, EVENT_VAL_CHANGED); });
        QObject::connect(l, &QListWidget::itemActivated,
                         [ph, id](QListWidgetItem *) { fire(ph, id, EVENT_COMMIT); });
        QObject::connect(l, &QListWidget::itemDoubleClicked,
                         [ph, id](QListWidgetItem *) { fire(ph, id, EVENT_LEFT_DOUBLE_CLICK); });
        return l;
    }
    case CTRL_ON_OFF: {
        auto *b = new QCheckBox(qs(s.label), content);
        QObject::connect(b, &QCheckBox::clicked, [ph, id](bool) { userChanged(ph, id); });
        return b;
    }
    case CTRL_LED:
        return new Led(content);
    case CTRL_TABLE: {
        auto *t = new Table(content);
        t->setRowCount(s.rows);
        t->setColumnCount(s.columns);
        t->verticalHeader()->setFixedWidth(s.rowLabelWidth);
        // Rows as low as it takes to show visibleRows of them without scrolling.
        const int header = 24, frame = 4;
        t->verticalHeader()->setMinimumSectionSize(16);
        t->verticalHeader()->setDefaultSectionSize(
            s.visibleRows > 0 ? std::clamp((s.height - header - frame) / s.visibleRows, 16, 20)
                              : 20);
        t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        t->setSelectionMode(QAbstractItemView::SingleSelection);
        t->setEditTriggers(
            s.cellsEditable ? (QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed)
                            : QAbstractItemView::NoEditTriggers);
        QObject::connect(t, &QTableWidget::cellDoubleClicked, [ph, id](int row, int column) {
            fire(ph, id, EVENT_LEFT_DOUBLE_CLICK, row + 1, column + 1);
        });
        QObject::connect(t, &QTableWidget::itemChanged, [ph, id](QTableWidgetItem *item) {
            // The operator typed into a cell: keep the number it now shows.
            double v = 0.0;
            if (parseNumber(item->text(), &v))
                item->setData(Qt::UserRole, v);
            userChanged(ph, id, item->row() + 1, item->column() + 1);
        });
        return t;
    }
    case CTRL_PROGRESS: {
        auto *b = new QProgressBar(content);
        b->setRange(0, 100);
        b->setTextVisible(false);
        return b;
    }
    case CTRL_PICTURE:
        return new Picture(content, static_cast<int>(s.value));
    case CTRL_DECORATION:
        return new Decoration(content);
    case CTRL_CANVAS:
    default: {
        auto *f = new QWidget(content);
        return f;
    }
    }
}

void setTableCell(Table *t, int row, int col, double v, int precision) {
    QSignalBlocker block(t);
    QTableWidgetItem *item = t->item(row, col);
    // A new cell is made whole before the table has it: each change of a cell
    // the table holds goes round its model and view.
    const bool fresh = item == nullptr;
    if (fresh) {
        item = new QTableWidgetItem();
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    item->setData(Qt::UserRole, v);
    item->setText(formatNumber(v, precision));
    if (fresh)
        t->setItem(row, col, item);
}

void resetTable(Control &c) {
    auto *t = static_cast<Table *>(c.widget.data());
    const ControlSpec &s = c.spec;
    QSignalBlocker block(t);
    t->clearContents();
    t->setRowCount(s.rows);
    t->setColumnCount(s.columns);
    for (int r = 0; r < s.rows; ++r) {
        QString text =
            r < static_cast<int>(s.rowLabels.size()) ? qs(s.rowLabels[r]) : QString::number(r + 1);
        t->setVerticalHeaderItem(r, new QTableWidgetItem(text));
    }
    QStringList cols;
    for (int col = 0; col < s.columns; ++col)
        cols << (col < static_cast<int>(s.columnLabels.size()) ? qs(s.columnLabels[col])
                                                               : QString::number(col + 1));
    t->setHorizontalHeaderLabels(cols);
    t->setCornerText(qs(s.corner));
    // Columns given a width keep it; the others share the rest of the width.
    for (int col = 0; col < s.columns; ++col) {
        if (col < static_cast<int>(s.columnWidths.size())) {
            t->horizontalHeader()->setSectionResizeMode(col, QHeaderView::Fixed);
            t->setColumnWidth(col, s.columnWidths[col]);
        } else {
            t->horizontalHeader()->setSectionResizeMode(col, QHeaderView::Stretch);
        }
    }
}

Table *tableOf(int p, int id) {
    Control *c = control(p, id);
    if (c == nullptr || c->spec.kind != CTRL_TABLE)
        return nullptr;
    return static_cast<Table *>(c->widget.data());
}

// For filling a table's rows and cells: a scroll to its newest row, set at
// every point of a run, stays for the next frame.
Table *rowsOf(int p, int id) {
    KeepPending keep;
    return tableOf(p, id);
}

} // namespace

void buildControl(Panel &p, Control &c) {
    const ControlSpec &s = c.spec;
    QWidget *w = makeWidget(p, c);
    QFont f = w->font();
    if (s.fontSize > 0)
        f.setPixelSize(s.fontSize);
    f.setBold(s.bold);
    if (s.monospace)
        f.setFamily("DejaVu Sans Mono");
    w->setFont(f);
    int h = s.height > 0 ? s.height : w->sizeHint().height();
    int wd = s.width > 0 ? s.width : w->sizeHint().width();
    c.spec.height = h;
    c.spec.width = wd;
    w->setGeometry(s.left, s.top, wd, h);
    c.widget = w;
    placeLabel(c, p.content);
}

void applyColours(Control &c) {
    QWidget *w = c.widget;
    if (w == nullptr)
        return;
    QPalette pal = w->palette();
    QColor text = colour(c.textColor);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::ButtonText, text);
    // Dimmed text keeps a readable grey of its own.
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(0x90, 0x90, 0x90));
    pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x90, 0x90, 0x90));
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x90, 0x90, 0x90));
    if (c.spec.textBgColor >= 0 && c.spec.kind == CTRL_TEXT_MSG) {
        pal.setColor(QPalette::Window, colour(c.spec.textBgColor));
        w->setAutoFillBackground(true);
    } else if (c.spec.textBgColor >= 0) {
        pal.setColor(QPalette::Base, colour(c.spec.textBgColor));
    } else if (c.spec.kind == CTRL_NUMERIC_INDICATOR || c.spec.kind == CTRL_STRING_INDICATOR) {
        pal.setColor(QPalette::Base, QColor(0xF4, 0xF2, 0xEC));
    }
    w->setPalette(pal);
    if (c.spec.kind == CTRL_LED) {
        auto *led = static_cast<Led *>(w);
        led->setOnColour(colour(c.onColor));
        led->setOffColour(colour(c.spec.offColor));
    }
}

void applyVisibility(Control &c) {
    if (c.widget) {
        c.widget->setVisible(c.visible);
        c.widget->setEnabled(!c.dimmed);
    }
    if (c.label) {
        c.label->setVisible(c.visible);
        c.label->setEnabled(!c.dimmed);
    }
}

void restoreDefault(Control &c) {
    const ControlSpec &s = c.spec;
    QWidget *w = c.widget;
    c.visible = s.visible;
    c.dimmed = s.dimmed;
    c.textColor = s.textColor;
    c.onColor = s.onColor;
    switch (s.kind) {
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR: {
        auto *n = static_cast<QDoubleSpinBox *>(w);
        QSignalBlocker block(n);
        n->setValue(s.value);
        break;
    }
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR:
        static_cast<QLineEdit *>(w)->setText(qs(s.text));
        break;
    case CTRL_TEXT_BOX:
        static_cast<QPlainTextEdit *>(w)->setPlainText(qs(s.text));
        break;
    case CTRL_TEXT_MSG:
        static_cast<QLabel *>(w)->setText(qs(s.label));
        break;
    case CTRL_RING:
    case CTRL_LIST_BOX: {
        c.itemValues.clear();
        if (s.kind == CTRL_RING) {
            auto *r = static_cast<QComboBox *>(w);
            QSignalBlocker block(r);
            r->clear();
            for (const ItemSpec &i : s.items) {
                r->addItem(qs(i.text));
                c.itemValues.push_back(i.value);
            }
        } else {
            auto *l = static_cast<QListWidget *>(w);
            QSignalBlocker block(l);
            l->clear();
            for (const ItemSpec &i : s.items) {
                l->addItem(qs(i.text));
                c.itemValues.push_back(i.value);
            }
            if (l->count() > 0)
                l->setCurrentRow(0);
        }
        // The default value picks its item; otherwise the first stays.
        for (std::size_t i = 0; i < c.itemValues.size(); ++i)
            if (c.itemValues[i] == static_cast<int>(s.value)) {
                if (s.kind == CTRL_RING) {
                    QSignalBlocker block(w);
                    static_cast<QComboBox *>(w)->setCurrentIndex(static_cast<int>(i));
                } else {
                    QSignalBlocker block(w);
                    static_cast<QListWidget *>(w)->setCurrentRow(static_cast<int>(i));
                }
            }
        break;
    }
    case CTRL_ON_OFF: {
        auto *b = static_cast<QCheckBox *>(w);
        QSignalBlocker block(b);
        b->setChecked(s.value != 0.0);
        break;
    }
    case CTRL_LED:
        static_cast<Led *>(w)->setOn(s.value != 0.0);
        break;
    case CTRL_PROGRESS:
        static_cast<QProgressBar *>(w)->setValue(static_cast<int>(s.value));
        break;
    case CTRL_TABLE:
        resetTable(c);
        break;
    default:
        break;
    }
    if (c.label)
        c.label->setText(qs(s.label));
    applyColours(c);
    applyVisibility(c);
}

} // namespace ui::detail

using namespace ui::detail;

namespace {

Control *ctrl(int p, int id, int *err) {
    if (panel(p) == nullptr) {
        *err = UIE_BAD_PANEL;
        return nullptr;
    }
    Control *c = control(p, id);
    if (c == nullptr || !c->widget)
        *err = UIE_BAD_CONTROL;
    return c;
}

} // namespace

int NewCtrl(int p, int kind, const char *label, int top, int left) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    auto c = std::make_unique<Control>();
    c->id = pp->nextCtrlId++;
    c->panel = p;
    c->spec.id = c->id;
    c->spec.kind = kind;
    c->spec.label = label != nullptr ? label : "";
    c->spec.top = top;
    c->spec.left = left;
    if (kind == CTRL_TABLE) {
        c->spec.width = 200;
        c->spec.height = 120;
    }
    buildControl(*pp, *c);
    restoreDefault(*c);
    c->widget->show();
    int id = c->id;
    pp->controls[id] = std::move(c);
    return id;
}

int InstallCtrlCallback(int p, int id, CtrlCallbackPtr cb, void *data) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    c->callback = cb;
    c->callbackData = data;
    return 0;
}

bool numeric(const Control &c) {
    return c.spec.kind == CTRL_NUMERIC || c.spec.kind == CTRL_NUMERIC_INDICATOR;
}

int SetCtrlVal(int p, int id, double value) {
    int err = 0;
    Control *c = nullptr;
    {
        KeepPending keep;
        c = ctrl(p, id, &err);
        if (c == nullptr)
            return err;
        if ((numeric(*c) || c->spec.kind == CTRL_PROGRESS) && displayDeferred()) {
            if (!std::isfinite(value))
                return UIE_BAD_VALUE;
            deferNumber(*c, value);
            return 0;
        }
    }
    settleControl(*c);
    QWidget *w = c->widget;
    QSignalBlocker block(w);
    switch (c->spec.kind) {
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR:
        // The spin box's range check is false for NaN and would let it in;
        // the control keeps its value instead.
        if (!std::isfinite(value))
            return UIE_BAD_VALUE;
        static_cast<QDoubleSpinBox *>(w)->setValue(value);
        return 0;
    case CTRL_ON_OFF:
        static_cast<QCheckBox *>(w)->setChecked(value != 0.0);
        return 0;
    case CTRL_LED:
        static_cast<Led *>(w)->setOn(value != 0.0);
        return 0;
    case CTRL_PROGRESS: {
        auto *b = static_cast<QProgressBar *>(w);
        b->setValue(progressValue(*b, value));
        return 0;
    }
    case CTRL_RING:
    case CTRL_LIST_BOX: {
        for (std::size_t i = 0; i < c->itemValues.size(); ++i)
            if (c->itemValues[i] == static_cast<int>(value)) {
                if (c->spec.kind == CTRL_RING)
                    static_cast<QComboBox *>(w)->setCurrentIndex(static_cast<int>(i));
                else
                    static_cast<QListWidget *>(w)->setCurrentRow(static_cast<int>(i));
                return 0;
            }
        return UIE_BAD_VALUE;
    }
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR:
    case CTRL_TEXT_BOX:
    case CTRL_TEXT_MSG:
        return SetCtrlVal(p, id, QString::number(value).toUtf8().constData());
    default:
        return UIE_BAD_CONTROL;
    }
}

int SetCtrlVal(int p, int id, int value) {
    return SetCtrlVal(p, id, static_cast<double>(value));
}

int SetCtrlVal(int p, int id, const char *value) {
    int err = 0;
    Control *c = nullptr;
    QString text = QString::fromUtf8(value != nullptr ? value : "");
    {
        KeepPending keep;
        c = ctrl(p, id, &err);
        if (c == nullptr)
            return err;
        // A run's progress line, new at every point.
        if (c->spec.kind == CTRL_TEXT_MSG && displayDeferred()) {
            deferText(*c, text);
            return 0;
        }
    }
    settleControl(*c);
    switch (c->spec.kind) {
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR:
        static_cast<QLineEdit *>(c->widget.data())->setText(text);
        return 0;
    case CTRL_TEXT_BOX:
        // Replaces the whole text: every caller here means "show this".
        static_cast<QPlainTextEdit *>(c->widget.data())->setPlainText(text);
        return 0;
    case CTRL_TEXT_MSG:
        static_cast<QLabel *>(c->widget.data())->setText(text);
        return 0;
    default:
        return UIE_BAD_CONTROL;
    }
}

int GetCtrlVal(int p, int id, double *value) {
    int err = 0;
    Control *c = nullptr;
    {
        KeepPending keep;
        c = ctrl(p, id, &err);
        if (c == nullptr)
            return err;
        if (numeric(*c) && c->pendingNumber) {
            *value = *c->pendingNumber;
            return 0;
        }
    }
    settleControl(*c);
    QWidget *w = c->widget;
    switch (c->spec.kind) {
    case CTRL_NUMERIC:
    case CTRL_NUMERIC_INDICATOR:
        *value = static_cast<QDoubleSpinBox *>(w)->value();
        return 0;
    case CTRL_ON_OFF:
        *value = static_cast<QCheckBox *>(w)->isChecked() ? 1 : 0;
        return 0;
    case CTRL_LED:
        *value = static_cast<Led *>(w)->isOn() ? 1 : 0;
        return 0;
    case CTRL_PROGRESS:
        *value = static_cast<QProgressBar *>(w)->value();
        return 0;
    case CTRL_RING:
    case CTRL_LIST_BOX: {
        int i = c->spec.kind == CTRL_RING ? static_cast<QComboBox *>(w)->currentIndex()
                                          : static_cast<QListWidget *>(w)->currentRow();
        if (i < 0 || i >= static_cast<int>(c->itemValues.size()))
            return UIE_BAD_INDEX;
        *value = c->itemValues[i];
        return 0;
    }
    default:
        return UIE_BAD_CONTROL;
    }
}

int GetCtrlVal(int p, int id, int *value) {
    double d = 0;
    int r = GetCtrlVal(p, id, &d);
    if (r == 0)
        *value = static_cast<int>(std::lround(d));
    return r;
}

int GetCtrlVal(int p, int id, short *value) {
    double d = 0;
    int r = GetCtrlVal(p, id, &d);
    if (r == 0)
        *value = static_cast<short>(std::lround(d));
    return r;
}

int GetCtrlVal(int p, int id, std::string &value) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    switch (c->spec.kind) {
    case CTRL_STRING:
    case CTRL_STRING_INDICATOR:
        value = static_cast<QLineEdit *>(c->widget.data())->text().toStdString();
        return 0;
    case CTRL_TEXT_BOX:
        value = static_cast<QPlainTextEdit *>(c->widget.data())->toPlainText().toStdString();
        return 0;
    case CTRL_TEXT_MSG:
        value = static_cast<QLabel *>(c->widget.data())->text().toStdString();
        return 0;
    default:
        return UIE_BAD_CONTROL;
    }
}

int GetCtrlVal(int p, int id, char *buffer, std::size_t size) {
    std::string s;
    int r = GetCtrlVal(p, id, s);
    if (r != 0 || size == 0)
        return r;
    std::size_t n = std::min(s.size(), size - 1);
    std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return 0;
}

int DefaultCtrl(int p, int id) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    restoreDefault(*c);
    return 0;
}

namespace {

int lineHeight(QPlainTextEdit *t) {
    return QFontMetrics(t->font()).lineSpacing();
}
int textBoxChrome(QPlainTextEdit *t) {
    return 2 * t->frameWidth() + static_cast<int>(2 * t->document()->documentMargin()) +
           t->contentsMargins().top() + t->contentsMargins().bottom();
}

} // namespace

int SetCtrlAttribute(int p, int id, int attribute, int value) {
    int err = 0;
    Control *c = nullptr;
    {
        KeepPending keep;
        c = ctrl(p, id, &err);
        if (c == nullptr)
            return err;
        // A log scrolled to its end after each line: scrolled once its lines are in.
        if (attribute == ATTR_FIRST_VISIBLE_LINE && c->spec.kind == CTRL_TEXT_BOX &&
            waitsToShow(*c)) {
            deferFirstLine(*c, value);
            return 0;
        }
        // So is a results table scrolled to its newest row.
        if (attribute == ATTR_FIRST_VISIBLE_ROW && c->spec.kind == CTRL_TABLE &&
            displayDeferred()) {
            if (value < 1 || value > static_cast<Table *>(c->widget.data())->rowCount())
                return UIE_BAD_INDEX;
            deferFirstLine(*c, value);
            return 0;
        }
    }
    settleControl(*c);
    QWidget *w = c->widget;
    switch (attribute) {
    case ATTR_VISIBLE:
        c->visible = value != 0;
        applyVisibility(*c);
        return 0;
    case ATTR_DIMMED:
        c->dimmed = value != 0;
        applyVisibility(*c);
        return 0;
    case ATTR_TEXT_COLOR:
        c->textColor = value;
        applyColours(*c);
        return 0;
    case ATTR_ON_COLOR:
        c->onColor = value;
        applyColours(*c);
        return 0;
    case ATTR_TEXT_BGCOLOR:
        c->spec.textBgColor = value;
        applyColours(*c);
        return 0;
    case ATTR_TOP:
        w->move(w->x(), value);
        return 0;
    case ATTR_LEFT:
        w->move(value, w->y());
        return 0;
    case ATTR_HEIGHT:
        w->resize(w->width(), value);
        return 0;
    case ATTR_WIDTH:
        w->resize(value, w->height());
        return 0;
    case ATTR_FIRST_VISIBLE_ROW: {
        auto *t = tableOf(p, id);
        if (t == nullptr)
            return UIE_BAD_ATTRIBUTE;
        if (value < 1 || value > t->rowCount())
            return UIE_BAD_INDEX;
        t->showRowAtTop(value - 1);
        return 0;
    }
    case ATTR_FIRST_VISIBLE_LINE: {
        if (c->spec.kind != CTRL_TEXT_BOX)
            return UIE_BAD_ATTRIBUTE;
        static_cast<QPlainTextEdit *>(w)->verticalScrollBar()->setValue(value);
        return 0;
    }
    case ATTR_VISIBLE_LINES: {
        if (c->spec.kind != CTRL_TEXT_BOX)
            return UIE_BAD_ATTRIBUTE;
        auto *t = static_cast<QPlainTextEdit *>(w);
        t->resize(t->width(), std::max(1, value) * lineHeight(t) + textBoxChrome(t));
        return 0;
    }
    case ATTR_MAX_VALUE:
        if (c->spec.kind != CTRL_PROGRESS || value < 1)
            return UIE_BAD_ATTRIBUTE;
        static_cast<QProgressBar *>(w)->setMaximum(value);
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int SetCtrlAttribute(int p, int id, int attribute, const char *value) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    if (attribute != ATTR_LABEL_TEXT)
        return UIE_BAD_ATTRIBUTE;
    QString text = QString::fromUtf8(value != nullptr ? value : "");
    switch (c->spec.kind) {
    case CTRL_COMMAND_BUTTON:
        static_cast<QPushButton *>(c->widget.data())->setText(text);
        break;
    case CTRL_ON_OFF:
        static_cast<QCheckBox *>(c->widget.data())->setText(text);
        break;
    case CTRL_TEXT_MSG:
        static_cast<QLabel *>(c->widget.data())->setText(text);
        break;
    case CTRL_TABLE:
        static_cast<Table *>(c->widget.data())->setCornerText(text);
        break;
    default:
        if (c->label)
            c->label->setText(text);
        break;
    }
    return 0;
}

int GetCtrlAttribute(int p, int id, int attribute, int *value) {
    // How many lines a text box shows does not depend on what it holds.
    std::optional<KeepPending> keep;
    if (attribute == ATTR_VISIBLE_LINES)
        keep.emplace();
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    QWidget *w = c->widget;
    switch (attribute) {
    case ATTR_VISIBLE:
        *value = c->visible;
        return 0;
    case ATTR_DIMMED:
        *value = c->dimmed;
        return 0;
    case ATTR_TEXT_COLOR:
        *value = c->textColor;
        return 0;
    case ATTR_ON_COLOR:
        *value = c->onColor;
        return 0;
    case ATTR_TOP:
        *value = w->y();
        return 0;
    case ATTR_LEFT:
        *value = w->x();
        return 0;
    case ATTR_HEIGHT:
        *value = w->height();
        return 0;
    case ATTR_WIDTH:
        *value = w->width();
        return 0;
    case ATTR_NUM_ROWS:
        return GetNumTableRows(p, id, value);
    case ATTR_FIRST_VISIBLE_ROW: {
        auto *t = tableOf(p, id);
        if (t == nullptr)
            return UIE_BAD_ATTRIBUTE;
        int r = t->rowAt(0);
        *value = r < 0 ? 1 : r + 1;
        return 0;
    }
    case ATTR_FIRST_VISIBLE_LINE:
        if (c->spec.kind != CTRL_TEXT_BOX)
            return UIE_BAD_ATTRIBUTE;
        *value = static_cast<QPlainTextEdit *>(w)->verticalScrollBar()->value();
        return 0;
    case ATTR_VISIBLE_LINES: {
        if (c->spec.kind != CTRL_TEXT_BOX)
            return UIE_BAD_ATTRIBUTE;
        auto *t = static_cast<QPlainTextEdit *>(w);
        *value = std::max(1, (t->height() - textBoxChrome(t)) / lineHeight(t));
        return 0;
    }
    case ATTR_MAX_VALUE:
        if (c->spec.kind != CTRL_PROGRESS)
            return UIE_BAD_ATTRIBUTE;
        *value = static_cast<QProgressBar *>(w)->maximum();
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetCtrlAttribute(int p, int id, int attribute, std::string &value) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    if (attribute != ATTR_LABEL_TEXT)
        return UIE_BAD_ATTRIBUTE;
    switch (c->spec.kind) {
    case CTRL_COMMAND_BUTTON:
        value = static_cast<QPushButton *>(c->widget.data())->text().remove('&').toStdString();
        break;
    case CTRL_ON_OFF:
        value = static_cast<QCheckBox *>(c->widget.data())->text().toStdString();
        break;
    case CTRL_TEXT_MSG:
        value = static_cast<QLabel *>(c->widget.data())->text().toStdString();
        break;
    case CTRL_TABLE:
        value = static_cast<Table *>(c->widget.data())->cornerText().toStdString();
        break;
    default:
        value = c->label ? c->label->text().toStdString() : std::string();
        break;
    }
    return 0;
}

int SetActiveCtrl(int p, int id) {
    int err = 0;
    Control *c = nullptr;
    {
        // A run gives the focus back to the control that has it at every
        // point; its value set meanwhile may wait for the next frame.
        KeepPending keep;
        c = ctrl(p, id, &err);
    }
    if (c == nullptr)
        return err;
    Panel *pp = panel(p);
    pp->activeCtrl = id;
    if (c->widget->window()->focusWidget() == c->widget)
        return 0; // has it, or will have it when its window is active again
    settleControl(*c);
    c->widget->setFocus(Qt::OtherFocusReason);
    return 0;
}

int GetActiveCtrl(int p) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    return pp->activeCtrl;
}

// ---- list boxes and rings ------------------------------------------------------

int InsertListItem(int p, int id, int index, const char *text, int value) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    QString t = QString::fromUtf8(text != nullptr ? text : "");
    int n = static_cast<int>(c->itemValues.size());
    if (index < 0 || index > n)
        index = n;
    QSignalBlocker block(c->widget);
    if (c->spec.kind == CTRL_LIST_BOX) {
        auto *l = static_cast<QListWidget *>(c->widget.data());
        l->insertItem(index, t);
        if (l->currentRow() < 0)
            l->setCurrentRow(0);
    } else if (c->spec.kind == CTRL_RING) {
        static_cast<QComboBox *>(c->widget.data())->insertItem(index, t);
    } else {
        return UIE_BAD_CONTROL;
    }
    c->itemValues.insert(c->itemValues.begin() + index, value);
    return 0;
}

int ClearListCtrl(int p, int id) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    QSignalBlocker block(c->widget);
    if (c->spec.kind == CTRL_LIST_BOX)
        static_cast<QListWidget *>(c->widget.data())->clear();
    else if (c->spec.kind == CTRL_RING)
        static_cast<QComboBox *>(c->widget.data())->clear();
    else
        return UIE_BAD_CONTROL;
    c->itemValues.clear();
    return 0;
}

int GetNumListItems(int p, int id, int *count) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    if (c->spec.kind != CTRL_LIST_BOX && c->spec.kind != CTRL_RING)
        return UIE_BAD_CONTROL;
    *count = static_cast<int>(c->itemValues.size());
    return 0;
}

int GetLabelFromIndex(int p, int id, int index, std::string &text) {
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    if (index < 0 || index >= static_cast<int>(c->itemValues.size()))
        return UIE_BAD_INDEX;
    if (c->spec.kind == CTRL_LIST_BOX)
        text = static_cast<QListWidget *>(c->widget.data())->item(index)->text().toStdString();
    else if (c->spec.kind == CTRL_RING)
        text = static_cast<QComboBox *>(c->widget.data())->itemText(index).toStdString();
    else
        return UIE_BAD_CONTROL;
    return 0;
}

// ---- text boxes ------------------------------------------------------------------

int InsertTextBoxLine(int p, int id, int index, const char *text) {
    int err = 0;
    Control *c = nullptr;
    const QString line = QString::fromUtf8(text != nullptr ? text : "");
    {
        KeepPending keep;
        c = ctrl(p, id, &err);
        if (c == nullptr)
            return err;
        if (c->spec.kind != CTRL_TEXT_BOX)
            return UIE_BAD_CONTROL;
        const QTextDocument *doc = static_cast<QPlainTextEdit *>(c->widget.data())->document();
        const int lines =
            (doc->isEmpty() ? 0 : doc->blockCount()) + static_cast<int>(c->pendingLines.size());
        if (waitsToShow(*c) && (index < 0 || index >= lines)) {
            deferLine(*c, line);
            return 0;
        }
    }
    settleControl(*c);
    auto *t = static_cast<QPlainTextEdit *>(c->widget.data());
    QTextDocument *doc = t->document();
    // An empty box has no lines (though the document has one empty block).
    const int count = doc->isEmpty() ? 0 : doc->blockCount();
    if (count == 0) {
        t->setPlainText(line);
        return 0;
    }
    if (index < 0 || index > count)
        index = count;
    // Only the new line is laid out: a protocol view grows by hundreds of lines.
    if (index == count) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText("\n" + line);
    } else {
        QTextCursor at(doc->findBlockByNumber(index));
        at.insertText(line + "\n");
    }
    return 0;
}

int GetNumTextBoxLines(int p, int id, int *count) {
    KeepPending keep;
    int err = 0;
    Control *c = ctrl(p, id, &err);
    if (c == nullptr)
        return err;
    if (c->spec.kind != CTRL_TEXT_BOX)
        return UIE_BAD_CONTROL;
    auto *t = static_cast<QPlainTextEdit *>(c->widget.data());
    *count = (t->document()->isEmpty() ? 0 : t->document()->blockCount()) +
             static_cast<int>(c->pendingLines.size());
    return 0;
}

int ResetTextBox(int p, int id, const char *text) {
    int err = 0;
    Control *c = nullptr;
    {
        KeepPending keep; // lines still waiting go with the rest
        c = ctrl(p, id, &err);
        if (c == nullptr)
            return err;
        if (c->spec.kind != CTRL_TEXT_BOX)
            return UIE_BAD_CONTROL;
        dropPendingLines(*c);
    }
    settleControl(*c);
    static_cast<QPlainTextEdit *>(c->widget.data())
        ->setPlainText(QString::fromUtf8(text != nullptr ? text : ""));
    return 0;
}

// ---- tables ------------------------------------------------------------------------

namespace {
bool cellOk(Table *t, Point cell) {
    return cell.x >= 1 && cell.y >= 1 && cell.x <= t->columnCount() && cell.y <= t->rowCount();
}
int precisionOf(int p, int id) {
    KeepPending keep;
    return control(p, id)->spec.precision;
}
} // namespace

int InsertTableRows(int p, int id, int index, int count) {
    Table *t = rowsOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (count < 0)
        return UIE_BAD_VALUE;
    QSignalBlocker block(t);
    int at = (index < 1 || index > t->rowCount() + 1) ? t->rowCount() : index - 1;
    for (int i = 0; i < count; ++i)
        t->insertRow(at + i);
    return 0;
}

int GetNumTableRows(int p, int id, int *count) {
    Table *t = rowsOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    *count = t->rowCount();
    return 0;
}

int SetActiveTableCell(int p, int id, Point cell) {
    Table *t = tableOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (!cellOk(t, cell))
        return UIE_BAD_INDEX;
    t->setCurrentCell(cell.y - 1, cell.x - 1);
    return 0;
}

int GetActiveTableCell(int p, int id, Point *cell) {
    Table *t = tableOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (cell == nullptr)
        return UIE_BAD_VALUE;
    *cell = MakePoint(t->currentColumn() + 1, t->currentRow() + 1);
    return 0;
}

int SetTableCellVal(int p, int id, Point cell, double value) {
    Table *t = rowsOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (!cellOk(t, cell))
        return UIE_BAD_INDEX;
    setTableCell(t, cell.y - 1, cell.x - 1, value, precisionOf(p, id));
    return 0;
}

int SetTableCellVal(int p, int id, Point cell, const char *value) {
    Table *t = rowsOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (!cellOk(t, cell))
        return UIE_BAD_INDEX;
    QSignalBlocker block(t);
    QTableWidgetItem *item = t->item(cell.y - 1, cell.x - 1);
    const QString text = QString::fromUtf8(value != nullptr ? value : "");
    if (item == nullptr) { // made whole before the table has it
        t->setItem(cell.y - 1, cell.x - 1, new QTableWidgetItem(text));
        return 0;
    }
    item->setData(Qt::UserRole, QVariant());
    item->setText(text);
    return 0;
}

int GetTableCellVal(int p, int id, Point cell, double *value) {
    Table *t = tableOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (!cellOk(t, cell))
        return UIE_BAD_INDEX;
    QTableWidgetItem *item = t->item(cell.y - 1, cell.x - 1);
    if (item == nullptr) {
        *value = 0.0;
        return 0;
    }
    QVariant v = item->data(Qt::UserRole);
    if (v.isValid()) {
        *value = v.toDouble();
        return 0;
    }
    return parseNumber(item->text(), value) ? 0 : UIE_BAD_VALUE;
}

int GetTableCellVal(int p, int id, Point cell, std::string &value) {
    Table *t = tableOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (!cellOk(t, cell))
        return UIE_BAD_INDEX;
    QTableWidgetItem *item = t->item(cell.y - 1, cell.x - 1);
    value = item == nullptr ? std::string() : item->text().toStdString();
    return 0;
}

int SetTableCellAttribute(int p, int id, Point cell, int attribute, int value) {
    Table *t = rowsOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (!cellOk(t, cell))
        return UIE_BAD_INDEX;
    if (attribute != ATTR_TEXT_COLOR)
        return UIE_BAD_ATTRIBUTE;
    QSignalBlocker block(t);
    QTableWidgetItem *item = t->item(cell.y - 1, cell.x - 1);
    if (item == nullptr) {
        item = new QTableWidgetItem();
        t->setItem(cell.y - 1, cell.x - 1, item);
    }
    item->setForeground(colour(value));
    return 0;
}

int GetTableCellAttribute(int p, int id, Point cell, int attribute, int *value) {
    Table *t = tableOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (!cellOk(t, cell))
        return UIE_BAD_INDEX;
    if (attribute != ATTR_TEXT_COLOR)
        return UIE_BAD_ATTRIBUTE;
    QTableWidgetItem *item = t->item(cell.y - 1, cell.x - 1);
    QBrush b = item != nullptr ? item->foreground() : QBrush();
    *value = b.style() == Qt::NoBrush ? VAL_BLACK : rgbOf(b.color());
    return 0;
}

int SetTableRowAttribute(int p, int id, int row, int attribute, const char *value) {
    Table *t = tableOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (row < 1 || row > t->rowCount())
        return UIE_BAD_INDEX;
    if (attribute != ATTR_LABEL_TEXT)
        return UIE_BAD_ATTRIBUTE;
    t->setVerticalHeaderItem(
        row - 1, new QTableWidgetItem(QString::fromUtf8(value != nullptr ? value : "")));
    return 0;
}

int GetTableRowAttribute(int p, int id, int row, int attribute, std::string &value) {
    Table *t = tableOf(p, id);
    if (t == nullptr)
        return UIE_BAD_CONTROL;
    if (row < 1 || row > t->rowCount())
        return UIE_BAD_INDEX;
    if (attribute != ATTR_LABEL_TEXT)
        return UIE_BAD_ATTRIBUTE;
    QTableWidgetItem *h = t->verticalHeaderItem(row - 1);
    value = h != nullptr ? h->text().toStdString() : std::to_string(row);
    return 0;
}

int SetTableColumnVals(int p, int id, int column, int firstRow, int count, const double *values) {
    for (int i = 0; i < count; ++i) {
        int r = SetTableCellVal(p, id, MakePoint(column, firstRow + i), values[i]);
        if (r != 0)
            return r;
    }
    return 0;
}

int GetTableColumnVals(int p, int id, int column, int firstRow, int count, double *values) {
    for (int i = 0; i < count; ++i) {
        int r = GetTableCellVal(p, id, MakePoint(column, firstRow + i), &values[i]);
        if (r != 0)
            return r;
    }
    return 0;
}
