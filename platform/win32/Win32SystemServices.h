// The Windows backend of the system services: the real registry, shell links through IShellLinkW,
// the shell's special folders, and the file system. Every text crosses to the system as UTF-16
// (WideText.h) and goes to the wide (W) functions, so names outside the ANSI code page work.
//
// Registry values: roots 1-5 are the five predefined keys. Texts (REG_SZ, REG_EXPAND_SZ) are stored
// as UTF-16 with their terminator, as the registry keeps them, and read back as the program's
// UTF-8 bytes; other types keep their bytes. Links are saved exactly under the name given.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/SystemServices.h"

namespace kestrune::platform::win32 {

std::unique_ptr<SystemServices> CreateWin32SystemServices();

// The predefined key of a root; nullptr for a value outside the five.
HKEY PredefinedKey(RegistryRoot root);

// The shell's folder id (CSIDL) of folders 1-8; -1 for the others.
int FolderId(SpecialFolder folder);

// What a link file holds, read back through the shell (for tests and diagnostics); nullopt when the
// file cannot be loaded as a link.
std::optional<LinkSpec> ReadLink(const std::string& file);

}  // namespace kestrune::platform::win32
