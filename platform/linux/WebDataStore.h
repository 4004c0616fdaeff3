// Where the web views keep what a site leaves behind, and the checks made on it before the web
// engine opens it.
//
//   $XDG_DATA_HOME/kestrune/            the launcher's data folder (0700 when created here)
//     cookies.sqlite                    persistent cookies, SQLite (0600)
//     cookies.sqlite.damaged-<stamp>    a store that could not be used, set aside whole
//     site-data/                        local storage, IndexedDB and the engine's other site data (0700)
//     cache/                            the HTTP disk cache (0700)
//
// The engine keeps only cookies with an expiry in the store; session cookies live in memory and end
// with the process. Every launcher running on the folder writes its own cookie changes as single
// rows, so launchers at once never overwrite one another's cookies, and SQLite's file locking keeps
// the file whole.
#pragma once

#include <optional>
#include <string>

namespace kestrune::platform {

struct WebDataLocation {
    std::string folder;      // the launcher's data folder
    std::string cookieFile;  // the cookie store
    std::string siteData;    // base folder of the engine's site data
    std::string cache;       // base folder of the disk cache
};

// The folders and files above under `dataHome`; empty fields when `dataHome` is empty.
WebDataLocation WebDataLocationUnder(const std::string& dataHome);

// WebDataLocationUnder($XDG_DATA_HOME, or ~/.local/share); nullopt when no home is known.
std::optional<WebDataLocation> UserWebDataLocation();

// What PrepareWebData found of the cookie store.
enum class CookieStoreState {
    Created,    // there was none: an empty store was made
    Kept,       // a sound store (or one another launcher holds locked right now), used as it is
    SetAside,   // damaged or unusable: renamed aside, an empty store made in its place
    Unusable,   // no store can be made: cookies are kept in memory for this run only
};

struct WebDataPreparation {
    bool folders = false;  // the data folder, site-data and cache folders exist, user-only
    CookieStoreState cookies = CookieStoreState::Unusable;
    std::string setAsideAs;  // where the damaged store went (SetAside only)
};

// Makes the folders of `location` (0700; the site-data and cache folders are tightened to 0700 if
// they are wider) and checks the cookie store: a store that SQLite cannot open for writing, that is
// not a database, fails its quick check or holds a cookie table of another layout is renamed aside
// with its journal files (never deleted), and an empty store (0600) takes its place. A store
// another process has locked is left as it is; the check waits up to `busyWaitMs` for the lock.
// The preparation holds a lock on the data folder, so launchers starting at once check one after
// the other and never set aside a store the other has just made.
WebDataPreparation PrepareWebData(const WebDataLocation& location, int busyWaitMs = 2000);

}  // namespace kestrune::platform
