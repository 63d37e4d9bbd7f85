// p_ortav: the operator's front panel for the ORTAV module; with --batch, the
// same procedures without a window (app/batch).
#include "batch.h"
#include "front_panel.h"

int main(int argc, char *argv[]) {
    if (ortav::batch::requested(argc, argv))
        return ortav::batch::run(argc, argv);
    return ortavMain(argc, argv);
}
