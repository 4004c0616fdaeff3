// The web views' data folder and the checks on the cookie store, against real files and SQLite.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/WebDataStore.h"
#include "platform/linux/XdgFolders.h"
#include "tests/support/FileContents.h"
#include "tests/support/TempFolder.h"

namespace kestrune::platform {
namespace {

namespace fs = std::filesystem;

using kestrune::testing::ReadFile;
using kestrune::testing::WriteFile;

unsigned Mode(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Runs SQL on a database file; true when every statement succeeded.
bool Exec(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The names of the cookies the store holds, sorted; "<error>" when it cannot be read.
std::string CookieNames(const fs::path& file) {
    sqlite3* db = nullptr;
    std::vector<std::string> names;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "SELECT name FROM moz_cookies", -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "<error>";
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& name : names) joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

// The cookie table as the web engine makes it, and a row as it writes one.
constexpr const char* kEngineTable =
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, value TEXT, host TEXT, path TEXT, "
    "expiry INTEGER, lastAccessed INTEGER, isSecure INTEGER, isHttpOnly INTEGER, sameSite INTEGER);";
std::string EngineRow(const std::string& name) {
    return "INSERT INTO moz_cookies VALUES(NULL, '" + name + "', 'v', '127.0.0.1', '/', 4102444800, NULL, 0, 1, 0);";
}

class WebDataStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.Made());
        location_ = WebDataLocationUnder((root_ / "share").string());
    }
    fs::path Folder() const { return location_.folder; }
    fs::path Store() const { return location_.cookieFile; }

    // The names in the data folder that begin with "cookies.sqlite.damaged-".
    std::vector<fs::path> AsideFiles() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("cookies.sqlite.damaged-", 0) == 0) found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    // The fresh store is an empty file of the user alone that the engine can build its table in.
    void ExpectFreshStore() {
        ASSERT_TRUE(fs::is_regular_file(Store()));
        EXPECT_EQ(Mode(Store()), 0600u);
        EXPECT_EQ(fs::file_size(Store()), 0u);
        EXPECT_TRUE(Exec(Store(), std::string(kEngineTable) + EngineRow("fresh")));
        EXPECT_EQ(CookieNames(Store()), "fresh");
    }

    kestrune::testing::TempFolder temp_{"webdata"};
    const fs::path root_ = temp_.Path();
    WebDataLocation location_;
};

TEST_F(WebDataStore, LocationFollowsTheDataHomeOrTheHomeFolder) {
    EXPECT_EQ(location_.folder, (root_ / "share/kestrune").string());
    EXPECT_EQ(location_.cookieFile, (root_ / "share/kestrune/cookies.sqlite").string());
    EXPECT_EQ(location_.siteData, (root_ / "share/kestrune/site-data").string());
    EXPECT_EQ(location_.cache, (root_ / "share/kestrune/cache").string());
    EXPECT_TRUE(WebDataLocationUnder("").folder.empty());

    const char* oldData = std::getenv("XDG_DATA_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedData = oldData ? oldData : "", savedHome = oldHome ? oldHome : "";
    ::setenv("XDG_DATA_HOME", "/x/data", 1);
    EXPECT_EQ(UserWebDataLocation()->cookieFile, "/x/data/kestrune/cookies.sqlite");
    ::setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
    ::setenv("HOME", "/x/home", 1);
    EXPECT_EQ(UserWebDataLocation()->folder, "/x/home/.local/share/kestrune");
    // A home that is not an absolute path: the password database's home, for the cookie store as
    // for every other file the Linux services keep (the program icon sits beside the cookies).
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "relative-home", 1);
    const auto unusual = UserWebDataLocation();
    ASSERT_TRUE(unusual);
    EXPECT_EQ(unusual->folder, kestrune::platform::DataHome() + "/kestrune");
    const std::string home = kestrune::platform::HomeDirectory();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home.front(), '/');
    EXPECT_EQ(unusual->folder, home + "/.local/share/kestrune");
    oldData ? ::setenv("XDG_DATA_HOME", savedData.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

TEST_F(WebDataStore, FirstStartMakesUserOnlyFoldersAndAnEmptyStore) {
    const WebDataPreparation prepared = PrepareWebData(location_);
    EXPECT_TRUE(prepared.folders);
    EXPECT_EQ(prepared.cookies, CookieStoreState::Created);
    EXPECT_TRUE(prepared.setAsideAs.empty());
    for (const std::string& folder : {location_.folder, location_.siteData, location_.cache}) {
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_EQ(Mode(folder), 0700u) << folder;
    }
    ExpectFreshStore();
    EXPECT_TRUE(AsideFiles().empty());
}

TEST_F(WebDataStore, SoundStoreIsKeptAndWideModesAreTightened) {
    fs::create_directories(location_.siteData);
    ASSERT_TRUE(Exec(Store(), std::string(kEngineTable) + EngineRow("a") + EngineRow("b")));
    ::chmod(Store().c_str(), 0644);
    ::chmod(location_.siteData.c_str(), 0755);
    const std::string before = ReadFile(Store());

    const WebDataPreparation prepared = PrepareWebData(location_);
    EXPECT_EQ(prepared.cookies, CookieStoreState::Kept);
    EXPECT_EQ(ReadFile(Store()), before);
    EXPECT_EQ(CookieNames(Store()), "a,b");
    EXPECT_EQ(Mode(Store()), 0600u);
    EXPECT_EQ(Mode(location_.siteData), 0700u);
    EXPECT_TRUE(AsideFiles().empty());

    // An older table without the same-site column is the engine's to migrate, not damage.
    fs::remove(Store());
    ASSERT_TRUE(Exec(Store(),
                     "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, value TEXT, host TEXT, path TEXT,"
                     " expiry INTEGER, lastAccessed INTEGER, isSecure INTEGER, isHttpOnly INTEGER);"));
    EXPECT_EQ(PrepareWebData(location_).cookies, CookieStoreState::Kept);
    EXPECT_TRUE(AsideFiles().empty());
}

// Each way a store can be unusable: it is renamed aside whole and an empty store takes its place.
TEST_F(WebDataStore, UnusableStoresAreSetAsideWholeAndReplaced) {
    struct Case {
        const char* what;
        void (*make)(const fs::path& store);
    };
    const Case cases[] = {
        {"not a database", [](const fs::path& store) { WriteFile(store, std::string(3000, 'x') + "not sqlite"); }},
        {"cut short",
         [](const fs::path& store) {
             std::string sql = kEngineTable;
             for (int i = 0; i < 400; ++i) sql += EngineRow("cookie" + std::to_string(i) + std::string(200, 'p'));
             ASSERT_TRUE(Exec(store, sql));
             fs::resize_file(store, fs::file_size(store) / 2);
         }},
        {"a page overwritten",
         [](const fs::path& store) {
             std::string sql = kEngineTable;
             for (int i = 0; i < 400; ++i) sql += EngineRow("cookie" + std::to_string(i) + std::string(200, 'p'));
             ASSERT_TRUE(Exec(store, sql));
             std::string bytes = ReadFile(store);
             for (std::size_t i = 4096 + 8; i < 4096 * 3; ++i) bytes[i] = static_cast<char>(i * 131 + 7);
             WriteFile(store, bytes);
         }},
        {"a cookie table of another layout",
         [](const fs::path& store) { ASSERT_TRUE(Exec(store, "CREATE TABLE moz_cookies (k TEXT, v TEXT);")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root_ / "share");
        fs::create_directories(Folder());
        c.make(Store());
        const std::string damaged = ReadFile(Store());

        const WebDataPreparation prepared = PrepareWebData(location_);
        EXPECT_EQ(prepared.cookies, CookieStoreState::SetAside);
        const std::vector<fs::path> aside = AsideFiles();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(prepared.setAsideAs, aside[0].string());
        EXPECT_EQ(ReadFile(aside[0]), damaged);
        ExpectFreshStore();
    }
}

TEST_F(WebDataStore, SomethingElseAtTheStoresNameIsSetAside) {
    fs::create_directories(Store() / "inside");
    WriteFile(Store() / "inside" / "note", "kept");
    const WebDataPreparation prepared = PrepareWebData(location_);
    EXPECT_EQ(prepared.cookies, CookieStoreState::SetAside);
    EXPECT_EQ(ReadFile(fs::path(prepared.setAsideAs) / "inside" / "note"), "kept");
    ExpectFreshStore();

    // A link to nowhere.
    fs::remove(Store());
    fs::create_symlink(root_ / "missing", Store());
    const WebDataPreparation again = PrepareWebData(location_);
    EXPECT_EQ(again.cookies, CookieStoreState::SetAside);
    EXPECT_TRUE(fs::is_symlink(again.setAsideAs));
    EXPECT_NE(again.setAsideAs, prepared.setAsideAs);  // the first one is not overwritten
    EXPECT_EQ(AsideFiles().size(), 2u);
    ExpectFreshStore();
}

TEST_F(WebDataStore, JournalGoesAsideWithItsDamagedStore) {
    fs::create_directories(Folder());
    WriteFile(Store(), std::string(4096, '\x5a'));
    const fs::path journal = Store().string() + "-journal";
    WriteFile(journal, "journal of the old store");

    const WebDataPreparation prepared = PrepareWebData(location_);
    ASSERT_EQ(prepared.cookies, CookieStoreState::SetAside);
    // SQLite's own look at the journal may discard one that is not valid; whatever is left of it
    // goes aside with its store, so nothing of the old store is ever rolled into the new one.
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_EQ(ReadFile(prepared.setAsideAs), std::string(4096, '\x5a'));
    ExpectFreshStore();
}

TEST_F(WebDataStore, StoreLockedByAnotherWriterIsLeftAlone) {
    fs::create_directories(Folder());
    ASSERT_TRUE(Exec(Store(), std::string(kEngineTable) + EngineRow("held")));
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(Store().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, EngineRow("pending").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);

    const WebDataPreparation prepared = PrepareWebData(location_, 100);
    EXPECT_EQ(prepared.cookies, CookieStoreState::Kept);
    EXPECT_TRUE(AsideFiles().empty());

    ASSERT_EQ(sqlite3_exec(holder, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(holder);
    EXPECT_EQ(CookieNames(Store()), "held,pending");
}

// Launchers starting at once on one damaged store: one sets it aside, the others use the new one.
TEST_F(WebDataStore, LaunchersStartingAtOnceSetTheStoreAsideOnce) {
    fs::create_directories(Folder());
    WriteFile(Store(), std::string(8192, '\x01'));
    std::vector<pid_t> children;
    for (int i = 0; i < 6; ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const WebDataPreparation prepared = PrepareWebData(location_);
            const bool fine = prepared.folders && (prepared.cookies == CookieStoreState::SetAside ||
                                                   prepared.cookies == CookieStoreState::Kept);
            _exit(fine ? (prepared.cookies == CookieStoreState::SetAside ? 10 : 11) : 1);
        }
        children.push_back(pid);
    }
    int setAside = 0, kept = 0;
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        setAside += WEXITSTATUS(status) == 10;
        kept += WEXITSTATUS(status) == 11;
    }
    EXPECT_EQ(setAside, 1);
    EXPECT_EQ(kept, 5);
    ASSERT_EQ(AsideFiles().size(), 1u);
    EXPECT_EQ(ReadFile(AsideFiles()[0]), std::string(8192, '\x01'));
    ExpectFreshStore();
}

TEST_F(WebDataStore, NoFolderNoStore) {
    const WebDataPreparation none = PrepareWebData(WebDataLocationUnder(""));
    EXPECT_FALSE(none.folders);
    EXPECT_EQ(none.cookies, CookieStoreState::Unusable);

    // The data home is a file: nothing can be made below it.
    WriteFile(root_ / "share", "a file");
    const WebDataPreparation blocked = PrepareWebData(location_);
    EXPECT_FALSE(blocked.folders);
    EXPECT_EQ(blocked.cookies, CookieStoreState::Unusable);
    EXPECT_EQ(ReadFile(root_ / "share"), "a file");
}

}  // namespace
}  // namespace kestrune::platform
