#include "platform/linux/DesktopEntry.h"

#include <glib.h>

#include "platform/linux/GlibOwners.h"

namespace kestrune::platform {

namespace {

constexpr char kDesktopGroup[] = "Desktop Entry";
constexpr char kDesktopSuffix[] = ".desktop";

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string EntryName(const std::string& file, const LinkSpec& link) {
    std::string name = BaseName(file);
    const std::string_view suffix = kDesktopSuffix;
    if (name.size() > suffix.size() && std::string_view(name).ends_with(suffix)) {
        name.resize(name.size() - suffix.size());
    }
    if (name.empty()) name = BaseName(link.target);
    if (name.empty()) name = link.target;
    return name;
}

}  // namespace

std::string QuoteExecArgument(std::string_view argument) {
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '%') {
            out += "%%";
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::optional<std::string> DesktopExecLine(const LinkSpec& link) {
    if (link.target.empty()) return std::nullopt;
    // GLib's desktop-entry loader looks for the program under its name before field codes are
    // expanded, so a program whose path holds '%' ("%%" in the entry) is never found and the entry
    // never starts. Started through env, the looked-up program is env, and the path reaches env with
    // its '%' restored. env would take a first argument holding '=' for a variable, so such a path
    // keeps the plain form.
    std::string exec;
    if (link.target.find('%') != std::string::npos && link.target.find('=') == std::string::npos)
        exec = "/usr/bin/env ";
    exec += QuoteExecArgument(link.target);
    if (link.arguments && !link.arguments->empty()) {
        gint argc = 0;
        gchar** words = nullptr;
        GError* raw = nullptr;
        const bool split = g_shell_parse_argv(link.arguments->c_str(), &argc, &words, &raw);
        const GTextVector argv(words);
        const GErrorOwner error(raw);
        if (!split) {
            if (!error || error->code != G_SHELL_ERROR_EMPTY_STRING) return std::nullopt;  // blank is fine
        } else {
            for (gint i = 0; i < argc; ++i) {
                exec += ' ';
                exec += QuoteExecArgument(argv.get()[i]);
            }
        }
    }
    return exec;
}

std::optional<std::string> DesktopEntryText(const std::string& file, const LinkSpec& link) {
    // Every field is written as a C string; a zero byte would cut it short.
    auto holdsZero = [](const std::optional<std::string>& s) { return s && s->find('\0') != std::string::npos; };
    if (file.find('\0') != std::string::npos || link.target.find('\0') != std::string::npos ||
        holdsZero(link.description) || holdsZero(link.arguments) || holdsZero(link.workingDirectory) ||
        holdsZero(link.icon)) {
        return std::nullopt;
    }
    std::optional<std::string> exec = DesktopExecLine(link);
    if (!exec) return std::nullopt;
    const GKeyFileOwner owner(g_key_file_new());
    GKeyFile* keys = owner.get();
    g_key_file_set_string(keys, kDesktopGroup, "Type", "Application");
    g_key_file_set_string(keys, kDesktopGroup, "Version", "1.0");
    g_key_file_set_string(keys, kDesktopGroup, "Name", EntryName(file, link).c_str());
    if (link.description && !link.description->empty()) {
        g_key_file_set_string(keys, kDesktopGroup, "Comment", link.description->c_str());
    }
    g_key_file_set_string(keys, kDesktopGroup, "Exec", exec->c_str());
    if (link.workingDirectory && !link.workingDirectory->empty()) {
        g_key_file_set_string(keys, kDesktopGroup, "Path", link.workingDirectory->c_str());
    }
    if (link.icon && !link.icon->empty()) g_key_file_set_string(keys, kDesktopGroup, "Icon", link.icon->c_str());
    g_key_file_set_boolean(keys, kDesktopGroup, "Terminal", FALSE);
    gsize length = 0;
    const GText data(g_key_file_to_data(keys, &length, nullptr));
    if (!data) return std::nullopt;
    return std::string(data.get(), length);
}

}  // namespace kestrune::platform
