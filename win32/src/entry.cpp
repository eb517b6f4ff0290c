// main(), which enters the program at WinMain as the platform's start-up code
// does: the module handle, no previous instance, the command line without the
// program's name, and SW_SHOWDEFAULT. WinMain's result is the exit code.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
