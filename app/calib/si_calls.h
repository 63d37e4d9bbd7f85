// What calibration and verification call of the reference multimeters (si.h
// declares the same functions; this header keeps app/calib buildable while the
// multimeter layer is absent, when placeholders stand in for them).
#pragma once

#include "visatype.h"

int hasMultimeter();
void configMultimeter(ViInt16 function);
int measureU(double *result);
int measureR(double *result);
int measSetURange(double volts);
int measSetResRange(double ohms);
