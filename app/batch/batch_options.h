// The command line of a headless run: p_ortav --batch COMMAND [options].
#pragma once

#include <string>

namespace ortav::batch {

enum class Command { None, SelfTest, Calibrate, Verify };

struct Options {
    Command command = Command::None;
    std::string resource;   // --resource: the carrier's VISA resource; empty: the first found
    int position = 0;       // --position 1..4; 0: the first ORTAV on the carrier
    std::string multimeter; // --multimeter KIND; empty: the interactive search order
    bool write = false;     // --write (calibrate): store the coefficients in the module
    std::string protocol;   // --protocol FILE (verify); empty: the panel's default
    std::string chart;      // --chart FILE.png (verify): the charts, FILE-R.png and FILE-I.png
    bool hasTemperature = false;
    double temperature = 20.0; // --temperature C (verify): ambient temperature
};

// The multimeter kinds, as --multimeter and the bench file name them.
inline constexpr const char *kMultimeterKinds[] = {"hpe1412", "hp3458a", "mervd", "sulvat",
                                                   "tarnel"};

// Whether the command line asks for a headless run at all.
bool requested(int argc, char *argv[]);

// Reads the options. Empty on success; otherwise the message, naming the
// argument that is wrong. The interactive program's own options (--bench FILE,
// --visa NAME) are accepted and left to it.
std::string parse(int argc, char *argv[], Options &options);

// The usage text for standard error.
const char *usage();

} // namespace ortav::batch
