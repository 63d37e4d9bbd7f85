// Binding the multimeter drivers by name. A library stays loaded for the rest
// of the run once bound; a failed binding leaves the kind unusable.
#include "si.h"

#include "library.h"

#include <string>
#include <vector>

SiInitFn p_hpe1412_init;
SiSessionFn p_hpe1412_close;
SiSessionFn p_hpe1412_reset;
SiErrorMessageFn p_hpe1412_error_message;
SiRealFn p_hpe1412_currDcNplc;
SiIntRealFn p_hpe1412_currDcRang;
SiIntFn p_hpe1412_func;
SiSessionFn p_hpe1412_initImm;
SiRealFn p_hpe1412_voltDcNplc;
SiIntRealFn p_hpe1412_voltDcRang;
SiIntRealFn p_hpe1412_resRang;
SiFetchFn p_hpe1412_timedFetch_Q;
SiIntFn p_hpe1412_trigCoun;

SiInitFn p_hp3458a_init;
SiSessionFn p_hp3458a_close;
SiSessionFn p_hp3458a_reset;
SiErrorMessageFn p_hp3458a_error_message;
SiRealFn p_hp3458a_nplc;
SiIntRealFn p_hp3458a_currDcRang;
SiIntFn p_hp3458a_func;
SiIntRealFn p_hp3458a_voltDcRang;
SiIntRealFn p_hp3458a_resRang;
SiMeasureFn p_hp3458a_measure_Q;
SiIntFn p_hp3458a_trigCoun;

SiInitFn p_mervd_init;
SiSessionFn p_mervd_close;
SiSessionFn p_mervd_reset;
SiErrorMessageFn p_mervd_error_message;
SiRealFn p_mervd_voltDcNplc;
SiRealFn p_mervd_currDcNplc;
SiIntRealFn p_mervd_currDcRang;
SiIntFn p_mervd_func;
SiIntRealFn p_mervd_voltDcRang;
SiIntRealFn p_mervd_fresRang;
SiMeasureFn p_mervd_measure_Q;
SiIntFn p_mervd_trigCoun;

SiInitFn p_sulvat_init;
SiSessionFn p_sulvat_close;
SiSessionFn p_sulvat_reset;
SiErrorMessageFn p_sulvat_error_message;
SiMeasureFn p_sulvat_measure_Q;
SiIntFn p_sulvat_configure;
SiSessionFn p_sulvat_reconfig;
SiIntFn p_sulvat_conf_func;
SiIntRealFn p_sulvat_currDcRang;
SiIntRealFn p_sulvat_voltDcRang;
SiIntRealFn p_sulvat_resRang;
SiRealFn p_sulvat_currDcNplc;
SiRealFn p_sulvat_voltDcNplc;
SiIntFn p_sulvat_trigCoun;
SiIntRealFn p_sulvat_trigDel;
SiIntIntFn p_sulvat_trigSour;
SiReadFn p_sulvat_read_Q;

SiInitFn p_tarnel_init;
SiConnectFn p_tarnel_connect;
SiSessionFn p_tarnel_close;
SiSessionFn p_tarnel_reset;
SiErrorMessageFn p_tarnel_error_message;
SiMeasureFn p_tarnel_measure_Q;
SiIntFn p_tarnel_configure;
SiIntFn p_tarnel_conf_func;
SiIntRealFn p_tarnel_currDcRang;
SiIntRealFn p_tarnel_voltDcRang;
SiIntRealFn p_tarnel_resRang;
SiRealFn p_tarnel_currDcNplc;
SiRealFn p_tarnel_voltDcNplc;
SiIntFn p_tarnel_trigCoun;
SiIntRealFn p_tarnel_trigDel;
SiIntIntFn p_tarnel_trigSour;

namespace si {
decltype(&carrik_init) p_carrik_init;
decltype(&carrik_close) p_carrik_close;
} // namespace si

// Entry points of each library in the order they are looked up:
// X(pointer variable, exported name).
#define HPE1412_ENTRIES(X)                                                                         \
    X(p_hpe1412_init, "hpe1412_init")                                                              \
    X(p_hpe1412_close, "hpe1412_close")                                                            \
    X(p_hpe1412_reset, "hpe1412_reset")                                                            \
    X(p_hpe1412_error_message, "hpe1412_error_message")                                            \
    X(p_hpe1412_currDcNplc, "hpe1412_currDcNplc")                                                  \
    X(p_hpe1412_currDcRang, "hpe1412_currDcRang")                                                  \
    X(p_hpe1412_func, "hpe1412_func")                                                              \
    X(p_hpe1412_initImm, "hpe1412_initImm")                                                        \
    X(p_hpe1412_voltDcNplc, "hpe1412_voltDcNplc")                                                  \
    X(p_hpe1412_voltDcRang, "hpe1412_voltDcRang")                                                  \
    X(p_hpe1412_resRang, "hpe1412_resRang")                                                        \
    X(p_hpe1412_timedFetch_Q, "hpe1412_timedFetch_Q")                                              \
    X(p_hpe1412_trigCoun, "hpe1412_trigCoun")

#define HP3458A_ENTRIES(X)                                                                         \
    X(p_hp3458a_init, "hp3458a_init")                                                              \
    X(p_hp3458a_close, "hp3458a_close")                                                            \
    X(p_hp3458a_reset, "hp3458a_reset")                                                            \
    X(p_hp3458a_error_message, "hp3458a_error_message")                                            \
    X(p_hp3458a_nplc, "hp3458a_nplc")                                                              \
    X(p_hp3458a_currDcRang, "hp3458a_currDcRang")                                                  \
    X(p_hp3458a_func, "hp3458a_func")                                                              \
    X(p_hp3458a_voltDcRang, "hp3458a_voltDcRang")                                                  \
    X(p_hp3458a_resRang, "hp3458a_resRang")                                                        \
    X(p_hp3458a_measure_Q, "hp3458a_measure_Q")                                                    \
    X(p_hp3458a_trigCoun, "hp3458a_trigCoun")

#define MERVD_ENTRIES(X)                                                                           \
    X(p_mervd_init, "mervd_init")                                                                  \
    X(p_mervd_close, "mervd_close")                                                                \
    X(p_mervd_reset, "mervd_reset")                                                                \
    X(p_mervd_error_message, "mervd_error_message")                                                \
    X(p_mervd_voltDcNplc, "mervd_voltDcNplc")                                                      \
    X(p_mervd_currDcNplc, "mervd_currDcNplc")                                                      \
    X(p_mervd_currDcRang, "mervd_currDcRang")                                                      \
    X(p_mervd_func, "mervd_func")                                                                  \
    X(p_mervd_voltDcRang, "mervd_voltDcRang")                                                      \
    X(p_mervd_fresRang, "mervd_fresRang")                                                          \
    X(p_mervd_measure_Q, "mervd_measure_Q")                                                        \
    X(p_mervd_trigCoun, "mervd_trigCoun")

#define SULVAT_ENTRIES(X)                                                                          \
    X(p_sulvat_init, "sulvat_init")                                                                \
    X(p_sulvat_close, "sulvat_close")                                                              \
    X(p_sulvat_reset, "sulvat_reset")                                                              \
    X(p_sulvat_error_message, "sulvat_error_message")                                              \
    X(p_sulvat_measure_Q, "sulvat_measure_Q")                                                      \
    X(p_sulvat_configure, "sulvat_configure")                                                      \
    X(p_sulvat_reconfig, "sulvat_reconfig")                                                        \
    X(p_sulvat_conf_func, "sulvat_conf_func")                                                      \
    X(p_sulvat_currDcRang, "sulvat_currDcRang")                                                    \
    X(p_sulvat_voltDcRang, "sulvat_voltDcRang")                                                    \
    X(p_sulvat_resRang, "sulvat_fresRang")                                                         \
    X(p_sulvat_currDcNplc, "sulvat_currDcNplc")                                                    \
    X(p_sulvat_voltDcNplc, "sulvat_voltDcNplc")                                                    \
    X(p_sulvat_trigCoun, "sulvat_trigCoun")                                                        \
    X(p_sulvat_trigDel, "sulvat_trigDel")                                                          \
    X(p_sulvat_trigSour, "sulvat_trigSour")                                                        \
    X(p_sulvat_read_Q, "sulvat_read_Q")

// tarnel_measure_Q is looked up twice, first and last.
#define TARNEL_ENTRIES(X)                                                                          \
    X(p_tarnel_init, "tarnel_init")                                                                \
    X(p_tarnel_connect, "tarnel_connect")                                                          \
    X(p_tarnel_close, "tarnel_close")                                                              \
    X(p_tarnel_reset, "tarnel_reset")                                                              \
    X(p_tarnel_error_message, "tarnel_error_message")                                              \
    X(p_tarnel_measure_Q, "tarnel_measure_Q")                                                      \
    X(p_tarnel_configure, "tarnel_configure")                                                      \
    X(p_tarnel_conf_func, "tarnel_conf_func")                                                      \
    X(p_tarnel_currDcRang, "tarnel_currDcRang")                                                    \
    X(p_tarnel_voltDcRang, "tarnel_voltDcRang")                                                    \
    X(p_tarnel_resRang, "tarnel_fresRang")                                                         \
    X(p_tarnel_currDcNplc, "tarnel_currDcNplc")                                                    \
    X(p_tarnel_voltDcNplc, "tarnel_voltDcNplc")                                                    \
    X(p_tarnel_trigCoun, "tarnel_trigCoun")                                                        \
    X(p_tarnel_trigDel, "tarnel_trigDel")                                                          \
    X(p_tarnel_trigSour, "tarnel_trigSour")                                                        \
    X(p_tarnel_measure_Q, "tarnel_measure_Q")

#define CARRIK_ENTRIES(X)                                                                          \
    X(si::p_carrik_init, "carrik_init")                                                            \
    X(si::p_carrik_close, "carrik_close")

namespace {

std::vector<std::string> &failures() {
    static std::vector<std::string> f;
    return f;
}

#define SI_BIND(var, name) &&lib.bind(name, var)
#define SI_CLEAR(var, name) var = nullptr;

// Looks every entry point up in order, stopping at the first missing one.
template <class Bind, class Clear> int bindLibrary(const char *file, Bind bindAll, Clear clearAll) {
    ortav::loader::Library lib(file);
    if (!lib.loaded()) {
        failures().push_back(lib.error());
        return -1;
    }
    if (!bindAll(lib)) {
        failures().push_back(lib.error()); // names the missing entry point and the library
        clearAll();
        return -1; // lib unloads here
    }
    lib.release();
    return 0;
}

#define SI_LIBRARY(file, ENTRIES)                                                                  \
    bindLibrary(                                                                                   \
        file, [](ortav::loader::Library &lib) { return true ENTRIES(SI_BIND); },                   \
        [] { ENTRIES(SI_CLEAR) })

} // namespace

const std::vector<std::string> &loadLibsFailures() {
    return failures();
}

void clearLoadLibsFailures() {
    failures().clear();
}

int loadLibs(int modelCode) {
    switch (modelCode) {
    case hpe1412_MODEL_CODE:
        return SI_LIBRARY("libhpe1412_32.so", HPE1412_ENTRIES);
    case hp3458a_MODEL_CODE:
        return SI_LIBRARY("libhp3458a.so", HP3458A_ENTRIES);
    case mervd_MODEL_CODE:
        return SI_LIBRARY("libmervd.so", MERVD_ENTRIES);
    case sulvat_MODEL_CODE:
        return SI_LIBRARY("libsulvat.so", SULVAT_ENTRIES);
    case tarnel_MODEL_CODE:
        return SI_LIBRARY("libtarnel_32.so", TARNEL_ENTRIES);
    case carrik_MODEL_CODE:
        return SI_LIBRARY("libcarrik_32.so", CARRIK_ENTRIES);
    default:
        return 0;
    }
}
