#include "platform/linux/LinuxSystemServices.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/linux/DesktopEntry.h"
#include "platform/linux/FileLock.h"
#include "platform/linux/XdgFolders.h"
#include "services/Registry.h"
#include "platform/linux/GlibOwners.h"

namespace kestrune::platform {

namespace {

constexpr char kSystemRegistryDirVariable[] = "KESTRUNE_SYSTEM_REGISTRY_DIR";
constexpr char kDefaultSystemRegistryDir[] = "/var/lib/kestrune/registry";

// ---------------------------------------------------------------------------------------------
// Small POSIX helpers.

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    void Adopt(int fd) {
        Reset();
        fd_ = fd;
    }
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Closes now; false when close reports an error (a write may not have reached the file).
    bool Reset() {
        if (fd_ < 0) return true;
        const int r = ::close(fd_);
        fd_ = -1;
        return r == 0;
    }

private:
    int fd_;
};

std::string SystemRegistryDirectory() {
    if (const char* dir = std::getenv(kSystemRegistryDirVariable); dir != nullptr && dir[0] != '\0') return dir;
    return kDefaultSystemRegistryDir;
}

bool IsUserRoot(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser || root == RegistryRoot::CurrentConfig;
}

std::string HiveDirectory(RegistryRoot root) {
    if (!IsUserRoot(root)) return SystemRegistryDirectory();
    std::string config = ConfigHome();
    if (config.empty()) return {};
    return config + "/kestrune/registry";
}

// Creates the directory and its missing parents.
bool MakeDirectories(const std::string& dir, mode_t mode) {
    return g_mkdir_with_parents(dir.c_str(), static_cast<int>(mode)) == 0;
}

enum class ReadOutcome { Missing, Read, Failed };

ReadOutcome ReadWholeFile(const std::string& path, std::string& out) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.ok()) return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadOutcome::Failed;
    out.clear();
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadOutcome::Failed;
        }
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return ReadOutcome::Read;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SyncDirectory(const std::string& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot sync a directory; the rename has happened either way.
    if (fd.ok()) (void)::fsync(fd.get());
}

std::string TempPrefix(const std::string& fileName) { return fileName + ".tmp."; }

// Replaces `path` (in `dir`, base name `fileName`) by `text`: temporary file, fsync, rename, fsync of
// the directory. The temporary file is removed on every failure.
bool ReplaceFile(const std::string& dir, const std::string& fileName, std::string_view text, mode_t mode) {
    std::string temp = dir + "/" + TempPrefix(fileName) + "XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.ok()) return false;
    bool ok = ::fchmod(fd.get(), mode) == 0 && WriteAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    ok = fd.Reset() && ok;
    const std::string path = dir + "/" + fileName;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(dir);
    return true;
}

// Temporary files of writers that died before their rename. Only called with the hive's lock held,
// when no live writer can own one.
void RemoveStaleTemporaries(const std::string& dir, const std::string& fileName) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return;
    const std::string prefix = TempPrefix(fileName);
    while (dirent* entry = ::readdir(d)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
            ::unlinkat(::dirfd(d), entry->d_name, 0);
        }
    }
    ::closedir(d);
}


// ---------------------------------------------------------------------------------------------
// File existence.

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// Only '*' and '?' are pattern characters; '[' and '\' stand for themselves.
std::string LiteralBracketsPattern(std::string_view pattern) {
    std::string out;
    for (char c : pattern) {
        if (c == '[') {
            out += "[[]";
        } else {
            out += c;
        }
    }
    return out;
}

bool AnyEntryMatches(const std::string& dir, const std::string& pattern) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return false;
    const std::string fnPattern = LiteralBracketsPattern(pattern);
    bool found = false;
    while (dirent* entry = ::readdir(d)) {
        if (::fnmatch(fnPattern.c_str(), entry->d_name, FNM_NOESCAPE) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(d);
    return found;
}

// ---------------------------------------------------------------------------------------------
// Special folders.

std::string UserDir(GUserDirectory which) {
    const gchar* dir = g_get_user_special_dir(which);
    return dir != nullptr ? std::string(dir) : std::string();
}

std::string Under(const gchar* base, const char* name) {
    if (base == nullptr || base[0] == '\0') return {};
    const GText joined(g_build_filename(base, name, nullptr));
    return joined.get();
}


class LinuxSystemServices final : public SystemServices {
public:
    std::string ExecutablePath() override {
        std::vector<char> buffer(4096);
        while (true) {
            const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n < 0) return {};
            if (static_cast<std::size_t>(n) < buffer.size()) {
                std::string path(buffer.data(), static_cast<std::size_t>(n));
                // An executable replaced while running (an update) reads as "<path> (deleted)"; the
                // program still belongs to its old place.
                constexpr std::string_view kDeleted = " (deleted)";
                struct stat st {};
                if (std::string_view(path).ends_with(kDeleted) && ::lstat(path.c_str(), &st) != 0) {
                    path.resize(path.size() - kDeleted.size());
                }
                return path;
            }
            if (buffer.size() >= (1u << 20)) return {};
            buffer.resize(buffer.size() * 2);
        }
    }

    bool SetCurrentDirectory(const std::string& path) override {
        if (path.empty() || path.find('\0') != std::string::npos) return false;
        return ::chdir(path.c_str()) == 0;
    }

    bool FindFirstExists(const std::string& path) override {
        if (path.empty() || path.find('\0') != std::string::npos) return false;
        const std::size_t slash = path.find_last_of('/');
        const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
        if (HasWildcard(last)) {
            std::string dir;
            if (slash == std::string::npos) {
                dir = ".";
            } else if (slash == 0) {
                dir = "/";
            } else {
                dir = path.substr(0, slash);
            }
            return AnyEntryMatches(dir, last);
        }
        // The entry itself, as a directory listing shows it: a dangling symbolic link is an entry.
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    std::string SpecialFolderPath(SpecialFolder folder) override {
        switch (folder) {
            case SpecialFolder::Documents: return UserDir(G_USER_DIRECTORY_DOCUMENTS);
            case SpecialFolder::Favourites: return {};  // the desktops here keep no favourites folder
            case SpecialFolder::Desktop: return UserDir(G_USER_DIRECTORY_DESKTOP);
            case SpecialFolder::Fonts: return Under(g_get_user_data_dir(), "fonts");
            case SpecialFolder::StartMenu:
            case SpecialFolder::Programs: return Under(g_get_user_data_dir(), "applications");
            case SpecialFolder::StartUp: return Under(g_get_user_config_dir(), "autostart");
            case SpecialFolder::ApplicationData: {
                const gchar* data = g_get_user_data_dir();
                return data != nullptr ? std::string(data) : std::string();
            }
            case SpecialFolder::WindowsDirectory: return "/usr";
            case SpecialFolder::SystemDirectory: return "/usr/bin";
            case SpecialFolder::Temporary: {
                const gchar* tmp = g_get_tmp_dir();
                return tmp != nullptr ? std::string(tmp) : std::string();
            }
        }
        return {};
    }

    bool SetRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                          const RegistryData& data) override {
        return UpdateHiveFile(root, [&](const std::optional<std::string>& current) {
            return services::SetValueInHiveText(current, root, keyPath, valueName, data);
        });
    }

    std::optional<RegistryData> QueryRegistryValue(RegistryRoot root, const std::string& keyPath,
                                                   const std::string& valueName) override {
        const std::optional<std::string> text = ReadHiveFile(root);
        if (!text) return std::nullopt;
        return services::FindValueInHiveText(*text, root, keyPath, valueName);
    }

    void SetProgramIcon(std::span<const std::uint8_t> png) override { programIcon_ = png; }

    bool WriteLink(const std::string& file, const LinkSpec& link) override {
        if (file.empty() || file.find('\0') != std::string::npos || file.back() == '/') return false;
        LinkSpec entry = link;
        if (!entry.icon && !programIcon_.empty() && entry.target == ExecutablePath()) entry.icon = ProgramIconFile();
        std::optional<std::string> text = DesktopEntryText(file, entry);
        if (!text) return false;
        // An entry that already says exactly this is kept (written again on every start otherwise).
        std::string current;
        if (ReadWholeFile(file, current) == ReadOutcome::Read && current == *text) {
            (void)::chmod(file.c_str(), 0755);
            return true;
        }
        GError* error = nullptr;
        const gboolean saved = g_file_set_contents_full(
            file.c_str(), text->data(), static_cast<gssize>(text->size()),
            static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE), 0755,
            &error);
        const GErrorOwner failure(error);
        if (!saved) return false;
        // The creation mode passed the umask; a launcher must be executable whatever the umask.
        (void)::chmod(file.c_str(), 0755);
        return true;
    }

private:
    // The program icon's file in the user's data directory, written when missing or different;
    // nullopt when it cannot be put there (the link then goes without an icon).
    std::optional<std::string> ProgramIconFile() {
        const std::string data = DataHome();
        if (data.empty()) return std::nullopt;
        const std::string dir = data + "/kestrune", fileName = "kestrune.png", path = dir + "/" + fileName;
        const std::string_view wanted(reinterpret_cast<const char*>(programIcon_.data()), programIcon_.size());
        std::string current;
        if (ReadWholeFile(path, current) == ReadOutcome::Read && current == wanted) return path;
        if (!MakeDirectories(dir, 0700) || !ReplaceFile(dir, fileName, wanted, 0644)) return std::nullopt;
        return path;
    }

    std::span<const std::uint8_t> programIcon_;
};

}  // namespace

std::unique_ptr<SystemServices> CreateLinuxSystemServices() { return std::make_unique<LinuxSystemServices>(); }

std::optional<std::string> ReadHiveFile(RegistryRoot root) {
    const std::string file = RegistryHiveFile(root);
    if (file.empty()) return std::nullopt;
    std::string text;
    if (ReadWholeFile(file, text) != ReadOutcome::Read) return std::nullopt;
    return text;
}

bool UpdateHiveFile(RegistryRoot root, const HiveEdit& edit) {
    const std::string_view stem = RegistryRootName(root);
    const std::string dir = HiveDirectory(root);
    if (stem.empty() || dir.empty() || !edit) return false;
    const bool user = IsUserRoot(root);
    if (!MakeDirectories(dir, user ? 0700 : 0755)) return false;
    const std::string fileName = std::string(stem) + ".reg";
    const std::string file = dir + "/" + fileName;

    const FileLock lock = FileLock::OnLockFile(file + ".lock");
    if (!lock.Locked()) return false;
    RemoveStaleTemporaries(dir, fileName);

    std::string text;
    std::optional<std::string> current;
    mode_t mode = user ? 0600 : 0644;
    switch (ReadWholeFile(file, text)) {
        case ReadOutcome::Missing: break;
        case ReadOutcome::Read: {
            current = std::move(text);
            struct stat st {};
            if (::stat(file.c_str(), &st) == 0) mode = st.st_mode & 07777;
            break;
        }
        case ReadOutcome::Failed: return false;  // never replace what could not be read
    }
    std::optional<std::string> next = edit(current);
    if (!next) return false;
    // The file already says exactly this (the values every start writes again): nothing to
    // replace, and no waiting for the disk.
    if (current && *next == *current) return true;
    return ReplaceFile(dir, fileName, *next, mode);
}

std::string RegistryHiveFile(RegistryRoot root) {
    const std::string_view stem = RegistryRootName(root);
    const std::string dir = HiveDirectory(root);
    if (stem.empty() || dir.empty()) return {};
    return dir + "/" + std::string(stem) + ".reg";
}

}  // namespace kestrune::platform
