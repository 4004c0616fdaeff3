// Child process of the hive reliability tests.
//
//   kestrune_hive_writer write <prefix> <count>   writes DWORD values <prefix>0 .. under
//                                                 HKEY_CURRENT_USER\Software\Kestrune\Stress, one
//                                                 update each; prints each name once it is stored
//   kestrune_hive_writer loop <prefix>            the same without end (until killed), with text
//                                                 values long enough to span many blocks
//   kestrune_hive_writer start                    what start-up does to the registry: the browser
//                                                 emulation values for this executable's file name
//   kestrune_hive_writer where                    prints "ready", then the executable's path once a
//                                                 byte arrives on standard input
//
// The hive locations come from the environment (XDG_CONFIG_HOME). Exit code 0 when every write
// succeeded, 1 when one failed, 2 on bad arguments.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "forms/Value.h"
#include "platform/SystemServices.h"
#include "platform/linux/LinuxSystemServices.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"
#include "services/Registry.h"

namespace {

constexpr char kStressKey[] = "Software\\Kestrune\\Stress\\";

void Announce(const std::string& name) {
    const std::string line = name + "\n";
    // Unbuffered, so the parent has every announced name even after SIGKILL.
    (void)!::write(STDOUT_FILENO, line.data(), line.size());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrune;
    auto system = platform::CreateLinuxSystemServices();
    platform::InstallSystemServices(system.get());
    if (argc < 2) return 2;
    const std::string mode = argv[1];

    if (mode == "write" && argc == 4) {
        const std::string prefix = argv[2];
        const int count = std::atoi(argv[3]);
        int failures = 0;
        for (int i = 0; i < count; ++i) {
            const std::string name = prefix + std::to_string(i);
            if (services::WriteRegistryItem(3, kStressKey + name, forms::Value{std::int32_t{i}})) {
                Announce(name);
            } else {
                ++failures;
            }
        }
        return failures == 0 ? 0 : 1;
    }
    if (mode == "loop" && argc == 3) {
        const std::string prefix = argv[2];
        for (long i = 0;; ++i) {
            const std::string name = prefix + std::to_string(i);
            const std::string text(static_cast<std::size_t>(200 + i % 300), static_cast<char>('a' + i % 26));
            if (!services::WriteRegistryItem(3, kStressKey + name, forms::Value{text})) return 1;
            Announce(name);
        }
    }
    if (mode == "start" && argc == 2) {
        services::InitExecutablePath(platform::System().ExecutablePath());
        services::ApplyBrowserEmulation(1);
        return 0;
    }
    if (mode == "where" && argc == 2) {
        Announce("ready");
        char byte;
        if (::read(STDIN_FILENO, &byte, 1) != 1) return 2;
        Announce(platform::System().ExecutablePath());
        return 0;
    }
    return 2;
}
