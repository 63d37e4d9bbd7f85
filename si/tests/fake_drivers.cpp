#include "fake_drivers.h"

#include "delay.h"

#include <cstdio>
#include <cstring>

FakeDrivers &fakes() {
    static FakeDrivers f;
    return f;
}

namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

ViStatus record(const char *name, const std::string &args) {
    fakes().calls.push_back(std::string(name) + "(" + args + ")");
    fakes().times.push_back(ortav::clock::now());
    auto it = fakes().fail.find(name);
    return it == fakes().fail.end() ? VI_SUCCESS : it->second;
}

std::string kindOf(const char *name) {
    return std::string(name, std::strchr(name, '_'));
}

} // namespace

#define FAKE_SESSION(fn)                                                                           \
    ViStatus fake_##fn(ViSession vi) {                                                             \
        return record(#fn, std::to_string(vi));                                                    \
    }
#define FAKE_INT(fn)                                                                               \
    ViStatus fake_##fn(ViSession vi, ViInt32 a) {                                                  \
        return record(#fn, std::to_string(vi) + "," + std::to_string(a));                          \
    }
#define FAKE_REAL(fn)                                                                              \
    ViStatus fake_##fn(ViSession vi, ViReal64 v) {                                                 \
        return record(#fn, std::to_string(vi) + "," + number(v));                                  \
    }
#define FAKE_INT_REAL(fn)                                                                          \
    ViStatus fake_##fn(ViSession vi, ViInt32 a, ViReal64 v) {                                      \
        return record(#fn, std::to_string(vi) + "," + std::to_string(a) + "," + number(v));        \
    }
#define FAKE_INT_INT(fn)                                                                           \
    ViStatus fake_##fn(ViSession vi, ViInt32 a, ViInt32 b) {                                       \
        return record(#fn,                                                                         \
                      std::to_string(vi) + "," + std::to_string(a) + "," + std::to_string(b));     \
    }
#define FAKE_MEASURE(fn)                                                                           \
    ViStatus fake_##fn(ViSession vi, ViInt32 f, ViReal64 *r) {                                     \
        *r = fakes().reading[kindOf(#fn)];                                                         \
        return record(#fn, std::to_string(vi) + "," + std::to_string(f));                          \
    }
// The driver's text names the driver and the status.
#define FAKE_ERROR(fn)                                                                             \
    ViStatus fake_##fn(ViSession vi, ViStatus st, ViChar text[]) {                                 \
        std::snprintf(text, 256, "<%s %d>", kindOf(#fn).c_str(), static_cast<int>(st));            \
        return record(#fn, std::to_string(vi) + "," + std::to_string(st));                         \
    }

ViStatus fake_hpe1412_init(ViConstRsrc rsrc, ViInt32 a, ViInt32 b, ViSession *vi) {
    const ViStatus st = record("hpe1412_init", std::string(rsrc) + "," + std::to_string(a) + "," +
                                                   std::to_string(b));
    *vi = st < 0 ? ViSession{0} : ViSession{kHP1412};
    return st;
}
FAKE_REAL(hpe1412_voltDcNplc)
FAKE_REAL(hpe1412_currDcNplc)
FAKE_INT_REAL(hpe1412_currDcRang)
FAKE_SESSION(hpe1412_close)
FAKE_ERROR(hpe1412_error_message)
FAKE_INT(hpe1412_func)
FAKE_INT(hpe1412_trigCoun)
FAKE_SESSION(hpe1412_initImm)
FAKE_INT_REAL(hpe1412_voltDcRang)
FAKE_INT_REAL(hpe1412_resRang)
ViStatus fake_hpe1412_timedFetch_Q(ViSession vi, ViInt32 ms, ViReal64 r[], ViInt32 *count) {
    r[0] = fakes().reading["hpe1412"];
    *count = 1;
    return record("hpe1412_timedFetch_Q", std::to_string(vi) + "," + std::to_string(ms));
}

FAKE_SESSION(hp3458a_close)
FAKE_ERROR(hp3458a_error_message)
FAKE_INT_REAL(hp3458a_resRang)
FAKE_MEASURE(hp3458a_measure_Q)

ViStatus fake_mervd_init(ViConstRsrc rsrc, ViInt32 a, ViInt32 b, ViSession *vi) {
    const ViStatus st =
        record("mervd_init", std::string(rsrc) + "," + std::to_string(a) + "," + std::to_string(b));
    *vi = st < 0 ? ViSession{0} : ViSession{kDMM};
    return st;
}
FAKE_REAL(mervd_currDcNplc)
FAKE_REAL(mervd_voltDcNplc)
FAKE_INT_REAL(mervd_currDcRang)
FAKE_SESSION(mervd_close)
FAKE_ERROR(mervd_error_message)
FAKE_INT_REAL(mervd_voltDcRang)
FAKE_INT_REAL(mervd_fresRang)
FAKE_MEASURE(mervd_measure_Q)

FAKE_SESSION(sulvat_close)
FAKE_ERROR(sulvat_error_message)
FAKE_MEASURE(sulvat_measure_Q)
FAKE_INT(sulvat_configure)
FAKE_INT_REAL(sulvat_currDcRang)
FAKE_INT_REAL(sulvat_voltDcRang)
FAKE_INT_REAL(sulvat_fresRang)
FAKE_REAL(sulvat_currDcNplc)
FAKE_REAL(sulvat_voltDcNplc)
FAKE_INT(sulvat_trigCoun)
FAKE_INT_REAL(sulvat_trigDel)
FAKE_INT_INT(sulvat_trigSour)
ViStatus fake_sulvat_read_Q(ViSession vi, ViInt32 *count, ViReal64 r[]) {
    r[0] = fakes().reading["sulvat"];
    *count = 1;
    return record("sulvat_read_Q", std::to_string(vi));
}

FAKE_SESSION(tarnel_close)
FAKE_ERROR(tarnel_error_message)
FAKE_MEASURE(tarnel_measure_Q)
FAKE_INT(tarnel_configure)
FAKE_INT_REAL(tarnel_currDcRang)
FAKE_INT_REAL(tarnel_voltDcRang)
FAKE_INT_REAL(tarnel_fresRang)
FAKE_REAL(tarnel_currDcNplc)
FAKE_REAL(tarnel_voltDcNplc)
FAKE_INT(tarnel_trigCoun)
FAKE_INT_REAL(tarnel_trigDel)
FAKE_INT_INT(tarnel_trigSour)

ViStatus fake_carrik_close(ViSession vi) {
    return record("carrik_close", std::to_string(vi));
}

void installFakeDrivers() {
    fakes() = FakeDrivers{};
    p_hpe1412_init = fake_hpe1412_init;
    p_hpe1412_voltDcNplc = fake_hpe1412_voltDcNplc;
    p_hpe1412_currDcNplc = fake_hpe1412_currDcNplc;
    p_hpe1412_currDcRang = fake_hpe1412_currDcRang;
    p_hpe1412_close = fake_hpe1412_close;
    p_hpe1412_error_message = fake_hpe1412_error_message;
    p_hpe1412_func = fake_hpe1412_func;
    p_hpe1412_trigCoun = fake_hpe1412_trigCoun;
    p_hpe1412_initImm = fake_hpe1412_initImm;
    p_hpe1412_voltDcRang = fake_hpe1412_voltDcRang;
    p_hpe1412_resRang = fake_hpe1412_resRang;
    p_hpe1412_timedFetch_Q = fake_hpe1412_timedFetch_Q;
    p_hp3458a_close = fake_hp3458a_close;
    p_hp3458a_error_message = fake_hp3458a_error_message;
    p_hp3458a_resRang = fake_hp3458a_resRang;
    p_hp3458a_measure_Q = fake_hp3458a_measure_Q;
    p_mervd_init = fake_mervd_init;
    p_mervd_currDcNplc = fake_mervd_currDcNplc;
    p_mervd_voltDcNplc = fake_mervd_voltDcNplc;
    p_mervd_currDcRang = fake_mervd_currDcRang;
    p_mervd_close = fake_mervd_close;
    p_mervd_error_message = fake_mervd_error_message;
    p_mervd_voltDcRang = fake_mervd_voltDcRang;
    p_mervd_fresRang = fake_mervd_fresRang;
    p_mervd_measure_Q = fake_mervd_measure_Q;
    p_sulvat_close = fake_sulvat_close;
    p_sulvat_error_message = fake_sulvat_error_message;
    p_sulvat_measure_Q = fake_sulvat_measure_Q;
    p_sulvat_configure = fake_sulvat_configure;
    p_sulvat_currDcRang = fake_sulvat_currDcRang;
    p_sulvat_voltDcRang = fake_sulvat_voltDcRang;
    p_sulvat_resRang = fake_sulvat_fresRang;
    p_sulvat_currDcNplc = fake_sulvat_currDcNplc;
    p_sulvat_voltDcNplc = fake_sulvat_voltDcNplc;
    p_sulvat_trigCoun = fake_sulvat_trigCoun;
    p_sulvat_trigDel = fake_sulvat_trigDel;
    p_sulvat_trigSour = fake_sulvat_trigSour;
    p_sulvat_read_Q = fake_sulvat_read_Q;
    p_tarnel_close = fake_tarnel_close;
    p_tarnel_error_message = fake_tarnel_error_message;
    p_tarnel_measure_Q = fake_tarnel_measure_Q;
    p_tarnel_configure = fake_tarnel_configure;
    p_tarnel_currDcRang = fake_tarnel_currDcRang;
    p_tarnel_voltDcRang = fake_tarnel_voltDcRang;
    p_tarnel_resRang = fake_tarnel_fresRang;
    p_tarnel_currDcNplc = fake_tarnel_currDcNplc;
    p_tarnel_voltDcNplc = fake_tarnel_voltDcNplc;
    p_tarnel_trigCoun = fake_tarnel_trigCoun;
    p_tarnel_trigDel = fake_tarnel_trigDel;
    p_tarnel_trigSour = fake_tarnel_trigSour;
    si::p_carrik_close = fake_carrik_close;
}

void clearSiState() {
    viHP1412 = viHP3458 = viDMM = viDMM1 = viM_DMM1 = viNM = 0;
    siStatus = 0;
    hp1412 = dmm = nullptr;
}
