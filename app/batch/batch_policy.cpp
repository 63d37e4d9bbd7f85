#include "batch_policy.h"

#include "calib.h"
#include "front_panel.h"
#include "instruments.h"
#include "p_ortav.h"
#include "userint.h"

#include <cstring>
#include <strings.h>

namespace ortav::batch {

namespace {

using ui::test::Answer;
using ui::test::RequestKind;

// The kind each multimeter chooser offers, by its title.
const char *chooserKind(const std::string &title) {
    static const struct {
        const char *title, *kind;
    } kinds[] = {{"Выберите HP1412", "hpe1412"},
                 {"Выберите DMM1", "mervd"},
                 {"Выберите ЦMM1", "sulvat"},
                 {"Выберите МЦMM", "tarnel"}};
    for (const auto &k : kinds)
        if (title == k.title)
            return k.kind;
    return nullptr;
}

std::string oneLine(std::string text) {
    for (char &c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

Answer pick(int index) {
    if (!ui::test::choose(siPanel, SI_LIST, index))
        return Answer::none();
    return ui::test::click(siPanel, SI_OK) ? Answer::ok() : Answer::none();
}

Answer cancel() {
    return ui::test::click(siPanel, SI_CANCEL) ? Answer::ok() : Answer::none();
}

} // namespace

Answer Policy::chooser(const std::string &title) {
    int n = 0;
    GetNumListItems(siPanel, SI_LIST, &n);
    if (title == "Выбор инструмента НМ") {
        if (options.resource.empty())
            return pick(0);
        for (int i = 0; i < n; ++i) {
            int entry = -1;
            if (!ui::test::choose(siPanel, SI_LIST, i) ||
                GetCtrlVal(siPanel, SI_LIST, &entry) != 0 || entry < 0 || entry >= MAX_INSTRUMENTS)
                continue;
            if (strcasecmp(Instruments[entry].Address, options.resource.c_str()) == 0)
                return pick(i);
        }
        resourceMissing = true;
        for (int i = 0; i < n; ++i) {
            int entry = -1;
            if (ui::test::choose(siPanel, SI_LIST, i) &&
                GetCtrlVal(siPanel, SI_LIST, &entry) == 0 && entry >= 0 && entry < MAX_INSTRUMENTS)
                carriersOffered.push_back(Instruments[entry].Address);
        }
        return cancel();
    }
    const char *kind = chooserKind(title);
    if (!options.multimeter.empty() && (kind == nullptr || options.multimeter != kind))
        return cancel();
    return pick(0);
}

Answer Policy::answer(const ui::test::Request &r) {
    switch (r.kind) {
    case RequestKind::Message:
        messages.push_back(r.title + ": " + oneLine(r.text));
        std::fprintf(err, "p_ortav: message \"%s\": %s\n", r.title.c_str(),
                     oneLine(r.text).c_str());
        return Answer::ok();
    case RequestKind::Confirm:
        if (r.title == "Калибровка ORTAV" &&
            r.text.find("Прервать калибровку?") != std::string::npos) {
            calibrationAborted = true;
            std::fprintf(err, "p_ortav: %s: yes\n", oneLine(r.text).c_str());
            return Answer::yes();
        }
        std::fprintf(err, "p_ortav: %s: no\n", oneLine(r.text).c_str());
        return Answer::no();
    case RequestKind::FileSelect:
        if (r.title == "Файл протокола" && !options.protocol.empty())
            return Answer::file(options.protocol);
        if (r.title == "График поверки" && !options.chart.empty())
            return Answer::file(options.chart);
        return Answer::none();
    case RequestKind::Wait:
        break;
    }
    if (siPanel > 0 && r.panel == siPanel) {
        std::string title;
        GetPanelAttribute(siPanel, ATTR_TITLE, title);
        return chooser(title);
    }
    if (stPanel > 0 && r.panel == stPanel) {
        int code = 0;
        std::string text;
        GetCtrlVal(stPanel, ST_RESULT, &code);
        GetCtrlVal(stPanel, ST_MSG, text);
        selftestQuestions.push_back({code, text});
        return ui::test::click(stPanel, ST_CANCEL) ? Answer::ok() : Answer::none();
    }
    return Answer::none();
}

} // namespace ortav::batch
