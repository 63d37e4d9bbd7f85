// Instrument discovery and selection: the table of instruments VISA knows, the
// chooser panel SI, and the opening of the carrier and the module on it.
#pragma once

#include "visatype.h"

#include <cstddef>
#include <cstdint>

struct InstrumentEntry {
    char Address[128]; // VISA resource name
    char descr[128];   // text shown in the chooser; may hold one line break
    uint16_t model;    // VXI model code & 0x0FFF; 0x1004 for a carrier box; mezzanine type
    uint16_t unused1;
    ViSession session; // carrier session opened for this entry by SelMez
    uint16_t unused2;
    uint16_t frameLA;  // mainframe logical address (VXI); 0 for a box
    int16_t logAddr;   // VXI logical address; 255 for a box
    uint16_t slot;     // VXI slot 0..12; 255 for a box
    uint16_t Meznum;   // mezzanine entries: position 1..4; otherwise 0
    uint16_t intfType; // VISA interface type (2 VXI, 3 GPIB-VXI, 6 TCPIP, 7 USB)
    int16_t kind;      // 0 carrier of ours, 1 mezzanine on it, 2 other instrument
    char serialNo[32]; // third field of the identification reply
    char fwField[34];  // fourth field of the identification reply, or "n/a"
};
static_assert(sizeof(InstrumentEntry) == 344);
static_assert(offsetof(InstrumentEntry, model) == 256);
static_assert(offsetof(InstrumentEntry, session) == 260);
static_assert(offsetof(InstrumentEntry, frameLA) == 266);
static_assert(offsetof(InstrumentEntry, logAddr) == 268);
static_assert(offsetof(InstrumentEntry, slot) == 270);
static_assert(offsetof(InstrumentEntry, Meznum) == 272);
static_assert(offsetof(InstrumentEntry, intfType) == 274);
static_assert(offsetof(InstrumentEntry, kind) == 276);
static_assert(offsetof(InstrumentEntry, serialNo) == 278);
static_assert(offsetof(InstrumentEntry, fwField) == 310);

enum { MAX_INSTRUMENTS = 256 };
enum { KIND_CARRIER = 0, KIND_MEZZANINE = 1, KIND_OTHER = 2 };

extern InstrumentEntry Instruments[MAX_INSTRUMENTS];

// Discovery: number of entries placed in Instruments, or a negative VISA status
// (Instruments then unchanged).
int FindVISAinstruments();

// Chooser over Instruments: carriers of ours, or the entries of one model code.
// The chosen entry, or nullptr (nothing to offer, or cancelled).
InstrumentEntry *SelectInstrumentNM(const char *title);
InstrumentEntry *SelectInstrument(const char *title, uint16_t model);
int SetListInstrsNM();
int SetListInstrs(uint16_t model);
int SetCurInstr();
int BuildSI(const char *title);
extern int siPanel; // the chooser panel; 0 until first built
enum { SI_OK = 2, SI_CANCEL = 3, SI_LIST = 4 };

// Carrier and module opening.
int SelectORTAV();
void SelMez();
ViStatus defMezonin(ViSession carrier, int types[4]);
void setHardVersion();

// The carrier functions discovery binds by name.
typedef ViStatus (*CarrikInitFn)(ViConstRsrc, ViBoolean, ViBoolean, ViSession *);
typedef ViStatus (*CarrikCloseFn)(ViSession);
typedef ViStatus (*CarrikTypeQFn)(ViSession, ViInt16, ViInt16 *, ViInt16 *);
extern CarrikInitFn p_carrik_init;
extern CarrikCloseFn p_carrik_close;
extern CarrikTypeQFn p_carrik_m_type_q;
