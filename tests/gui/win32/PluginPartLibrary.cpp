// The sibling the plug-in library imports; found only in the plug-in's own folder.
#include <windows.h>

extern "C" __declspec(dllexport) int KestrunePluginPart() { return 41; }
