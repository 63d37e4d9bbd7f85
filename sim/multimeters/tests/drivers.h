// The simulated drivers' entry points that the tests call directly.
#pragma once

#include "visatype.h"

extern "C" {
ViStatus hpe1412_init(ViConstRsrc, ViInt32, ViInt32, ViSession *);
ViStatus hpe1412_close(ViSession);
ViStatus hpe1412_error_message(ViSession, ViStatus, ViChar[]);
ViStatus hpe1412_func(ViSession, ViInt32);
ViStatus hpe1412_initImm(ViSession);
ViStatus hpe1412_voltDcNplc(ViSession, ViReal64);
ViStatus hpe1412_voltDcRang(ViSession, ViInt32, ViReal64);
ViStatus hpe1412_resRang(ViSession, ViInt32, ViReal64);
ViStatus hpe1412_timedFetch_Q(ViSession, ViInt32, ViReal64[], ViInt32 *);
ViStatus hpe1412_trigCoun(ViSession, ViInt32);

ViStatus hp3458a_init(ViConstRsrc, ViInt32, ViInt32, ViSession *);
ViStatus hp3458a_close(ViSession);
ViStatus hp3458a_nplc(ViSession, ViReal64);
ViStatus hp3458a_resRang(ViSession, ViInt32, ViReal64);
ViStatus hp3458a_measure_Q(ViSession, ViInt32, ViReal64 *);

ViStatus mervd_init(ViConstRsrc, ViInt32, ViInt32, ViSession *);
ViStatus mervd_close(ViSession);
ViStatus mervd_measure_Q(ViSession, ViInt32, ViReal64 *);
ViStatus mervd_fresRang(ViSession, ViInt32, ViReal64);

ViStatus sulvat_init(ViConstRsrc, ViInt32, ViInt32, ViSession *);
ViStatus sulvat_close(ViSession);
ViStatus sulvat_configure(ViSession, ViInt32);
ViStatus sulvat_trigCoun(ViSession, ViInt32);
ViStatus sulvat_trigSour(ViSession, ViInt32, ViInt32);
ViStatus sulvat_read_Q(ViSession, ViInt32 *, ViReal64[]);
ViStatus sulvat_error_message(ViSession, ViStatus, ViChar[]);

ViStatus tarnel_init(ViConstRsrc, ViInt32, ViInt32, ViSession *);
ViStatus tarnel_connect(ViSession, ViSession, ViInt32, ViInt32, ViInt32);
ViStatus tarnel_close(ViSession);
ViStatus tarnel_configure(ViSession, ViInt32);
ViStatus tarnel_measure_Q(ViSession, ViInt32, ViReal64 *);
ViStatus tarnel_error_message(ViSession, ViStatus, ViChar[]);
}
