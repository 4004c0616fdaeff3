// The one web context every web view of the process shares: one web process and network process,
// one cookie jar, so the game window sees what the login page was given.
//
// Cookies persist in the SQLite store of the launcher's data folder and the site data (local storage,
// IndexedDB, the engine's other databases) and the disk cache live beside it (WebDataStore.h);
// session cookies end with the process. Third-party cookies are refused: under the engine's
// no-third-party policy only the site of the page shown sets cookies, never a frame or request of
// another site.
// Certificate errors fail the load, never asking anyone. Without a home folder everything stays in
// memory.
#pragma once

#include <webkit2/webkit2.h>

namespace kestrune::platform::gtk {

// Made on first use, with the data folder prepared then; owned by the process.
WebKitWebContext* LauncherWebContext();

}  // namespace kestrune::platform::gtk
