// Which VISA library the program talks to. The program calls the VISA functions
// of visa.h as usual; they forward to a VISA library loaded by name, so any
// vendor's implementation serves, and our simulated one is the default.
//
// Choosing the library (configure):
//   ""            ORTAV_VISA_LIBRARY if it is set and not empty, else the simulated library;
//   "auto"        the first of kVendorLibraries that loads, else the simulated library;
//   anything else that library, by name or path (searched as ortav::loader searches,
//                 so "visa32.dll" also works).
// On the command line, "--visa NAME" or "--visa=NAME" makes the same choice and
// outranks ORTAV_VISA_LIBRARY.
//
// A VISA call (or any query below) made before any configure() configures with
// "" first. While no library is loaded every VISA call returns
// VI_ERROR_LIBRARY_NFOUND; nothing falls back to the simulated library silently
// after a named library failed to load.
// Configure before opening sessions: sessions of a library do not carry over to
// the next one (the previous library stays loaded, so nothing dangles).
#pragma once

#include <array>
#include <optional>
#include <string>

namespace ortav::visa {

inline constexpr const char *kSimulatedLibrary = "libortav_simvisa.so";
inline constexpr std::array<const char *, 5> kVendorLibraries = {
    "libvisa.so.0", "libvisa.so", "libiovisa.so", "librsvisa.so", "libvisa.so.7"};

// Loads the chosen library. False when it cannot be loaded or lacks a VISA
// function; error() then names the library and the loader's reason.
bool configure(const std::string &choice = "");

// configure() with the value of the last "--visa" option of argv, or "" without
// one. argv is left as it is (the UI toolkit ignores options it does not know).
bool selectFromArgs(int argc, const char *const *argv);

// The reason the last configure() failed; empty after a success.
std::string error();

bool isLoaded();
std::string libraryName(); // as chosen, e.g. "libvisa.so.0" or kSimulatedLibrary
std::string libraryPath(); // the file that was loaded

// True when the library in use is the simulated bench's (the panel title and any
// file written must say so).
bool isSimulated();
// The simulated bench's name; empty when not simulated.
std::string benchName();
// The noise of the simulated bench's multimeter of that kind at that resource
// (position: a mezzanine meter's, 0 any); nullopt when not simulated or none there.
std::optional<double> benchMultimeterNoise(const std::string &kind, const std::string &resource,
                                           int position);
// The real value (ohms, series included) of resistor 1..18 of channel 1 or 2 of
// the simulated module at that carrier resource and position; nullopt when not
// simulated or no module there.
std::optional<double> benchModuleResistance(const std::string &carrier, int position, int channel,
                                            int resistor);
// When simulated and the bench file named by ORTAV_BENCH is malformed: the message
// ("file:line:column: problem"). The program must not start on such a bench.
std::optional<std::string> benchError();

} // namespace ortav::visa
