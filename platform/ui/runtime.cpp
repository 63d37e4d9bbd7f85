// The run time: start, event processing, nested waits, the wait cursor and the
// popups. Popups and waits ask the test responder first when one is installed.
#include "internal.h"
#include "widgets.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <sys/timerfd.h>
#include <unistd.h>

namespace ui::detail {

namespace {
test::Responder &responder() {
    static test::Responder r;
    return r;
}
std::vector<test::Request> &requestLog() {
    static std::vector<test::Request> log;
    return log;
}
std::vector<std::string> &unansweredLog() {
    static std::vector<std::string> log;
    return log;
}
} // namespace

void recordUnanswered(const std::string &what) {
    unansweredLog().push_back(what);
}

bool ask(const test::Request &r, test::Answer &a) {
    if (!responder())
        return false;
    requestLog().push_back(r);
    // Copy: the responder may replace itself while answering.
    test::Responder current = responder();
    a = current(r);
    if (!a.answered) {
        const char *kind = r.kind == test::RequestKind::Message      ? "message popup"
                           : r.kind == test::RequestKind::Confirm    ? "confirmation popup"
                           : r.kind == test::RequestKind::FileSelect ? "file selection popup"
                                                                     : "modal wait";
        recordUnanswered(std::string(kind) + " \"" + r.title + "\": " + r.text);
    }
    return true;
}

void configureFileDialog(QFileDialog &dialog, const char *defaultFileSpec, const char *fileTypeList,
                         int buttonLabel) {
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (fileTypeList != nullptr && *fileTypeList != '\0')
        dialog.setNameFilter(QString::fromUtf8(fileTypeList));
    if (buttonLabel == VAL_SAVE_BUTTON) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        dialog.setLabelText(QFileDialog::Accept, "Сохранить");
        // "*.png" gives "png": a name typed without it gets it.
        const QString spec = QString::fromUtf8(defaultFileSpec != nullptr ? defaultFileSpec : "");
        if (spec.startsWith("*.") && spec.indexOf('*', 1) < 0 && !spec.contains(';'))
            dialog.setDefaultSuffix(spec.mid(2));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
}

} // namespace ui::detail

using namespace ui::detail;

namespace ui::test {
void setResponder(Responder r) {
    responder() = std::move(r);
}
bool hasResponder() {
    return static_cast<bool>(responder());
}
std::vector<Request> requests() {
    return requestLog();
}
std::vector<std::string> unanswered() {
    return unansweredLog();
}
void clearRecord() {
    requestLog().clear();
    unansweredLog().clear();
}
} // namespace ui::test

namespace {
int g_argc = 1;
char g_arg0[] = "p_ortav";
char *g_argv[] = {g_arg0, nullptr};
int g_waitCursor = 0;

// Qt's own texts (file dialogues, standard buttons) in the operator's
// language: the program's texts are Russian whatever the locale says.
void loadQtTranslations() {
    static QTranslator translator;
    if (translator.load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}
} // namespace

int InitCVIRTE(int argc, char *argv[]) {
    (void)argc;
    (void)argv; // the program's own options are read by the program
    if (QApplication::instance() == nullptr) {
        // Deliberately kept for the life of the process.
        new QApplication(g_argc, g_argv);
        // Qt adopts the user's locale for the C library as well; numbers
        // written and read with printf and strtod keep their decimal point.
        // (A host that made the application itself, as a test's main does,
        // keeps its locale.)
        std::setlocale(LC_NUMERIC, "C");
    }
    if (qobject_cast<QApplication *>(QApplication::instance()) == nullptr)
        return 0;
    static bool styled = false;
    if (!styled) {
        styled = true;
        qAddPostRoutine(discardAll);
        applyProgramStyle();
        loadQtTranslations();
        QFont f("DejaVu Sans");
        f.setPixelSize(12);
        QApplication::setFont(f);
        QPalette pal = QApplication::palette();
        pal.setColor(QPalette::Window, QColor(0xD4, 0xD0, 0xC8));
        pal.setColor(QPalette::Button, QColor(0xE4, 0xE1, 0xDA));
        pal.setColor(QPalette::Highlight, QColor(0x1f, 0x3a, 0x60));
        QApplication::setPalette(pal);
    }
    return 1;
}

void ProcessSystemEvents() {
    if (QApplication::instance() != nullptr)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {
// Wakes the event loop at a wait's end: a timer file rather than a Qt timer,
// since Qt's event loop polls without sleeping for the last millisecond
// before a timer is due, and the waits of each point would keep the
// processor busy that long. One file and one notifier serve every wait.
class WaitAlarm {
public:
    WaitAlarm() : fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
        if (fd_ < 0)
            return;
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier_, &QSocketNotifier::activated, [this] {
            std::uint64_t expirations = 0;
            (void)!::read(fd_, &expirations, sizeof expirations);
            rung_ = true;
        });
    }
    bool usable() const { return notifier_ != nullptr; }
    // Processes events until `seconds` have passed; false if the alarm could
    // not be set.
    bool sleepFor(double seconds) {
        itimerspec due{};
        due.it_value.tv_sec = static_cast<time_t>(seconds);
        due.it_value.tv_nsec = std::max(
            1L, static_cast<long>((seconds - static_cast<double>(due.it_value.tv_sec)) * 1e9));
        rung_ = false;
        if (::timerfd_settime(fd_, 0, &due, nullptr) != 0)
            return false;
        busy_ = true;
        while (!rung_)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        busy_ = false;
        return true;
    }
    bool busy() const { return busy_; }

private:
    int fd_;
    QSocketNotifier *notifier_ = nullptr;
    bool rung_ = false;
    bool busy_ = false;
};
} // namespace

void ProcessSystemEventsFor(double seconds) {
    if (QApplication::instance() == nullptr)
        return;
    if (!(seconds > 0.0)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    seconds = std::min(seconds, 3600.0);
    static WaitAlarm *alarm = new WaitAlarm; // deliberately kept for the process
    if (alarm->usable() && !alarm->busy() && alarm->sleepFor(seconds))
        return;
    // A wait inside a wait (from an event handled during it) or no timer file.
    // Whole milliseconds, never past the end: the caller sleeps what is left.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(seconds * 1000.0));
    while (wake.isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void WaitForSystemEvents() {
    if (QApplication::instance() == nullptr)
        return;
    if (ui::test::hasResponder())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    else
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

int WaitUntilImpl(const char *what, int p, bool (*done)(void *), void *ctx) {
    if (done(ctx))
        return 1;
    if (ui::test::hasResponder()) {
        ProcessSystemEvents();
        if (done(ctx))
            return 1;
        ui::test::Request r{ui::test::RequestKind::Wait, what != nullptr ? what : "", "", p};
        ui::test::Answer a;
        ask(r, a);
        ProcessSystemEvents();
        if (done(ctx))
            return 1;
        if (a.answered)
            recordUnanswered(std::string("modal wait \"") + r.title +
                             "\" still waiting after the answer");
        return 0;
    }
    while (!done(ctx))
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return 1;
}

namespace {

int g_inputOnlyTo = 0;

bool isOperatorInput(QEvent::Type t) {
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
        return true;
    default:
        return false;
    }
}

// Drops operator input to every panel window but the one allowed and the popups.
class InputGate : public QObject {
public:
    bool eventFilter(QObject *target, QEvent *e) override {
        if (g_inputOnlyTo == 0 || !isOperatorInput(e->type()) || !target->isWidgetType())
            return false;
        auto *window = dynamic_cast<PanelWindow *>(static_cast<QWidget *>(target)->window());
        if (window == nullptr)
            return false; // message boxes, file dialogues, menus of their own
        const int handle = window->handle();
        if (handle == g_inputOnlyTo)
            return false;
        for (int p : popups())
            if (p == handle)
                return false;
        return true;
    }
};

} // namespace

void SetInputOnlyTo(int panel) {
    static InputGate *gate = nullptr;
    if (gate == nullptr && QApplication::instance() != nullptr) {
        gate = new InputGate;
        gate->setParent(QApplication::instance());
        QApplication::instance()->installEventFilter(gate);
    }
    g_inputOnlyTo = panel;
}

int GetInputOnlyTo() {
    return g_inputOnlyTo;
}

void SetWaitCursor(int on) {
    if (QApplication::instance() == nullptr)
        return;
    on = on != 0;
    if (on == g_waitCursor)
        return;
    g_waitCursor = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

int GetWaitCursor() {
    return g_waitCursor;
}

// ---- popups ----------------------------------------------------------------------

int MessagePopup(const char *title, const char *message) {
    ui::test::Request r{ui::test::RequestKind::Message, title ? title : "", message ? message : "",
                        0};
    ui::test::Answer a;
    if (ask(r, a))
        return a.answered ? 0 : UIE_NOT_ANSWERED;
    if (QApplication::instance() == nullptr)
        return UIE_NOT_INITIALISED;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(r.title.c_str()),
                    QString::fromUtf8(r.text.c_str()), QMessageBox::Ok);
    box.exec();
    return 0;
}

int ConfirmPopup(const char *title, const char *message) {
    ui::test::Request r{ui::test::RequestKind::Confirm, title ? title : "", message ? message : "",
                        0};
    ui::test::Answer a;
    if (ask(r, a))
        return a.answered ? (a.value != 0 ? 1 : 0) : 0;
    if (QApplication::instance() == nullptr)
        return 0;
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(r.title.c_str()),
                    QString::fromUtf8(r.text.c_str()));
    QPushButton *yes = box.addButton("Да", QMessageBox::YesRole);
    QPushButton *no = box.addButton("Нет", QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? 1 : 0;
}

int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, int buttonLabel, int, int, int,
                    int, char *path, std::size_t pathSize) {
    ui::test::Request r{ui::test::RequestKind::FileSelect, title ? title : "",
                        defaultFileSpec ? defaultFileSpec : "", 0, buttonLabel};
    ui::test::Answer a;
    std::string chosen;
    int result = VAL_NO_FILE_SELECTED;
    if (ask(r, a)) {
        if (!a.answered)
            return VAL_NO_FILE_SELECTED;
        chosen = a.path;
        result = chosen.empty() ? VAL_NO_FILE_SELECTED : a.value;
    } else {
        if (QApplication::instance() == nullptr)
            return VAL_NO_FILE_SELECTED;
        QFileDialog dialog(nullptr, QString::fromUtf8(r.title.c_str()),
                           QString::fromUtf8(defaultDirectory ? defaultDirectory : ""));
        configureFileDialog(dialog, defaultFileSpec, fileTypeList, buttonLabel);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return VAL_NO_FILE_SELECTED;
        QString file = dialog.selectedFiles().first();
        chosen = file.toStdString();
        result = QFileInfo::exists(file) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
    }
    if (result == VAL_NO_FILE_SELECTED || path == nullptr || pathSize == 0)
        return result;
    if (chosen.size() >= pathSize)
        return VAL_NO_FILE_SELECTED; // a path that does not fit is no path
    std::memcpy(path, chosen.c_str(), chosen.size() + 1);
    return result;
}
