// The operator of a headless run: answers every popup and modal wait the panel
// code raises, through the toolkit's responder, by a fixed policy.
//
// - Instrument chooser for the carrier: the entry whose resource is --resource
//   (compared without case), else the first; none that matches: cancelled, and
//   the run ends with a usage error.
// - Multimeter choosers: with --multimeter, the first entry of that kind's
//   chooser and "Отмена" in the others; without it, the first entry of the first
//   chooser offered (the interactive search order).
// - Self-test questions: "Продолжить", so that every failure is listed.
// - Calibration: "Прервать калибровку?" after a resistor beyond its tolerance is
//   answered "Да" (nothing half-measured is stored); any other question "Нет".
// - File choice: the protocol file of --protocol, the chart file of --chart.
// - Messages: acknowledged and copied to standard error.
// - Anything else (the measured-value popup of the cell-by-cell calibration,
//   which a headless run never opens) is left unanswered, and the run ends with
//   an instrument error naming it.
#pragma once

#include "batch_options.h"
#include "uitest.h"

#include <cstdio>
#include <string>
#include <vector>

namespace ortav::batch {

struct Policy {
    Policy(const Options &o, std::FILE *e) : options(o), err(e) {}
    const Options &options;
    std::FILE *err;

    std::vector<std::string> messages; // "title: text" of message popups on one line, in order
    bool resourceMissing = false;
    std::vector<std::string> carriersOffered; // the chooser's list when it was missing
    struct Question {
        int code;
        std::string text;
    };
    std::vector<Question> selftestQuestions;
    bool calibrationAborted = false;

    ui::test::Answer answer(const ui::test::Request &r);

private:
    ui::test::Answer chooser(const std::string &title);
};

} // namespace ortav::batch
