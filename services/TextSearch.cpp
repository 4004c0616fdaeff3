#include "services/TextSearch.h"

#include <cstddef>

namespace kestrune::services {

namespace {
unsigned char FoldAscii(unsigned char b) { return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b; }

bool SameBytes(const char* a, std::string_view b, bool ignoreCase) {
    for (std::size_t i = 0; i < b.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (ignoreCase) {
            x = FoldAscii(x);
            y = FoldAscii(y);
        }
        if (x != y) return false;
    }
    return true;
}
}  // namespace

int FindText(std::string_view text, std::string_view sought, std::optional<int> start, bool ignoreCase,
             CodePage codePage) {
    // A text ends at its first zero byte.
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    if (auto nul = sought.find('\0'); nul != std::string_view::npos) sought = sought.substr(0, nul);

    const long long total = static_cast<long long>(text.size());
    long long p = 0;
    long long remaining = total;
    if (start) {
        long long k = static_cast<long long>(*start) - 1;
        if (k < 0) k = 0;
        if (k > 0) {
            if (k >= remaining) {
                remaining = 0;
            } else {
                p = k;
                remaining -= k;
            }
        }
    }
    const long long m = static_cast<long long>(sought.size());
    if (m == 0) return remaining > 0 ? 1 : -1;

    while (remaining >= m) {
        if (SameBytes(text.data() + p, sought, ignoreCase)) return static_cast<int>(p + 1);
        const auto lead = static_cast<unsigned char>(text[static_cast<std::size_t>(p)]);
        long long step = 1;
        if (codePage == CodePage::Gbk) {
            if ((lead & 0x80) != 0) {
                if (p + 1 >= total) return -1;  // a lead byte directly before the terminator
                step = 2;
            }
        } else {
            step = static_cast<long long>(CharacterLength(text, static_cast<std::size_t>(p), codePage));
        }
        p += step;
        remaining -= step;
    }
    return -1;
}

}  // namespace kestrune::services
