// A library that says which copy of it was loaded.
int ortavProbe(void) {
    return PROBE_ID;
}
