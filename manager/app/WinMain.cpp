#include "Application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return runManager(instance, commandLine ? commandLine : "");
}
