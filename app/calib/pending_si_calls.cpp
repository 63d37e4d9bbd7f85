// Placeholders for the multimeter readings while si/ is not in the build: no
// multimeter is open, so every reading fails and every range call does nothing.
#include "si_calls.h"

void configMultimeter(ViInt16) {}
int measureU(double *) {
    return -1;
}
int measureR(double *) {
    return -1;
}
int measSetURange(double) {
    return 0;
}
int measSetResRange(double) {
    return 0;
}
