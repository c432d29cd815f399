// The Windows DLL entry point. It does no work: instances and tables are made on demand through
// plugMain, and nothing may be started or freed while the loader lock is held.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
