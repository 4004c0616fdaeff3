// The system code page: how the bytes of a text group into characters.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrune::services {

enum class CodePage {
    Utf8,  // lead byte 110xxxxx, 1110xxxx or 11110xxx followed by that many 10xxxxxx bytes
    Gbk,   // a byte with its high bit set starts a two-byte character
};

// The process-wide code page texts are in (UTF-8 unless changed).
CodePage CurrentCodePage();
void SetCurrentCodePage(CodePage codePage);

// Byte length of the character that starts at `pos` (pos < text.size()). A double-byte lead at the
// very end of a GBK text counts as one byte; a malformed or truncated UTF-8 sequence counts as one
// byte, so walking by this length never skips a byte that could start a character.
std::size_t CharacterLength(std::string_view text, std::size_t pos, CodePage codePage);

// True when the byte is the lead byte of a character longer than one byte in this code page
// (ignores whether the following bytes are present).
bool IsMultiByteLead(unsigned char byte, CodePage codePage);

// Position of the last occurrence of the single-byte character `c` (an ASCII byte) that is a
// whole character, walking the text character by character; npos when there is none.
std::size_t FindLastCharacter(std::string_view text, char c, CodePage codePage);

}  // namespace kestrune::services
