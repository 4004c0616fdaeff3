#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "browser/HtmlViewer.h"
#include "forms/PropertyBlock.h"

namespace kestrune::browser {

namespace {

constexpr std::uint32_t kDataVersion = 1;

}  // namespace

std::optional<HtmlViewerData> ParseHtmlViewerData(std::span<const std::uint8_t> data) {
    HtmlViewerData result;
    if (data.empty()) return result;
    forms::BlockReader in(data);
    std::array<std::int32_t, 5> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!in.Int(fields[i])) return std::nullopt;
        if (i == 0 && static_cast<std::uint32_t>(fields[0]) > kDataVersion) return std::nullopt;
    }
    result.fontSize = fields[1];
    result.offline = fields[2] != 0;
    result.silent = fields[3] != 0;
    const std::int32_t length = fields[4];
    if (length > 0) {
        // A count longer than what follows keeps what there is.
        const std::span<const std::uint8_t> rest = in.Rest();
        const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(length), rest.size());
        const auto* begin = reinterpret_cast<const char*>(rest.data());
        const auto* nul = static_cast<const char*>(std::memchr(begin, 0, take));
        result.address.assign(begin, nul != nullptr ? static_cast<std::size_t>(nul - begin) : take);
    }
    return result;
}

forms::Bytes SerializeHtmlViewerData(const HtmlViewerData& data) {
    forms::Bytes out;
    out.reserve(20 + data.address.size());
    forms::AppendInt(out, kDataVersion);
    forms::AppendInt(out, static_cast<std::uint32_t>(data.fontSize));
    forms::AppendInt(out, data.offline ? 1u : 0u);
    forms::AppendInt(out, data.silent ? 1u : 0u);
    forms::AppendInt(out, static_cast<std::uint32_t>(data.address.size()));
    out.insert(out.end(), data.address.begin(), data.address.end());
    return out;
}

std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator) {
    if (denominator == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    std::int64_t quotient = product / denominator;
    const std::int64_t remainder = product % denominator;
    // |remainder| * 2 >= |denominator| rounds the magnitude up; the sign follows the exact quotient.
    const std::int64_t absRemainder = remainder < 0 ? -remainder : remainder;
    const std::int64_t absDenominator = denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    if (absRemainder * 2 >= absDenominator) quotient += ((product < 0) != (denominator < 0)) ? -1 : 1;
    if (quotient > std::numeric_limits<std::int32_t>::max() || quotient < std::numeric_limits<std::int32_t>::min())
        return -1;
    return static_cast<std::int32_t>(quotient);
}

std::int32_t ProgressPercent(std::int32_t progress, std::int32_t progressMax) {
    return progressMax == 0 ? 100 : MulDiv(progress, 100, progressMax);
}

}  // namespace kestrune::browser
