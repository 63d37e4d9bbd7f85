// Simulated HP E1412 VXI multimeter driver (libhpe1412_32.so): select the
// function, set the trigger count, initiate, then fetch within a time-out.
#include "meter.h"

using namespace ortav::simdmm;

namespace {

Meter &meter() {
    static Meter m(ortav::sim::MultimeterKind::Hpe1412, 0x14120001, Function::VoltDc);
    return m;
}

// 7 DC current, 5 DC voltage, 2 four-wire resistance.
Function function(ViInt32 code) {
    return makerFunction(code);
}

} // namespace

DMM_EXPORT ViStatus hpe1412_init(ViConstRsrc resource, ViInt32 idQuery, ViInt32 reset,
                                 ViSession *vi) {
    return meter().init(resource, idQuery, reset, vi);
}
DMM_EXPORT ViStatus hpe1412_close(ViSession vi) {
    return meter().close(vi);
}
DMM_EXPORT ViStatus hpe1412_reset(ViSession vi) {
    return meter().reset(vi);
}
DMM_EXPORT ViStatus hpe1412_error_message(ViSession, ViStatus status, ViChar message[]) {
    return Meter::errorMessage(status, message);
}
DMM_EXPORT ViStatus hpe1412_currDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::CurrDc, nplc);
}
DMM_EXPORT ViStatus hpe1412_currDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::CurrDc, autoRange, range);
}
DMM_EXPORT ViStatus hpe1412_func(ViSession vi, ViInt32 code) {
    return meter().select(vi, function(code));
}
DMM_EXPORT ViStatus hpe1412_initImm(ViSession vi) {
    return meter().initiate(vi);
}
DMM_EXPORT ViStatus hpe1412_voltDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::VoltDc, nplc);
}
DMM_EXPORT ViStatus hpe1412_voltDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::VoltDc, autoRange, range);
}
DMM_EXPORT ViStatus hpe1412_resRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::Fres, autoRange, range);
}
DMM_EXPORT ViStatus hpe1412_timedFetch_Q(ViSession vi, ViInt32 timeoutMs, ViReal64 readings[],
                                         ViInt32 *count) {
    if (timeoutMs < 0)
        return VI_ERROR_PARAMETER2;
    return meter().fetch(vi, timeoutMs / 1000.0, readings, count);
}
DMM_EXPORT ViStatus hpe1412_trigCoun(ViSession vi, ViInt32 count) {
    return meter().triggerCount(vi, count);
}
