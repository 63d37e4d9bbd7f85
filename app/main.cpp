// p_ortav: the operator's front panel for the ORTAV module.
#include "front_panel.h"

int main(int argc, char *argv[]) {
    return ortavMain(argc, argv);
}
