// Simulated HP 3458A GPIB multimeter driver (libhp3458a.so): one integration
// time for every function, a reading per measure call in the function it names.
#include "meter.h"

using namespace ortav::simdmm;

namespace {

Meter &meter() {
    static Meter m(ortav::sim::MultimeterKind::Hp3458a, 0x34580001, Function::VoltDc);
    return m;
}

// 6 DC current, 1 DC voltage, 5 four-wire resistance.
Function function(ViInt32 code) {
    switch (code) {
    case 6:
        return Function::CurrDc;
    case 1:
        return Function::VoltDc;
    case 5:
        return Function::Fres;
    default:
        return Function::None;
    }
}

} // namespace

DMM_EXPORT ViStatus hp3458a_init(ViConstRsrc resource, ViInt32 idQuery, ViInt32 reset,
                                 ViSession *vi) {
    return meter().init(resource, idQuery, reset, vi);
}
DMM_EXPORT ViStatus hp3458a_close(ViSession vi) {
    return meter().close(vi);
}
DMM_EXPORT ViStatus hp3458a_reset(ViSession vi) {
    return meter().reset(vi);
}
DMM_EXPORT ViStatus hp3458a_error_message(ViSession, ViStatus status, ViChar message[]) {
    return Meter::errorMessage(status, message);
}
DMM_EXPORT ViStatus hp3458a_nplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::None, nplc);
}
DMM_EXPORT ViStatus hp3458a_currDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::CurrDc, autoRange, range);
}
DMM_EXPORT ViStatus hp3458a_func(ViSession vi, ViInt32 code) {
    return meter().select(vi, function(code));
}
DMM_EXPORT ViStatus hp3458a_voltDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::VoltDc, autoRange, range);
}
DMM_EXPORT ViStatus hp3458a_resRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::Fres, autoRange, range);
}
DMM_EXPORT ViStatus hp3458a_measure_Q(ViSession vi, ViInt32 code, ViReal64 *reading) {
    return meter().measure(vi, function(code), false, reading);
}
DMM_EXPORT ViStatus hp3458a_trigCoun(ViSession vi, ViInt32 count) {
    return meter().triggerCount(vi, count);
}
