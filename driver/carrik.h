// The carrier driver's interface: what the module driver and the application need
// of the maker's carrier library ("carrik_32"). Any library exporting these
// functions with C linkage can stand behind the module driver; on the simulated
// bench it is sim/carrik.
#pragma once

#include "visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

// Attributes a module session keeps with the carrier driver.
#define ATTR_MODULE_DATA ((ViAttr)0x3FFF0808UL) // address of the module driver's DeviceData
#define ATTR_MODULE_FLAG ((ViAttr)0x3FFF0809UL)
#define ATTR_MODULE_TYPE ((ViAttr)0x3FFF080CUL)

// Carrier sessions.
ViStatus carrik_init(ViConstRsrc resource, ViBoolean idQuery, ViBoolean reset, ViSession *vi);
ViStatus carrik_close(ViSession vi);
ViStatus carrik_m_type_q(ViSession vi, ViInt16 position, ViInt16 *present, ViInt16 *model);
ViStatus carrik_error_message(ViSession vi, ViStatus status, ViChar message[]);

// Module (mezzanine position) sessions.
ViStatus carrik_m_init(ViSession carrierVi, ViInt16 position, ViSession *vi);
ViStatus carrik_m_close(ViSession vi);
ViStatus carrik_m_reset(ViSession vi, ViInt16 mode);
ViStatus carrik_m_in16(ViSession vi, ViUInt32 offset, ViUInt16 *value);
ViStatus carrik_m_out16(ViSession vi, ViUInt32 offset, ViUInt16 value);
// Values are pointer-sized, so a session can carry the address of a record.
ViStatus carrik_m_set_attribute(ViSession vi, ViAttr attribute, ViAttrState value);
ViStatus carrik_m_get_attribute(ViSession vi, ViAttr attribute, ViAttrState *value);
ViStatus carrik_m_config_trigger(ViSession vi, ViInt16 line, ViInt16 mode);
ViStatus carrik_m_trig_length(ViSession vi, ViInt16 length);

#ifdef __cplusplus
}
#endif
