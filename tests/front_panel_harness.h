// Runs the real front panel headless on a simulated bench: a bench from a few
// lines of YAML, the program's own start-up, and an operator who answers every
// popup and modal wait the way the test says.
#pragma once

#include "bench.h"
#include "delay.h"
#include "front_panel.h"
#include "instruments.h"
#include "linked_parts.h"
#include "p_ortav.h"
#include "uitest.h"
#include "userint.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace harness {

// The operator: what they answer, and what they were shown.
struct Operator {
    int chooserPick = 0;        // list index chosen in SI; -1: "Отмена"
    int confirmExit = 1;        // answer to confirmations
    std::deque<int> sftAnswers; // 1 "Остановить", 0 "Продолжить", per driver question
    std::vector<std::string> chooserTitles;
    std::vector<std::vector<std::string>> chooserLists; // items offered, per chooser
    std::vector<std::string> messages;                  // "title|text" of message popups
    std::vector<std::string> confirms;                  // "title|text" of confirmations
    std::vector<std::string> questions;                 // self-test texts asked about

    ui::test::Answer answer(const ui::test::Request &r) {
        using ui::test::Answer;
        using ui::test::RequestKind;
        switch (r.kind) {
        case RequestKind::Message:
            messages.push_back(r.title + "|" + r.text);
            return Answer::ok();
        case RequestKind::Confirm:
            confirms.push_back(r.title + "|" + r.text);
            return confirmExit ? Answer::yes() : Answer::no();
        case RequestKind::FileSelect:
            return Answer::none();
        case RequestKind::Wait:
            break;
        }
        if (r.panel == siPanel && siPanel > 0) {
            std::string title;
            GetPanelAttribute(siPanel, ATTR_TITLE, title);
            chooserTitles.push_back(title);
            int n = 0;
            GetNumListItems(siPanel, SI_LIST, &n);
            std::vector<std::string> items;
            for (int i = 0; i < n; ++i) {
                std::string t;
                GetLabelFromIndex(siPanel, SI_LIST, i, t);
                items.push_back(t);
            }
            chooserLists.push_back(items);
            if (chooserPick == -2)
                return ui::test::closeWindow(siPanel) ? Answer::ok() : Answer::none();
            if (chooserPick < 0)
                return ui::test::click(siPanel, SI_CANCEL) ? Answer::ok() : Answer::none();
            if (!ui::test::choose(siPanel, SI_LIST, chooserPick))
                return Answer::none();
            return ui::test::click(siPanel, SI_OK) ? Answer::ok() : Answer::none();
        }
        if (r.panel == stPanel && !sftAnswers.empty()) {
            std::string text;
            GetCtrlVal(stPanel, ST_MSG, text);
            questions.push_back(text);
            int a = sftAnswers.front();
            sftAnswers.pop_front();
            return ui::test::click(stPanel, a ? ST_STOP : ST_CANCEL) ? Answer::ok()
                                                                     : Answer::none();
        }
        return Answer::none();
    }
};

inline Operator *op = nullptr;

inline void install(Operator &o) {
    op = &o;
    ui::test::setResponder([](const ui::test::Request &r) { return op->answer(r); });
}

// The program's state as a fresh run has it.
inline void freshState() {
    exitFlag = 0;
    hardVersion = 2;
    modeChanged = 1;
    lastStatus = 0;
    carrierFrameLA = 0;
    carrierSlot = 0;
}

// The program runs in a folder of its own (the protocol goes to the working
// folder), removed again by stop().
inline std::unique_ptr<QTemporaryDir> workFolder;
inline QString previousFolder;

inline bool enterWorkFolder() {
    if (workFolder)
        return true;
    workFolder = std::make_unique<QTemporaryDir>();
    if (!workFolder->isValid())
        return false;
    previousFolder = QDir::currentPath();
    return QDir::setCurrent(workFolder->path());
}

inline void leaveWorkFolder() {
    if (!workFolder)
        return;
    QDir::setCurrent(previousFolder);
    workFolder.reset();
}

// Loads the bench (YAML text; empty: the default bench) and starts the program
// in a working folder of its own. -1 when that folder cannot be made.
inline int start(const std::string &yaml = "") {
    if (!enterWorkFolder())
        return -1;
    freshState();
    ortav::clock::setVirtual(true);
    if (yaml.empty())
        ortav::sim::loadDefault();
    else
        ortav::sim::loadString(yaml, "test.yaml");
    std::memset(Instruments, 0, sizeof Instruments);
    char arg0[] = "p_ortav";
    char *argv[] = {arg0, nullptr};
    return startUp(1, argv);
}

// Leaves the program, closes the protocol file, puts the state back as a fresh
// run has it and removes the working folder.
inline void stop() {
    RemovePopup(1);
    shutDown();
    calibReset();
    freshState();
    ui::test::clearRecord();
    leaveWorkFolder();
}

inline std::string text(int panel, int control) {
    std::string s;
    GetCtrlVal(panel, control, s);
    return s;
}

inline double number(int panel, int control) {
    double v = 0;
    GetCtrlVal(panel, control, &v);
    return v;
}

inline int attribute(int panel, int control, int attr) {
    int v = 0;
    GetCtrlAttribute(panel, control, attr, &v);
    return v;
}

} // namespace harness
