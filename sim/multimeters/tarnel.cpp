// Simulated driver of the maker's mezzanine multimeter "МЦMM" (libtarnel_32.so).
// It is opened by its carrier's resource and then connected to a carrier session
// and its position. Its function must be configured before readings: measure_Q
// reads only the function configured last.
#include "meter.h"

using namespace ortav::simdmm;

namespace {

Meter &meter() {
    static Meter m(ortav::sim::MultimeterKind::Tarnel, 0x00200001, Function::None);
    return m;
}

} // namespace

DMM_EXPORT ViStatus tarnel_init(ViConstRsrc resource, ViInt32 idQuery, ViInt32 reset,
                                ViSession *vi) {
    return meter().init(resource, idQuery, reset, vi);
}
DMM_EXPORT ViStatus tarnel_connect(ViSession vi, ViSession carrier, ViInt32 position, ViInt32,
                                   ViInt32) {
    return meter().connect(vi, carrier, position);
}
DMM_EXPORT ViStatus tarnel_close(ViSession vi) {
    return meter().close(vi);
}
DMM_EXPORT ViStatus tarnel_reset(ViSession vi) {
    return meter().reset(vi);
}
DMM_EXPORT ViStatus tarnel_error_message(ViSession, ViStatus status, ViChar message[]) {
    return Meter::errorMessage(status, message);
}
DMM_EXPORT ViStatus tarnel_measure_Q(ViSession vi, ViInt32 code, ViReal64 *reading) {
    return meter().measure(vi, makerFunction(code), true, reading);
}
DMM_EXPORT ViStatus tarnel_configure(ViSession vi, ViInt32 code) {
    return meter().configure(vi, makerFunction(code));
}
DMM_EXPORT ViStatus tarnel_conf_func(ViSession vi, ViInt32 code) {
    return meter().configure(vi, makerFunction(code));
}
DMM_EXPORT ViStatus tarnel_currDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::CurrDc, autoRange, range);
}
DMM_EXPORT ViStatus tarnel_voltDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::VoltDc, autoRange, range);
}
DMM_EXPORT ViStatus tarnel_fresRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::Fres, autoRange, range);
}
DMM_EXPORT ViStatus tarnel_currDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::CurrDc, nplc);
}
DMM_EXPORT ViStatus tarnel_voltDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::VoltDc, nplc);
}
DMM_EXPORT ViStatus tarnel_trigCoun(ViSession vi, ViInt32 count) {
    return meter().triggerCount(vi, count);
}
DMM_EXPORT ViStatus tarnel_trigDel(ViSession vi, ViInt32 autoDelay, ViReal64 delay) {
    return meter().triggerDelay(vi, autoDelay, delay);
}
DMM_EXPORT ViStatus tarnel_trigSour(ViSession vi, ViInt32 source, ViInt32) {
    return meter().triggerSource(vi, source);
}
