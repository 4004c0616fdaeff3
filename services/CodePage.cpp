#include "services/CodePage.h"

#include <atomic>

namespace kestrune::services {

namespace {
std::atomic<CodePage> g_codePage{CodePage::Utf8};

std::size_t Utf8SequenceLength(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}
}  // namespace

CodePage CurrentCodePage() { return g_codePage.load(std::memory_order_relaxed); }
void SetCurrentCodePage(CodePage codePage) { g_codePage.store(codePage, std::memory_order_relaxed); }

bool IsMultiByteLead(unsigned char byte, CodePage codePage) {
    if (codePage == CodePage::Gbk) return (byte & 0x80) != 0;
    return Utf8SequenceLength(byte) > 1;
}

std::size_t CharacterLength(std::string_view text, std::size_t pos, CodePage codePage) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (codePage == CodePage::Gbk) {
        return ((lead & 0x80) != 0 && pos + 1 < text.size()) ? 2 : 1;
    }
    const std::size_t want = Utf8SequenceLength(lead);
    if (want == 1 || pos + want > text.size()) return 1;
    for (std::size_t i = 1; i < want; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 1;
    }
    return want;
}

std::size_t FindLastCharacter(std::string_view text, char c, CodePage codePage) {
    std::size_t found = std::string_view::npos;
    for (std::size_t pos = 0; pos < text.size(); pos += CharacterLength(text, pos, codePage)) {
        if (text[pos] == c) found = pos;
    }
    return found;
}

}  // namespace kestrune::services
