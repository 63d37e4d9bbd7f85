// Panels: loading from the built-in resource, building in code, showing,
// popups, the tab control and menu bars.
#include "internal.h"
#include "widgets.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>

namespace ui::detail {

namespace {
std::map<std::string, const std::vector<PanelSpec> *> &files() {
    static std::map<std::string, const std::vector<PanelSpec> *> f;
    return f;
}
std::map<int, std::unique_ptr<Panel>> &panels() {
    static std::map<int, std::unique_ptr<Panel>> p;
    return p;
}
std::map<int, std::unique_ptr<MenuBar>> &menuBars() {
    static std::map<int, std::unique_ptr<MenuBar>> m;
    return m;
}
int nextPanel = 1;
int nextMenuBar = 1;

const PanelSpec *findSpec(const char *fileName, int resource) {
    if (fileName == nullptr)
        return nullptr;
    auto it = files().find(fileName);
    if (it == files().end())
        return nullptr;
    for (const PanelSpec &s : *it->second)
        if (s.resource == resource)
            return &s;
    return nullptr;
}

void centre(QWidget *w) {
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect area = screen->availableGeometry();
    QSize size = w->frameGeometry().size().expandedTo(w->size());
    w->move(area.x() + (area.width() - size.width()) / 2,
            area.y() + (area.height() - size.height()) / 2);
}

void setBackground(QWidget *w, int rgb) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour(rgb));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

int buildMenuBar(Panel &p, QWidget *window, const MenuBarSpec &spec) {
    auto mb = std::make_unique<MenuBar>();
    mb->handle = nextMenuBar++;
    mb->panel = p.handle;
    mb->callback = spec.callback;
    auto *bar = new QMenuBar(window);
    for (const MenuSpec &m : spec.menus) {
        QMenu *menu = bar->addMenu(withAccessKey(m.label, m.accessKey));
        for (const MenuItemSpec &item : m.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction *a = menu->addAction(withAccessKey(item.label, item.accessKey));
            int barHandle = mb->handle, itemId = item.id, panelHandle = p.handle;
            QObject::connect(a, &QAction::triggered, [barHandle, itemId, panelHandle] {
                MenuBar *b = menuBar(barHandle);
                if (b != nullptr && b->callback != nullptr)
                    b->callback(barHandle, itemId, nullptr, panelHandle);
            });
            mb->items[item.id] = a;
        }
    }
    bar->adjustSize();
    int handle = mb->handle;
    menuBars()[handle] = std::move(mb);
    return handle;
}

// Builds a panel from its spec: a top-level window, or a sheet page (page given).
Panel &buildPanel(const PanelSpec &spec, QWidget *page) {
    auto p = std::make_unique<Panel>();
    p->handle = nextPanel++;
    p->spec = spec;
    p->callback = spec.callback;
    p->closeCtrl = spec.closeCtrl;
    p->defaultCtrl = spec.defaultCtrl;
    Panel &ref = *p;
    panels()[p->handle] = std::move(p);

    if (page != nullptr) {
        ref.window = page;
        ref.content = page;
        setBackground(page, spec.backColor);
    } else {
        auto *w = new PanelWindow(ref.handle);
        w->setWindowTitle(QString::fromStdString(spec.title));
        setBackground(w, spec.backColor);
        int menuHeight = 0;
        if (spec.menuBar != nullptr) {
            ref.menuBar = buildMenuBar(ref, w, *spec.menuBar);
            auto *bar = w->findChild<QMenuBar *>();
            menuHeight = bar->sizeHint().height();
            bar->setGeometry(0, 0, spec.width, menuHeight);
        }
        auto *content = new QWidget(w);
        content->setGeometry(0, menuHeight, spec.width, spec.height);
        ref.window = w;
        ref.content = content;
        w->setFixedSize(spec.width, spec.height + menuHeight);
    }
    for (const ControlSpec &cs : spec.controls) {
        auto c = std::make_unique<Control>();
        c->id = cs.id;
        c->panel = ref.handle;
        c->spec = cs;
        c->callback = cs.callback;
        buildControl(ref, *c);
        restoreDefault(*c);
        if (cs.id >= ref.nextCtrlId)
            ref.nextCtrlId = cs.id + 1;
        ref.controls[cs.id] = std::move(c);
    }
    // Decorations stay behind the controls they frame.
    for (auto &[id, c] : ref.controls)
        if (c->spec.kind == CTRL_DECORATION && c->widget)
            c->widget->lower();
    if (page == nullptr)
        centre(ref.window);
    return ref;
}

// Bring a window forward where the platform has a stacking order.
void bringForward(QWidget *w) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    w->raise();
    w->activateWindow();
}

void forgetPopup(int handle) {
    auto &stack = popups();
    for (auto it = stack.begin(); it != stack.end();) {
        if (*it == handle)
            it = stack.erase(it);
        else
            ++it;
    }
}

} // namespace

Panel *panel(int handle) {
    auto it = panels().find(handle);
    return it == panels().end() ? nullptr : it->second.get();
}

Control *control(int p, int id) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return nullptr;
    auto it = pp->controls.find(id);
    if (it == pp->controls.end())
        return nullptr;
    // Whatever is done with a control sees it as it was set.
    if (!keepingPending())
        settleControl(*it->second);
    return it->second.get();
}

MenuBar *menuBar(int handle) {
    auto it = menuBars().find(handle);
    return it == menuBars().end() ? nullptr : it->second.get();
}

std::vector<int> &popups() {
    static std::vector<int> stack;
    return stack;
}

QString withAccessKey(const std::string &label, const std::string &key) {
    QString text = QString::fromStdString(label).replace('&', "&&");
    if (!key.empty()) {
        const int i = text.indexOf(QString::fromStdString(key), 0, Qt::CaseInsensitive);
        if (i >= 0)
            text.insert(i, '&');
    }
    return text;
}

int fire(int p, int id, int event, int data1, int data2) {
    Control *c = control(p, id);
    if (c == nullptr || c->callback == nullptr)
        return 0;
    return c->callback(p, id, event, c->callbackData, data1, data2);
}

int firePanel(int p, int event) {
    Panel *pp = panel(p);
    if (pp == nullptr || pp->callback == nullptr)
        return 0;
    return pp->callback(p, event, pp->callbackData, 0, 0);
}

// Before the application object goes: every window still held, and every one
// waiting for deletion, is deleted while Qt can still do it.
void discardAll() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    popups().clear();
    std::vector<QPointer<QWidget>> windows;
    for (auto &[h, p] : panels())
        if (p->sheetOf == 0 && p->window)
            windows.push_back(p->window);
    menuBars().clear();
    panels().clear();
    for (auto &w : windows)
        delete w.data();
}

} // namespace ui::detail

using namespace ui::detail;

void ui::RegisterResourceFile(const char *fileName, const std::vector<PanelSpec> *specs) {
    files()[fileName] = specs;
}

int LoadPanel(int, const char *fileName, int resource) {
    if (QApplication::instance() == nullptr)
        return UIE_NOT_INITIALISED;
    const ui::PanelSpec *spec = findSpec(fileName, resource);
    if (spec == nullptr)
        return UIE_BAD_RESOURCE;
    return buildPanel(*spec, nullptr).handle;
}

int NewPanel(int, const char *title, int top, int left, int height, int width) {
    if (QApplication::instance() == nullptr)
        return UIE_NOT_INITIALISED;
    ui::PanelSpec spec;
    spec.title = title != nullptr ? title : "";
    spec.width = width;
    spec.height = height;
    Panel &p = buildPanel(spec, nullptr);
    p.window->move(left, top);
    return p.handle;
}

bool PanelExists(int p) {
    return panel(p) != nullptr;
}

int DisplayPanel(int p) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    if (pp->sheetOf != 0)
        return 0;
    pp->window->show();
    bringForward(pp->window);
    return 0;
}

int HidePanel(int p) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    if (pp->sheetOf != 0)
        return 0;
    forgetPopup(p);
    pp->window->hide();
    pp->window->setWindowModality(Qt::NonModal);
    return 0;
}

int DiscardPanel(int p) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    if (pp->sheetOf != 0)
        return UIE_BAD_PANEL; // a sheet goes with its panel
    // Sheets of this panel's tab controls go with it.
    std::vector<int> gone{p};
    for (auto &[id, c] : pp->controls)
        for (int s : c->sheets)
            gone.push_back(s);
    if (pp->callback != nullptr)
        pp->callback(p, EVENT_DISCARD, pp->callbackData, 0, 0);
    pp = panel(p);
    if (pp == nullptr)
        return 0;
    QWidget *w = pp->window;
    for (int h : gone) {
        forgetPopup(h);
        Panel *g = panel(h);
        if (g != nullptr && g->menuBar != 0)
            menuBars().erase(g->menuBar);
        panels().erase(h);
    }
    if (w != nullptr) {
        w->hide();
        // A callback of this very panel may be running: delete once it returns.
        w->deleteLater();
    }
    return 0;
}

int InstallPopup(int p) {
    Panel *pp = panel(p);
    if (pp == nullptr || pp->sheetOf != 0)
        return UIE_BAD_PANEL;
    forgetPopup(p);
    if (pp->window->isVisible())
        pp->window->hide();
    pp->window->setWindowModality(Qt::ApplicationModal);
    popups().push_back(p);
    pp->window->show();
    bringForward(pp->window);
    return 0;
}

int RemovePopup(int all) {
    auto &stack = popups();
    while (!stack.empty()) {
        int p = stack.back();
        stack.pop_back();
        if (Panel *pp = panel(p)) {
            pp->window->hide();
            pp->window->setWindowModality(Qt::NonModal);
        }
        if (all == 0)
            break;
    }
    return 0;
}

int InstallPanelCallback(int p, PanelCallbackPtr cb, void *data) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    pp->callback = cb;
    pp->callbackData = data;
    return 0;
}

static int menuHeight(Panel &p) {
    return p.content->y();
}

int SetPanelAttribute(int p, int attribute, int value) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    QWidget *w = pp->window;
    switch (attribute) {
    case ATTR_VISIBLE:
        return value ? DisplayPanel(p) : HidePanel(p);
    case ATTR_HEIGHT:
        pp->spec.height = value;
        pp->content->resize(pp->content->width(), value);
        if (pp->sheetOf == 0)
            w->setFixedSize(w->width(), value + menuHeight(*pp));
        return 0;
    case ATTR_WIDTH:
        pp->spec.width = value;
        pp->content->resize(value, pp->content->height());
        if (pp->sheetOf == 0)
            w->setFixedSize(value, w->height());
        return 0;
    case ATTR_TOP:
        if (value == VAL_AUTO_CENTER)
            centre(w);
        else
            w->move(w->x(), value);
        return 0;
    case ATTR_LEFT:
        if (value == VAL_AUTO_CENTER)
            centre(w);
        else
            w->move(value, w->y());
        return 0;
    case ATTR_BACKCOLOR:
        pp->spec.backColor = value;
        setBackground(w, value);
        return 0;
    case ATTR_CLOSE_CTRL:
        pp->closeCtrl = value;
        return 0;
    case ATTR_DEFAULT_CTRL:
        pp->defaultCtrl = value;
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int SetPanelAttribute(int p, int attribute, const char *value) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    if (attribute == ATTR_TITLE) {
        pp->spec.title = value != nullptr ? value : "";
        if (pp->sheetOf == 0) {
            pp->window->setWindowTitle(QString::fromStdString(pp->spec.title));
        } else if (Control *tab = control(pp->sheetOf, pp->tabControl)) {
            auto *tw = static_cast<QTabWidget *>(tab->widget.data());
            int i = tw->indexOf(pp->window);
            if (i >= 0)
                tw->setTabText(i, QString::fromStdString(pp->spec.title));
        }
        return 0;
    }
    if (attribute == ATTR_CONSTANT_NAME) {
        pp->spec.constant = value != nullptr ? value : "";
        return 0;
    }
    return UIE_BAD_ATTRIBUTE;
}

int GetPanelAttribute(int p, int attribute, int *value) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    QWidget *w = pp->window;
    switch (attribute) {
    case ATTR_VISIBLE:
        *value = w->isVisible() ? 1 : 0;
        return 0;
    case ATTR_HEIGHT:
        *value = pp->content->height();
        return 0;
    case ATTR_WIDTH:
        *value = pp->content->width();
        return 0;
    case ATTR_TOP:
        *value = w->y();
        return 0;
    case ATTR_LEFT:
        *value = w->x();
        return 0;
    case ATTR_BACKCOLOR:
        *value = pp->spec.backColor;
        return 0;
    case ATTR_CLOSE_CTRL:
        *value = pp->closeCtrl;
        return 0;
    case ATTR_DEFAULT_CTRL:
        *value = pp->defaultCtrl;
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetPanelAttribute(int p, int attribute, std::string &value) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    if (attribute == ATTR_TITLE) {
        value = pp->sheetOf == 0 ? pp->window->windowTitle().toStdString() : pp->spec.title;
        return 0;
    }
    if (attribute == ATTR_CONSTANT_NAME) {
        value = pp->spec.constant;
        return 0;
    }
    return UIE_BAD_ATTRIBUTE;
}

int DefaultPanel(int p) {
    settlePending();
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    for (auto &[id, c] : pp->controls)
        if (c->spec.kind != CTRL_TAB)
            restoreDefault(*c);
    return 0;
}

int GetPanelMenuBar(int p) {
    Panel *pp = panel(p);
    if (pp == nullptr)
        return UIE_BAD_PANEL;
    return pp->menuBar;
}

int ConvertCanvasToTab(int p, int id) {
    Control *c = control(p, id);
    if (c == nullptr || c->spec.kind != CTRL_CANVAS)
        return UIE_BAD_CONTROL;
    QWidget *old = c->widget;
    auto *tab = new QTabWidget(old->parentWidget());
    tab->setGeometry(old->geometry());
    tab->setDocumentMode(false);
    delete old;
    c->widget = tab;
    c->spec.kind = CTRL_TAB;
    QObject::connect(tab, &QTabWidget::currentChanged, [p, id](int index) {
        Control *cc = control(p, id);
        if (cc == nullptr || index < 0 || index >= static_cast<int>(cc->sheets.size()))
            return;
        fire(p, id, EVENT_TAB_CHANGED, index, cc->sheets[index]);
    });
    applyVisibility(*c);
    return id;
}

int InsertPanelAsTabPage(int p, int tabId, const char *fileName, int resource) {
    Control *c = control(p, tabId);
    if (c == nullptr || c->spec.kind != CTRL_TAB)
        return UIE_BAD_CONTROL;
    const ui::PanelSpec *spec = findSpec(fileName, resource);
    if (spec == nullptr)
        return UIE_BAD_RESOURCE;
    auto *tab = static_cast<QTabWidget *>(c->widget.data());
    auto *page = new QWidget();
    Panel &sheet = buildPanel(*spec, page);
    sheet.sheetOf = p;
    sheet.tabControl = tabId;
    c = control(p, tabId); // the map may have moved nothing, but stay safe
    c->sheets.push_back(sheet.handle);
    {
        QSignalBlocker block(tab); // building is not an operator's choice
        tab->addTab(page, QString::fromStdString(spec->title));
    }
    return sheet.handle;
}

int GetActiveTabPage(int p, int tabId, int *index) {
    Control *c = control(p, tabId);
    if (c == nullptr || c->spec.kind != CTRL_TAB)
        return UIE_BAD_CONTROL;
    *index = static_cast<QTabWidget *>(c->widget.data())->currentIndex();
    return 0;
}

int SetActiveTabPage(int p, int tabId, int index) {
    Control *c = control(p, tabId);
    if (c == nullptr || c->spec.kind != CTRL_TAB)
        return UIE_BAD_CONTROL;
    auto *tab = static_cast<QTabWidget *>(c->widget.data());
    if (index < 0 || index >= tab->count())
        return UIE_BAD_INDEX;
    QSignalBlocker block(tab); // a change made by the program, not the operator
    tab->setCurrentIndex(index);
    return 0;
}

int SetMenuBarAttribute(int mb, int item, int attribute, int value) {
    MenuBar *m = menuBar(mb);
    if (m == nullptr)
        return UIE_BAD_PANEL;
    auto it = m->items.find(item);
    if (it == m->items.end() || !it->second)
        return UIE_BAD_CONTROL;
    if (attribute == ATTR_DIMMED)
        it->second->setEnabled(value == 0);
    else if (attribute == ATTR_VISIBLE)
        it->second->setVisible(value != 0);
    else
        return UIE_BAD_ATTRIBUTE;
    return 0;
}

int GetMenuBarAttribute(int mb, int item, int attribute, int *value) {
    MenuBar *m = menuBar(mb);
    if (m == nullptr)
        return UIE_BAD_PANEL;
    auto it = m->items.find(item);
    if (it == m->items.end() || !it->second)
        return UIE_BAD_CONTROL;
    if (attribute == ATTR_DIMMED)
        *value = it->second->isEnabled() ? 0 : 1;
    else if (attribute == ATTR_VISIBLE)
        *value = it->second->isVisible() ? 1 : 0;
    else
        return UIE_BAD_ATTRIBUTE;
    return 0;
}
