// A library that loads but does not register itself: it has no DllRegisterServer export.
#include <windows.h>

extern "C" __declspec(dllexport) int QuillmountNothing() { return 0; }
