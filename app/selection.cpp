// Opening the carrier the operator chose and the module on it.
#include "instruments.h"

#include "calib.h"
#include "carrik.h"
#include "front_panel.h"
#include "linked_parts.h"
#include "ortav.h"
#include "p_ortav.h"
#include "panels.h"
#include "results_recording.h"
#include "userint.h"
#include "visa.h"

#include <cstdio>
#include <string>

int SelectORTAV() {
    closeAll(0);
    SelMez();
    return 0;
}

ViStatus defMezonin(ViSession carrier, int types[4]) {
    for (ViInt16 position = 1; position <= 4; ++position) {
        ViInt16 present = 0, type = 0;
        ViStatus st = carrik_m_type_q(carrier, position, &present, &type);
        if (st < 0)
            return st;
        types[position - 1] = present != 0 ? type : 0;
    }
    return 0;
}

void SelMez() {
    InstrumentEntry *entry = SelectInstrumentNM("Выбор инструмента НМ");
    if (entry == nullptr) {
        setHardVersion();
        return;
    }
    if (carrik_init(entry->Address, 1, 1, &carrierSession) < 0) {
        carrierSession = 0;
        clearCoeffTables();
        MessagePopup("", "          Ошибка инициализации.\n"
                         "Устройство занято либо не сконфигурировано\n"
                         "          Менеджером Ресурсов.");
        return;
    }
    // A failed read keeps the values shown before.
    viGetAttribute(carrierSession, VI_ATTR_MAINFRAME_LA, &carrierFrameLA);
    viGetAttribute(carrierSession, VI_ATTR_SLOT, &carrierSlot);
    SetCtrlVal(mp, MP_CARRIER_LA, carrierFrameLA);
    SetCtrlVal(mp, MP_CARRIER_SLOT, carrierSlot);
    entry->session = carrierSession;
    defMezonin(carrierSession, mezonin);
    ClearListCtrl(mp, MP_MEZ_NUM);
    int items = 0;
    for (int p = 1; p <= 4; ++p) {
        if (mezonin[p - 1] != ORTAV_MODEL_CODE)
            continue;
        char text[8];
        std::snprintf(text, sizeof text, "%d", p);
        InsertListItem(mp, MP_MEZ_NUM, -1, text, p);
        ++items;
    }
    if (items == 0) {
        clearCoeffTables();
        MessagePopup("", "нет наших мезонинов на базе");
        return;
    }
    SetActiveCtrl(mp, MP_MEZ_NUM);
    DisplayPanel(mp);
    selMezonin(mp, MP_MEZ_NUM, EVENT_COMMIT, nullptr, 0, 0);
}

int selMezonin(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    SetCtrlVal(mp, MP_MSG, "Идет инициализация");
    SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_BLACK);
    DisplayPanel(mp);
    ProcessSystemEvents(); // the operator sees what is going on
    if (mvi != 0) {
        ViStatus st = ortav_close(mvi);
        if (st != 0)
            error("ortav_close(mvi)", st);
        if (st < 0) {
            SetWaitCursor(0);
            return 0;
        }
        mvi = 0;
    }
    int p = 0;
    if (GetCtrlVal(mp, MP_MEZ_NUM, &p) != 0)
        return 0; // no position listed
    ViStatus s = ortav_init(carrierSession, static_cast<ViUInt16>(p), 1, 1, &mvi);
    if (s != 0)
        error("ortav_init", s);
    // Only a module that opened shows its coefficients; the previous module's stay nowhere.
    if (s != 0)
        clearCoeffTables();
    if (mvi != 0) {
        ViAttrState value = 0;
        DeviceData *rec = nullptr;
        if (carrik_m_get_attribute(mvi, ATTR_MODULE_DATA, &value) >= 0)
            rec = reinterpret_cast<DeviceData *>(static_cast<uintptr_t>(value));
        if (rec == nullptr || rec->modelCode != ORTAV_MODEL_CODE) {
            lastStatus = VI_ERROR_INV_SETUP;
            return 0;
        }
        IFix[0] = rec->fixCurrent[0];
        IFix[1] = rec->fixCurrent[1];
        NFix[0] = static_cast<short>(rec->fixCode[0]);
        NFix[1] = static_cast<short>(rec->fixCode[1]);
        if (rec->nominalR != nullptr)
            for (int k = 0; k < 18; ++k)
                nominalR[k] = rec->nominalR[k];
        ortav_sft_interface(mvi, error_handle);
        if (s == 0)
            DisplayFlash(rec);
        // The driver read the version before anything else could fail: a
        // module opened with a warning (a blank EEPROM, say) is still that
        // version, and its points and norms are that version's.
        setHardVersion();
    }
    SetCtrlVal(mp, MP_MEZ_NUMold, p);
    if (s == 0)
        DefaultCtrl(mp, MP_MSG);
    ortav::recording::moduleOpened();
    setLed();
    return 0;
}

void setHardVersion() {
    if (mvi != 0) {
        ViInt32 version = hardVersion;
        if (ortav_get_attribute(mvi, ORTAV_ATTR_HW_VERSION, &version) >= 0)
            hardVersion = version;
    }
    SetCtrlVal(mp, MP_VER, hardVersion);
    if (hardVersion == 2) {
        static const char *const labels[4] = {"306,88e3", "613,76e3", "1,215e6", "2,43e6"};
        for (int row = 15; row <= 18; ++row)
            SetTableRowAttribute(cpPanel, CP_TABLE, row, ATTR_LABEL_TEXT, labels[row - 15]);
    } else {
        // Only the row labels go back: the coefficients shown stay as they are.
        const ui::ControlSpec *table = catalogueControl(CP, CP_TABLE);
        for (int row = 15; row <= 18 && table != nullptr; ++row)
            SetTableRowAttribute(cpPanel, CP_TABLE, row, ATTR_LABEL_TEXT,
                                 table->rowLabels[row - 1].c_str());
    }
}
