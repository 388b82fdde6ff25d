// Process entry on the development host: the arguments form the command line.
#include <string>

#include "core/startup.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return vz::runProcess(commandLine.c_str());
}
