// A headless run of the front panel: p_ortav --batch selftest|calibrate|verify.
//
// The program starts as usual (same start-up, panels loaded but never on a
// display: the offscreen platform is forced), and the command is carried out by
// the panels' own callbacks, with the popups answered by the policy of
// batch_policy.h. Progress goes to standard error, a summary to standard output.
//
// Exit status: 0 all passed; 1 a point out of norm, a self-test failure, or a
// calibration that found a resistor beyond its tolerance or whose coefficients
// were refused; 2 a usage error (the message names the argument; also a
// --resource or --position that names nothing on the bench, or a bench file or
// protocol file that cannot be used); 3 an instrument error (the driver's text
// from the status line), including a verification that ended early or skipped
// a point because the multimeter gave no reading; 4 results could not be
// recorded (a protocol line, a CSV row, the JSON summary, a chart or the certificate: the file
// and the system's reason are named); 130, 143, 129 the run was
// stopped by SIGINT, SIGTERM or SIGHUP (at its next safe point, the module reset,
// the protocol and the JSON summary saying it was interrupted).
// With --decision-rule guarded, a point that is not a guarded pass
// ("conditional") is out of norm.
//
// ORTAV_VIRTUAL_CLOCK=1 makes the run use the virtual clock (every wait passes
// at once): a test and demonstration aid for the simulated bench, refused
// (exit 2) with any other VISA library.
#pragma once

#include <cstdio>

namespace ortav::batch {

// kInterrupted: plus the signal's number (130 SIGINT, 143 SIGTERM, 129 SIGHUP).
enum ExitCode {
    kPassed = 0,
    kFailed = 1,
    kUsage = 2,
    kInstrument = 3,
    kUnrecorded = 4,
    kInterrupted = 128
};

// Whether the command line asks for a headless run (has --batch).
bool requested(int argc, char *argv[]);

struct Options;
// The results database's options of the command line, for the run to record with.
void useResultsOptions(const Options &options);

// The whole headless run. out and err stand for standard output and error.
int run(int argc, char *argv[], std::FILE *out = stdout, std::FILE *err = stderr);

} // namespace ortav::batch
