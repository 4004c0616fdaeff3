// A library that the DLL search test places beside its executable, where a planted copy of a
// system library would lie.
#include <windows.h>

extern "C" __declspec(dllexport) int KestrunePlantedLibrary() { return 42; }
