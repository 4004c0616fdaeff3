// Finding one text inside another, by bytes, character-aware in the system code page.
#pragma once

#include <optional>
#include <string_view>

#include "services/CodePage.h"

namespace kestrune::services {

// Position (from 1, in the whole text) of the first occurrence of `sought` at or after the byte
// position `start` (from 1; omitted or below 2 means the beginning), or -1. An empty `sought` gives 1
// for a non-empty remaining text and -1 otherwise. With `ignoreCase` the ASCII letters are folded
// byte by byte. A match never starts inside a multi-byte character as counted from the search point.
int FindText(std::string_view text, std::string_view sought, std::optional<int> start, bool ignoreCase,
             CodePage codePage = CurrentCodePage());

}  // namespace kestrune::services
