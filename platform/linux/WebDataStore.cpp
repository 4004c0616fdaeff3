#include "platform/linux/WebDataStore.h"

#include <fcntl.h>
#include <glib.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/linux/FileLock.h"
#include "platform/linux/XdgFolders.h"

namespace kestrune::platform {

namespace {

// The companions SQLite may keep beside a database; they belong to the file they were made for.
constexpr const char* kCompanions[] = {"-journal", "-wal", "-shm"};

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// A folder of ours, user-only: made with 0700, tightened to it when it exists wider.
bool UserFolder(const std::string& path) {
    if (g_mkdir_with_parents(path.c_str(), 0700) != 0) return false;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), info.st_mode & 0700) != 0) return false;
    return true;
}


enum class Verdict { Sound, Busy, Damaged };

// SQLite results that say the file itself cannot serve as the store.
bool IsDamage(int code) {
    switch (code & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_FORMAT:
        return true;
    default:
        return false;
    }
}

// Opens the store the way the engine will (read-write, no creation) and looks it over.
Verdict CheckStore(const std::string& file, int busyWaitMs) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    auto finish = [&](Verdict verdict) {
        sqlite3_close(db);
        return verdict;
    };
    if (rc != SQLITE_OK) return finish(IsDamage(rc) ? Verdict::Damaged : Verdict::Busy);
    // SQLite quietly opens a file it may not write read-only: the engine could never save into it.
    if (sqlite3_db_readonly(db, "main") == 1) return finish(Verdict::Damaged);
    sqlite3_busy_timeout(db, busyWaitMs);

    // The first read also rolls back a hot journal left by a writer that died mid-change.
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr);
    if (rc != SQLITE_OK) return finish(IsDamage(rc) ? Verdict::Damaged : Verdict::Busy);
    bool ok = false;
    int rows = 0;
    while ((rc = sqlite3_step(check)) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(check, 0);
        ok = rows++ == 0 && text != nullptr && std::string(reinterpret_cast<const char*>(text)) == "ok";
    }
    sqlite3_finalize(check);
    if (rc != SQLITE_DONE) return finish(IsDamage(rc) ? Verdict::Damaged : Verdict::Busy);
    if (!ok) return finish(Verdict::Damaged);

    // A cookie table must have the columns the engine reads and writes (it adds sameSite itself).
    sqlite3_stmt* table = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'moz_cookies'", -1,
                            &table, nullptr);
    if (rc != SQLITE_OK) return finish(IsDamage(rc) ? Verdict::Damaged : Verdict::Busy);
    rc = sqlite3_step(table);
    sqlite3_finalize(table);
    if (rc == SQLITE_ROW) {
        sqlite3_stmt* columns = nullptr;
        rc = sqlite3_prepare_v2(db,
                                "SELECT id, name, value, host, path, expiry, lastAccessed, isSecure, isHttpOnly "
                                "FROM moz_cookies LIMIT 0",
                                -1, &columns, nullptr);
        sqlite3_finalize(columns);
        if (rc != SQLITE_OK) return finish((rc & 0xFF) == SQLITE_BUSY ? Verdict::Busy : Verdict::Damaged);
    } else if (rc != SQLITE_DONE) {
        return finish(IsDamage(rc) ? Verdict::Damaged : Verdict::Busy);
    }
    return finish(Verdict::Sound);
}

// A name beside `file` that nothing has yet: "<file>.damaged-<UTC stamp>[-n]".
std::string AsideName(const std::string& file) {
    char stamp[32] = "unknown";
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    if (gmtime_r(&now, &utc) != nullptr) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    const std::string base = file + ".damaged-" + stamp;
    std::string name = base;
    for (int n = 2; Exists(name) || Exists(name + "-journal") || Exists(name + "-wal"); ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

// Renames the store and its companions aside; the companions go first, so that a fresh store is
// never paired with a journal of the old one.
bool SetAside(const std::string& file, const std::string& aside) {
    for (const char* suffix : kCompanions) {
        const std::string companion = file + suffix;
        if (Exists(companion) && std::rename(companion.c_str(), (aside + suffix).c_str()) != 0) return false;
    }
    return std::rename(file.c_str(), aside.c_str()) == 0;
}

bool CreateEmptyStore(const std::string& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

WebDataLocation WebDataLocationUnder(const std::string& dataHome) {
    if (dataHome.empty()) return {};
    const std::string folder = dataHome + "/kestrune";
    return {folder, folder + "/cookies.sqlite", folder + "/site-data", folder + "/cache"};
}

std::optional<WebDataLocation> UserWebDataLocation() {
    // The same data folder the other Linux services use (the program icon sits beside the cookies).
    const std::string data = DataHome();
    if (data.empty()) return std::nullopt;
    return WebDataLocationUnder(data);
}

WebDataPreparation PrepareWebData(const WebDataLocation& location, int busyWaitMs) {
    WebDataPreparation result;
    if (location.folder.empty() || !UserFolder(location.folder)) return result;
    result.folders = UserFolder(location.siteData) && UserFolder(location.cache);

    // Taken where it can be; a store that cannot be locked is still checked.
    const FileLock lock = FileLock::OnFolder(location.folder);
    const std::string& file = location.cookieFile;
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        result.cookies = errno == ENOENT && CreateEmptyStore(file) ? CookieStoreState::Created : CookieStoreState::Unusable;
        return result;
    }
    // Only a regular file (possibly behind a link) can be the store.
    struct stat target {};
    if (::stat(file.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
        if ((target.st_mode & 077) != 0) (void)::chmod(file.c_str(), target.st_mode & 0600);
        const Verdict verdict = CheckStore(file, busyWaitMs);
        if (verdict != Verdict::Damaged) {
            result.cookies = CookieStoreState::Kept;
            return result;
        }
    }
    const std::string aside = AsideName(file);
    if (!SetAside(file, aside) || !CreateEmptyStore(file)) {
        result.cookies = CookieStoreState::Unusable;
        return result;
    }
    result.cookies = CookieStoreState::SetAside;
    result.setAsideAs = aside;
    return result;
}

}  // namespace kestrune::platform
