// Process entry of the Windows product.
#include <windows.h>

#include "core/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return vz::runProcess(commandLine ? commandLine : "");
}
