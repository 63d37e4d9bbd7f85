// Simulated driver of the maker's "DMM" (libmervd.so): a reading per measure
// call in the function it names.
#include "meter.h"

using namespace ortav::simdmm;

namespace {

Meter &meter() {
    static Meter m(ortav::sim::MultimeterKind::Mervd, 0x03240001, Function::VoltDc);
    return m;
}

} // namespace

DMM_EXPORT ViStatus mervd_init(ViConstRsrc resource, ViInt32 idQuery, ViInt32 reset,
                               ViSession *vi) {
    return meter().init(resource, idQuery, reset, vi);
}
DMM_EXPORT ViStatus mervd_close(ViSession vi) {
    return meter().close(vi);
}
DMM_EXPORT ViStatus mervd_reset(ViSession vi) {
    return meter().reset(vi);
}
DMM_EXPORT ViStatus mervd_error_message(ViSession, ViStatus status, ViChar message[]) {
    return Meter::errorMessage(status, message);
}
DMM_EXPORT ViStatus mervd_voltDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::VoltDc, nplc);
}
DMM_EXPORT ViStatus mervd_currDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::CurrDc, nplc);
}
DMM_EXPORT ViStatus mervd_currDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::CurrDc, autoRange, range);
}
DMM_EXPORT ViStatus mervd_func(ViSession vi, ViInt32 code) {
    return meter().select(vi, makerFunction(code));
}
DMM_EXPORT ViStatus mervd_voltDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::VoltDc, autoRange, range);
}
DMM_EXPORT ViStatus mervd_fresRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::Fres, autoRange, range);
}
DMM_EXPORT ViStatus mervd_measure_Q(ViSession vi, ViInt32 code, ViReal64 *reading) {
    return meter().measure(vi, makerFunction(code), false, reading);
}
DMM_EXPORT ViStatus mervd_trigCoun(ViSession vi, ViInt32 count) {
    return meter().triggerCount(vi, count);
}
