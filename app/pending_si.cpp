// Placeholders for the reference multimeters while si/ is not in the build: no
// multimeter is ever open. Built only when si/ is absent.
#include "linked_parts.h"

void selectHP() {}
int hasMultimeter() {
    return 0;
}
void closeMultimeter() {}
