// Entry point of quorvel.dll. Loading and unloading do nothing observable.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
