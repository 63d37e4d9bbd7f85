#include "fake_host.h"

#include <cstring>

FakeHost &host() {
    static FakeHost h;
    return h;
}

InstrumentEntry entry(const char *address, uint16_t model, uint16_t meznum) {
    InstrumentEntry e{};
    std::strncpy(e.Address, address, sizeof e.Address - 1);
    e.model = model;
    e.Meznum = meznum;
    return e;
}

void msgpDisplay(const char *text) {
    host().panel.push_back(std::string("show:") + text);
}

void msgpHide() {
    host().panel.push_back("hide");
}

void siHostStatusLine(const char *text) {
    host().statusLines.push_back(text);
}

void siHostLedColor(int color) {
    host().ledColors.push_back(color);
}

void siHostMessage(const char *title, const char *text) {
    host().messages.emplace_back(title, text);
}

InstrumentEntry *SelectInstrument(const char *title, uint16_t model) {
    host().listTitles.push_back(title);
    auto it = host().choice.find(model);
    return it == host().choice.end() ? nullptr : it->second;
}
