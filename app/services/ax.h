#pragma once

// Typed attribute helpers through which window geometry is read and written.
// A window's frame is two attributes, position and size; a move is written
// as size, position, size so that a window growing onto a smaller display
// is not clamped by the display it is leaving.

#include "app/platform/accessibility.h"
#include "app/platform/element.h"
#include "core/geometry.h"

#include <optional>
#include <span>
#include <vector>
#include <string>
#include <string_view>

namespace kavelo::AX {

// Attribute names, as the accessibility layer spells them.
inline constexpr std::string_view titleAttribute = "AXTitle";
inline constexpr std::string_view subroleAttribute = "AXSubrole";
inline constexpr std::string_view documentAttribute = "AXDocument";
inline constexpr std::string_view minimizedAttribute = "AXMinimized";
inline constexpr std::string_view fullScreenAttribute = "AXFullScreen";

// One attribute of a window element when it holds a value of type T (text:
// std::string; Boolean: bool). No value when the element is missing, the
// read fails, the attribute is unknown or holds the other type.
template <class T>
std::optional<T> value(const Element* element, std::string_view attribute);

template <>
std::optional<std::string> value<std::string>(const Element* element, std::string_view attribute);
template <>
std::optional<bool> value<bool>(const Element* element, std::string_view attribute);

template <class T>
std::optional<T> value(const ElementRef& element, std::string_view attribute)
{
    return value<T>(element.get(), attribute);
}

// The element-typed attribute: an application's focused window; null when
// it has none or cannot be asked.
ElementRef focusedWindow(const Accessibility& accessibility, std::int32_t pid);

// The frame in top-left-origin global coordinates; no value unless both
// position and size read.
std::optional<Rect> rect(const Element& element);

// Size, position, size; the answers are ignored, so callers that must know
// where the window went read it back. A frame that cannot be expressed (a
// value that is not finite, or the null rectangle) writes nothing.
void setFrame(Element& element, const Rect& frame);

// Many windows in one batch, each by the rule of `setFrame` (or its
// position alone); writes that cannot be expressed are left out. One
// answer per write, in order: false for a window left out, gone or refusing.
std::vector<bool> setFrames(Accessibility& accessibility, std::span<const FrameWrite> writes);
// The same, and then where each window stands (none for a window gone or
// left out).
std::vector<bool> setFrames(Accessibility& accessibility, std::span<const FrameWrite> writes,
                            std::vector<std::optional<Rect>>& landed);

} // namespace kavelo::AX
