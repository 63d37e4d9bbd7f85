// Simulated driver of the maker's "ЦMM1" (libsulvat.so). Its function must be
// configured before readings: read_Q reads the configured function, and
// measure_Q reads only the function configured last.
#include "meter.h"

using namespace ortav::simdmm;

namespace {

Meter &meter() {
    static Meter m(ortav::sim::MultimeterKind::Sulvat, 0x03560001, Function::None);
    return m;
}

} // namespace

DMM_EXPORT ViStatus sulvat_init(ViConstRsrc resource, ViInt32 idQuery, ViInt32 reset,
                                ViSession *vi) {
    return meter().init(resource, idQuery, reset, vi);
}
DMM_EXPORT ViStatus sulvat_close(ViSession vi) {
    return meter().close(vi);
}
DMM_EXPORT ViStatus sulvat_reset(ViSession vi) {
    return meter().reset(vi);
}
DMM_EXPORT ViStatus sulvat_error_message(ViSession, ViStatus status, ViChar message[]) {
    return Meter::errorMessage(status, message);
}
DMM_EXPORT ViStatus sulvat_measure_Q(ViSession vi, ViInt32 code, ViReal64 *reading) {
    return meter().measure(vi, makerFunction(code), true, reading);
}
DMM_EXPORT ViStatus sulvat_configure(ViSession vi, ViInt32 code) {
    return meter().configure(vi, makerFunction(code));
}
// Configures the function set last once more.
DMM_EXPORT ViStatus sulvat_reconfig(ViSession vi) {
    return meter().reconfigure(vi);
}
DMM_EXPORT ViStatus sulvat_conf_func(ViSession vi, ViInt32 code) {
    return meter().configure(vi, makerFunction(code));
}
DMM_EXPORT ViStatus sulvat_currDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::CurrDc, autoRange, range);
}
DMM_EXPORT ViStatus sulvat_voltDcRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::VoltDc, autoRange, range);
}
DMM_EXPORT ViStatus sulvat_fresRang(ViSession vi, ViInt32 autoRange, ViReal64 range) {
    return meter().setRange(vi, Function::Fres, autoRange, range);
}
DMM_EXPORT ViStatus sulvat_currDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::CurrDc, nplc);
}
DMM_EXPORT ViStatus sulvat_voltDcNplc(ViSession vi, ViReal64 nplc) {
    return meter().setNplc(vi, Function::VoltDc, nplc);
}
DMM_EXPORT ViStatus sulvat_trigCoun(ViSession vi, ViInt32 count) {
    return meter().triggerCount(vi, count);
}
DMM_EXPORT ViStatus sulvat_trigDel(ViSession vi, ViInt32 autoDelay, ViReal64 delay) {
    return meter().triggerDelay(vi, autoDelay, delay);
}
DMM_EXPORT ViStatus sulvat_trigSour(ViSession vi, ViInt32 source, ViInt32) {
    return meter().triggerSource(vi, source);
}
DMM_EXPORT ViStatus sulvat_read_Q(ViSession vi, ViInt32 *count, ViReal64 readings[]) {
    return meter().read(vi, count, readings);
}
