// Where no Windows program can be built, the conversion still needs a stub
// beside the running program: this stand-in carries the same parameter slots
// in the same layout, and only tells what it is when run.
#include "ExeSlots.h"

#include <cstdio>

int main()
{
    std::printf("Sledstub.dll stand-in\ninstall directory: %s\nfile to run: %s\n", installDirSlot(),
                runFileSlot());
    return 0;
}
