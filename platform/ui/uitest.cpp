// The operator's actions for tests, done through the real widgets.
#include "internal.h"
#include "widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>

#include <cmath>

using namespace ui::detail;

namespace ui::test {

namespace {

// The window an operator sees the panel in: its own, or its tab's owner.
Panel *topOf(Panel *p) {
    while (p != nullptr && p->sheetOf != 0)
        p = panel(p->sheetOf);
    return p;
}

bool panelReachable(int handle) {
    Panel *p = panel(handle);
    if (p == nullptr)
        return false;
    // A sheet is reachable while it is the tab shown.
    for (Panel *s = p; s->sheetOf != 0;) {
        Control *tab = control(s->sheetOf, s->tabControl);
        if (tab == nullptr || !tab->visible)
            return false;
        auto *tw = static_cast<QTabWidget *>(tab->widget.data());
        if (tw->currentWidget() != s->window)
            return false;
        s = panel(s->sheetOf);
        if (s == nullptr)
            return false;
    }
    Panel *top = topOf(p);
    if (top == nullptr || !top->window->isVisible())
        return false;
    // A modal popup shuts every other panel off.
    if (!popups().empty() && popups().back() != top->handle)
        return false;
    // So does a long operation, but for the panel it leaves open.
    if (GetInputOnlyTo() != 0 && GetInputOnlyTo() != top->handle && popups().empty())
        return false;
    return true;
}

Control *usable(int p, int id, int kind1, int kind2 = -1) {
    if (!panelReachable(p))
        return nullptr;
    Control *c = control(p, id);
    if (c == nullptr || !c->widget || !c->visible || c->dimmed)
        return nullptr;
    if (c->spec.kind != kind1 && c->spec.kind != kind2)
        return nullptr;
    return c;
}

} // namespace

bool click(int p, int id) {
    Control *c = usable(p, id, CTRL_COMMAND_BUTTON);
    if (c == nullptr)
        return false;
    static_cast<QPushButton *>(c->widget.data())->click();
    return true;
}

bool enter(int p, int id, double value) {
    Control *c = usable(p, id, CTRL_NUMERIC);
    if (c == nullptr)
        return false;
    if (!std::isfinite(value)) // nothing an operator can type into a spin box
        return false;
    auto *n = static_cast<QDoubleSpinBox *>(c->widget.data());
    {
        QSignalBlocker block(n);
        n->setValue(value);
    }
    fire(p, id, EVENT_VAL_CHANGED);
    fire(p, id, EVENT_COMMIT);
    return true;
}

bool enterText(int p, int id, const char *text) {
    Control *c = usable(p, id, CTRL_STRING);
    if (c == nullptr)
        return false;
    auto *e = static_cast<QLineEdit *>(c->widget.data());
    e->setText(QString::fromUtf8(text));
    emit e->returnPressed();
    return true;
}

bool choose(int p, int id, int index) {
    Control *c = usable(p, id, CTRL_RING, CTRL_LIST_BOX);
    if (c == nullptr || index < 0 || index >= static_cast<int>(c->itemValues.size()))
        return false;
    if (c->spec.kind == CTRL_RING) {
        auto *r = static_cast<QComboBox *>(c->widget.data());
        r->setCurrentIndex(index);
        emit r->activated(index);
    } else {
        static_cast<QListWidget *>(c->widget.data())->setCurrentRow(index);
    }
    return true;
}

bool activate(int p, int id, int index) {
    Control *c = usable(p, id, CTRL_LIST_BOX);
    if (c == nullptr || index < 0 || index >= static_cast<int>(c->itemValues.size()))
        return false;
    auto *l = static_cast<QListWidget *>(c->widget.data());
    l->setCurrentRow(index);
    QListWidgetItem *item = l->item(index);
    emit l->itemActivated(item);
    if (control(p, id) != nullptr && item->listWidget() == l)
        emit l->itemDoubleClicked(item);
    return true;
}

bool toggle(int p, int id) {
    Control *c = usable(p, id, CTRL_ON_OFF);
    if (c == nullptr)
        return false;
    static_cast<QCheckBox *>(c->widget.data())->click();
    return true;
}

bool doubleClickCell(int p, int id, int column, int row) {
    Control *c = usable(p, id, CTRL_TABLE);
    if (c == nullptr)
        return false;
    auto *t = static_cast<Table *>(c->widget.data());
    if (column < 1 || row < 1 || column > t->columnCount() || row > t->rowCount())
        return false;
    emit t->cellDoubleClicked(row - 1, column - 1);
    return true;
}

bool selectTab(int p, int id, int index) {
    Control *c = usable(p, id, CTRL_TAB);
    if (c == nullptr)
        return false;
    auto *t = static_cast<QTabWidget *>(c->widget.data());
    if (index < 0 || index >= t->count())
        return false;
    t->setCurrentIndex(index);
    return true;
}

bool closeWindow(int p) {
    Panel *pp = panel(p);
    if (pp == nullptr || pp->sheetOf != 0 || !panelReachable(p))
        return false;
    pp->window->close();
    return true;
}

bool chooseMenuItem(int mb, int item) {
    MenuBar *m = menuBar(mb);
    if (m == nullptr || !panelReachable(m->panel))
        return false;
    auto it = m->items.find(item);
    if (it == m->items.end() || !it->second || !it->second->isEnabled())
        return false;
    it->second->trigger();
    return true;
}

bool isShown(int p, int id) {
    Panel *top = topOf(panel(p));
    Control *c = control(p, id);
    return top != nullptr && top->window->isVisible() && c != nullptr && c->visible;
}

bool isPanelShown(int p) {
    Panel *pp = panel(p);
    return pp != nullptr && pp->sheetOf == 0 && pp->window->isVisible();
}

bool isPopup(int p) {
    for (int h : popups())
        if (h == p)
            return true;
    return false;
}

std::string popupStack() {
    std::string s;
    for (int h : popups()) {
        Panel *p = panel(h);
        if (!s.empty())
            s += " / ";
        s += p != nullptr ? p->spec.title : "?";
    }
    return s;
}

bool grabPanel(int p, const char *pngPath) {
    settlePending();
    Panel *pp = panel(p);
    if (pp == nullptr)
        return false;
    QPixmap pix = pp->window->grab();
    return !pix.isNull() && pix.save(QString::fromUtf8(pngPath), "PNG");
}

} // namespace ui::test
