#include "ui/window/WindowProperties.h"
#include "forms/PropertyBlock.h"

#include <algorithm>
#include <array>
#include <limits>
#include <variant>

namespace kestrune::ui {

namespace {

enum class Kind { Text, Int, Logical, Block };

// One descriptor per own property; pointers to members keep the four operations on one table.
struct Field {
    Kind kind;
    std::string WindowProperties::*text = nullptr;
    std::int32_t WindowProperties::*integer = nullptr;
    bool WindowProperties::*logical = nullptr;
    forms::Bytes WindowProperties::*block = nullptr;
    std::int32_t low = std::numeric_limits<std::int32_t>::min();
    std::int32_t high = std::numeric_limits<std::int32_t>::max();
};

Field TextField(std::string WindowProperties::*m) { return {Kind::Text, m, nullptr, nullptr, nullptr}; }
Field IntField(std::int32_t WindowProperties::*m,
               std::int32_t low = std::numeric_limits<std::int32_t>::min(),
               std::int32_t high = std::numeric_limits<std::int32_t>::max()) {
    return {Kind::Int, nullptr, m, nullptr, nullptr, low, high};
}
Field LogicalField(bool WindowProperties::*m) { return {Kind::Logical, nullptr, nullptr, m, nullptr}; }
Field BlockField(forms::Bytes WindowProperties::*m) { return {Kind::Block, nullptr, nullptr, nullptr, m}; }

const std::array<Field, kWindowOwnPropertyCount>& Fields() {
    static const std::array<Field, kWindowOwnPropertyCount> fields = {
        TextField(&WindowProperties::title),
        IntField(&WindowProperties::border, 0, 6),
        IntField(nullptr),  // BackColor: a colour is kept as unsigned, handled apart
        BlockField(&WindowProperties::backPicture),
        IntField(&WindowProperties::pictureMode, 0, 3),
        BlockField(&WindowProperties::music),
        IntField(&WindowProperties::playCount),
        LogicalField(&WindowProperties::controlButton),
        LogicalField(&WindowProperties::maxButton),
        LogicalField(&WindowProperties::minButton),
        IntField(&WindowProperties::position, 0, 3),
        LogicalField(&WindowProperties::movable),
        BlockField(&WindowProperties::icon),
        LogicalField(&WindowProperties::enterMovesFocus),
        LogicalField(&WindowProperties::escCloses),
        LogicalField(&WindowProperties::f1Help),
        TextField(&WindowProperties::helpFile),
        IntField(&WindowProperties::helpId),
        LogicalField(&WindowProperties::showInTaskbar),
        LogicalField(&WindowProperties::dragAnywhere),
        IntField(&WindowProperties::windowShape, 0, 29),
        LogicalField(&WindowProperties::alwaysOnTop),
        LogicalField(&WindowProperties::keepCaptionActive),
        TextField(&WindowProperties::className),
    };
    return fields;
}

}  // namespace

std::optional<forms::Value> WindowProperties::Get(int ownIndex) const {
    if (ownIndex < 0 || ownIndex >= kWindowOwnPropertyCount) return std::nullopt;
    if (ownIndex == kWinBackColor) return forms::Value{static_cast<std::int32_t>(backColor)};
    const Field& f = Fields()[static_cast<std::size_t>(ownIndex)];
    switch (f.kind) {
        case Kind::Text: return forms::Value{this->*f.text};
        case Kind::Int: return forms::Value{this->*f.integer};
        case Kind::Logical: return forms::Value{forms::Logical{this->*f.logical}};
        case Kind::Block: return forms::Value{this->*f.block};
    }
    return std::nullopt;
}

bool WindowProperties::Set(int ownIndex, const forms::Value& value) {
    if (ownIndex < 0 || ownIndex >= kWindowOwnPropertyCount) return false;
    if (ownIndex == kWinBackColor) {
        backColor = static_cast<platform::Colour>(forms::AsInt(value));
        return true;
    }
    const Field& f = Fields()[static_cast<std::size_t>(ownIndex)];
    switch (f.kind) {
        case Kind::Text: this->*f.text = forms::AsText(value); break;
        case Kind::Int: this->*f.integer = std::clamp(forms::AsInt(value), f.low, f.high); break;
        case Kind::Logical: this->*f.logical = forms::AsBool(value); break;
        case Kind::Block: this->*f.block = forms::AsBytes(value); break;
    }
    return true;
}

std::optional<WindowProperties> DecodeWindowProperties(std::span<const std::uint8_t> block) {
    WindowProperties p;
    if (block.empty()) return p;
    forms::BlockReader r(block);
    std::int32_t version = 0;
    if (!r.Int(version) || static_cast<std::uint32_t>(version) > kWindowBlockVersion) return std::nullopt;
    for (int i = 0; i < kWindowOwnPropertyCount; ++i) {
        const Field& f = Fields()[static_cast<std::size_t>(i)];
        if (f.kind == Kind::Text || f.kind == Kind::Block) {
            forms::Bytes bytes;
            if (!r.Block(bytes)) return std::nullopt;
            p.Set(i, forms::Value{std::move(bytes)});
        } else {
            std::int32_t v = 0;
            if (!r.Int(v)) return std::nullopt;
            if (f.kind == Kind::Logical)
                p.Set(i, forms::Value{forms::Logical{v != 0}});
            else
                p.Set(i, forms::Value{v});
        }
    }
    return p;
}

forms::Bytes EncodeWindowProperties(const WindowProperties& properties) {
    forms::Bytes out;
    forms::AppendInt(out, kWindowBlockVersion);
    for (int i = 0; i < kWindowOwnPropertyCount; ++i) {
        const forms::Value v = *properties.Get(i);
        if (const auto* s = std::get_if<std::string>(&v)) {
            forms::AppendInt(out, static_cast<std::uint32_t>(s->size()));
            out.insert(out.end(), s->begin(), s->end());
        } else if (const auto* b = std::get_if<forms::Bytes>(&v)) {
            forms::AppendInt(out, static_cast<std::uint32_t>(b->size()));
            out.insert(out.end(), b->begin(), b->end());
        } else {
            forms::AppendInt(out, static_cast<std::uint32_t>(forms::AsInt(v)));
        }
    }
    return out;
}

}  // namespace kestrune::ui
