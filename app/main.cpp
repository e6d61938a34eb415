// quernel: watches the files DOS programs print into and prints every new printout.
#include "platform/HeadlessApp.h"

int main(int argc, char** argv) {
    // Without a window (there is none yet) Quernel runs headless; "--headless" asks for that
    // explicitly and is accepted as such.
    return quernel::RunHeadless(argc, argv);
}
