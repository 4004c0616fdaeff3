// Serves a directory (the demo login site by default) on 127.0.0.1:<port> for the launcher to show.
//   kestrune-demo-server [--port N] [--root DIR] [--bench]
// Only GET and HEAD of plain files below the root; nothing outside it is ever read.
// /beacon?<what> answers 204 and prints "BEACON <what> <monotonic microseconds>" on stdout, so that a
// driver can time page events; with --bench, /auto.js tells the login page to log in by itself and
// every other request is printed as "REQUEST <path> <monotonic microseconds>".
#include <glib-unix.h>
#include <libsoup/soup.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

GMainLoop* g_loop = nullptr;
bool g_bench = false;

const char* ContentType(const std::string& path) {
    auto ends = [&](const char* suffix) {
        const std::size_t n = std::strlen(suffix);
        return path.size() >= n && path.compare(path.size() - n, n, suffix) == 0;
    };
    if (ends(".html") || ends(".htm")) return "text/html; charset=utf-8";
    if (ends(".js")) return "text/javascript; charset=utf-8";
    if (ends(".css")) return "text/css; charset=utf-8";
    if (ends(".png")) return "image/png";
    if (ends(".gif")) return "image/gif";
    return "application/octet-stream";
}

void Respond(SoupServerMessage* msg, int status, const char* type, const char* body, gsize length) {
    soup_server_message_set_status(msg, status, nullptr);
    soup_server_message_set_response(msg, type, SOUP_MEMORY_COPY, body, length);
}

void Handle(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*, gpointer data) {
    const char* root = static_cast<const char*>(data);
    const char* method = soup_server_message_get_method(msg);
    if (std::strcmp(method, SOUP_METHOD_GET) != 0 && std::strcmp(method, SOUP_METHOD_HEAD) != 0) {
        Respond(msg, SOUP_STATUS_NOT_IMPLEMENTED, "text/plain", "", 0);
        return;
    }
    std::string relative = path != nullptr ? path : "/";
    // Timed runs: every request is noted too, so a driver can tell where the time goes.
    if (g_bench && relative != "/beacon") {
        std::printf("REQUEST %s %lld\n", relative.c_str(), static_cast<long long>(g_get_monotonic_time()));
        std::fflush(stdout);
    }
    if (relative == "/beacon") {
        const char* query = g_uri_get_query(soup_server_message_get_uri(msg));
        std::printf("BEACON %s %lld\n", query != nullptr ? query : "", static_cast<long long>(g_get_monotonic_time()));
        std::fflush(stdout);
        soup_server_message_set_status(msg, SOUP_STATUS_NO_CONTENT, nullptr);
        return;
    }
    if (relative == "/auto.js" && g_bench) {
        static const char kAuto[] = "window.kestruneAuto = true;\n";
        Respond(msg, SOUP_STATUS_OK, "text/javascript", kAuto, sizeof kAuto - 1);
        return;
    }
    if (relative == "/") relative = "/login.html";
    // No way out of the root: reject any parent step or backslash.
    if (relative.find("..") != std::string::npos || relative.find('\\') != std::string::npos) {
        Respond(msg, SOUP_STATUS_FORBIDDEN, "text/plain", "forbidden\n", 10);
        return;
    }
    const std::string file = std::string(root) + relative;
    gchar* contents = nullptr;
    gsize length = 0;
    if (!g_file_test(file.c_str(), G_FILE_TEST_IS_REGULAR) || !g_file_get_contents(file.c_str(), &contents, &length, nullptr)) {
        Respond(msg, SOUP_STATUS_NOT_FOUND, "text/plain", "not found\n", 10);
        return;
    }
    soup_server_message_set_status(msg, SOUP_STATUS_OK, nullptr);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(msg);
    soup_message_headers_replace(headers, "Cache-Control", "no-store");
    // A site's files to be saved rather than shown live in a folder of that name.
    if (relative.rfind("/attachments/", 0) == 0) soup_message_headers_replace(headers, "Content-Disposition", "attachment");
    soup_server_message_set_response(msg, ContentType(relative), SOUP_MEMORY_TAKE, contents, length);
}

gboolean Quit(gpointer) {
    g_main_loop_quit(g_loop);
    return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 48123;
    std::string root = KESTRUNE_DEMO_SITE;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0' || value < 1 || value > 65535) {
                std::fprintf(stderr, "kestrune-demo-server: bad port '%s'\n", argv[i]);
                return 2;
            }
            port = static_cast<int>(value);
        } else if (arg == "--bench") {
            g_bench = true;
        } else if (arg == "--root" && i + 1 < argc) {
            root = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--port N] [--root DIR] [--bench]\n", argv[0]);
            return 2;
        }
    }
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!g_file_test(root.c_str(), G_FILE_TEST_IS_DIR)) {
        std::fprintf(stderr, "kestrune-demo-server: no directory '%s'\n", root.c_str());
        return 2;
    }

    SoupServer* server = soup_server_new("server-header", "kestrune-demo", nullptr);
    soup_server_add_handler(server, nullptr, Handle, const_cast<char*>(root.c_str()), nullptr);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, static_cast<guint16>(port));
    GError* error = nullptr;
    const gboolean listening = soup_server_listen(server, address, static_cast<SoupServerListenOptions>(0), &error);
    g_object_unref(address);
    g_object_unref(loopback);
    if (!listening) {
        std::fprintf(stderr, "kestrune-demo-server: cannot listen on 127.0.0.1:%d: %s\n", port,
                     error != nullptr ? error->message : "unknown error");
        g_clear_error(&error);
        g_object_unref(server);
        return 1;
    }
    std::printf("serving %s on http://127.0.0.1:%d/\n", root.c_str(), port);
    std::fflush(stdout);

    g_loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGTERM, Quit, nullptr);
    g_unix_signal_add(SIGINT, Quit, nullptr);
    g_main_loop_run(g_loop);
    g_main_loop_unref(g_loop);
    g_object_unref(server);
    return 0;
}
