// p_ortav: the operator's front panel for the ORTAV module; with --batch, the
// same procedures without a window (app/batch).
#include "batch.h"
#include "batch_options.h"
#include "front_panel.h"
#include "history_report.h"
#include "version_report.h"

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool isSet(const char *name) {
    const char *v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

const char *const kNoDisplayHint =
    "run it with --batch for a headless run, or with QT_QPA_PLATFORM=offscreen";

// The variables that named the display Qt tried, as the operator set them.
std::string displayTried() {
    std::string tried;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!isSet(name))
            continue;
        if (!tried.empty())
            tried += ", ";
        tried += std::string(name) + '=' + std::getenv(name);
    }
    return tried;
}

void cannotOpenDisplay() {
    std::fprintf(stderr, "p_ortav: the display cannot be opened (%s): %s\n", displayTried().c_str(),
                 kNoDisplayHint);
    std::fflush(stderr);
}

// Only a Wayland display is named (no X display to fall back on, no socket
// handed over) and its socket is not there: the client library would print
// its own complaints before Qt gives up, so the start ends here.
bool waylandSocketMissing() {
    if (isSet("DISPLAY") || !isSet("WAYLAND_DISPLAY") || isSet("WAYLAND_SOCKET"))
        return false;
    if (isSet("QT_QPA_PLATFORM") && std::strncmp(std::getenv("QT_QPA_PLATFORM"), "wayland", 7) != 0)
        return false;
    std::string socket = std::getenv("WAYLAND_DISPLAY");
    if (socket.front() != '/') {
        if (!isSet("XDG_RUNTIME_DIR"))
            return true;
        socket = std::string(std::getenv("XDG_RUNTIME_DIR")) + '/' + socket;
    }
    struct stat st {};
    return ::stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode);
}

// A display that is named but cannot be opened makes Qt abort; the operator
// gets one line and the usage status instead.
QtMessageHandler g_qtMessages = nullptr;
void displayFailure(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    // The Wayland plugin tells its failure to connect in the default category.
    const bool platformNote =
        (context.category != nullptr && (std::strcmp(context.category, "qt.qpa.xcb") == 0 ||
                                         std::strcmp(context.category, "qt.qpa.plugin") == 0 ||
                                         std::strcmp(context.category, "qt.qpa.wayland") == 0)) ||
        message.startsWith(QLatin1String("Failed to create wl_display"));
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        cannotOpenDisplay();
        std::_Exit(ortav::batch::kUsage);
    }
    if (platformNote)
        return; // followed by the failure above, or harmless
    if (g_qtMessages != nullptr)
        g_qtMessages(type, context, message);
}

} // namespace

int main(int argc, char *argv[]) {
    // The user's data folder (the results database) is named for the program.
    QCoreApplication::setApplicationName(QStringLiteral("p_ortav"));
    ortav::batch::Options options;
    if (const std::string wrong = ortav::batch::parse(argc, argv, options); !wrong.empty()) {
        std::fprintf(stderr, "p_ortav: %s\n%s", wrong.c_str(), ortav::batch::usage());
        return ortav::batch::kUsage;
    }
    if (options.help) {
        std::fputs(ortav::batch::helpText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(versionReport(options.visa, options.bench).c_str(), stdout);
        return 0;
    }
    if (options.command == ortav::batch::Command::History ||
        options.command == ortav::batch::Command::Due)
        return ortav::batch::printHistory(options);
    if (options.command != ortav::batch::Command::None)
        return ortav::batch::run(argc, argv);
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "p_ortav: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): %s\n",
                     kNoDisplayHint);
        return ortav::batch::kUsage;
    }
    if (waylandSocketMissing()) {
        cannotOpenDisplay();
        return ortav::batch::kUsage;
    }
    g_qtMessages = qInstallMessageHandler(displayFailure);
    ortav::batch::useResultsOptions(options);
    return ortavMain(argc, argv);
}
