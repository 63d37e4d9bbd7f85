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

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isSet(const char *name) {
    const char *v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

const char *const kNoDisplayHint =
    "run it with --batch for a headless run, or with QT_QPA_PLATFORM=offscreen";

// A display that is named but cannot be opened makes Qt abort; the operator
// gets one line and the usage status instead.
QtMessageHandler g_qtMessages = nullptr;
void displayFailure(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    const bool platformNote =
        context.category != nullptr && (std::strcmp(context.category, "qt.qpa.xcb") == 0 ||
                                        std::strcmp(context.category, "qt.qpa.plugin") == 0 ||
                                        std::strcmp(context.category, "qt.qpa.wayland") == 0);
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        const char *display = std::getenv("DISPLAY");
        std::fprintf(stderr, "p_ortav: the display cannot be opened (DISPLAY=%s): %s\n",
                     display != nullptr ? display : "", kNoDisplayHint);
        std::fflush(stderr);
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
    g_qtMessages = qInstallMessageHandler(displayFailure);
    ortav::batch::useResultsOptions(options);
    return ortavMain(argc, argv);
}
