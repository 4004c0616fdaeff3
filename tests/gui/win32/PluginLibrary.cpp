// A library in a folder of its own that needs a sibling from the same folder, as an input method's or
// a plug-in's library does.
#include <windows.h>

extern "C" __declspec(dllimport) int KestrunePluginPart();

extern "C" __declspec(dllexport) int KestrunePlugin() { return KestrunePluginPart() + 1; }
