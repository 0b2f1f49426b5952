#include <windows.h>

#include "app/MainFrame.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    return runApplication(instance, WString(commandLine ? commandLine : L""), showCommand);
}
