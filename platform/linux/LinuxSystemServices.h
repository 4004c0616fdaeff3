// The Linux backend of the system services.
//
// Registry hives are files in the registry editor's export format, one per root:
//   HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG   $XDG_CONFIG_HOME/kestrune/registry/<root>.reg
//                                            ($XDG_CONFIG_HOME defaults to ~/.config)
//   HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE,   $KESTRUNE_SYSTEM_REGISTRY_DIR/<root>.reg
//   HKEY_USERS                               (default /var/lib/kestrune/registry, which an
//                                            ordinary user cannot write: those writes fail)
// Both locations are looked up at every access, so a changed environment takes effect at once.
// An update holds flock() on "<root>.reg.lock" next to the hive while it reads, edits and replaces
// the file (temporary file in the same directory, fsync, rename, fsync of the directory), so
// concurrent writers in any process lose nothing and a crash leaves the old or the new text.
//
// Link files are freedesktop desktop entries (Type=Application), mode 0755, replaced atomically.
// Special folders come from the XDG directories.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SystemServices.h"

namespace kestrune::platform {

std::unique_ptr<SystemServices> CreateLinuxSystemServices();

// The hive file of a root, as described above; empty when no home directory is known.
std::string RegistryHiveFile(RegistryRoot root);

// Edits a hive's text: gets the current text (nullopt when the hive does not exist yet) and returns
// the replacement, or nullopt to leave the hive as it is and fail the update.
using HiveEdit = std::function<std::optional<std::string>(const std::optional<std::string>& current)>;

// The stored text of a root's hive file; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadHiveFile(RegistryRoot root);
// Read-modify-write of a root's hive file under its lock, serialised against every other writer
// (also in other processes); the file holds the old or the new text at every moment. False when
// the edit declines or the hive cannot be written. Registry values are set through this.
bool UpdateHiveFile(RegistryRoot root, const HiveEdit& edit);

}  // namespace kestrune::platform
