#pragma once

// Keyboard and mouse input: global hot keys, the event tap with its
// synchronous drop decision, global mouse monitors and the pointer.
//
// Key codes are the classic virtual key codes (49 Space, 53 Escape, 48 Tab).
// Hot-key modifiers use the classic mask (command 0x100, shift 0x200,
// option 0x800, control 0x1000); event flags use the event bits below.

#include "app/platform/handle.h"
#include "core/geometry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kavelo {

namespace EventFlag {
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
} // namespace EventFlag

namespace HotKeyModifier {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
} // namespace HotKeyModifier

// The classic modifier mask of a set of event flags, and back.
std::uint32_t hotKeyModifiers(std::uint64_t eventFlags);
std::uint64_t eventFlags(std::uint32_t hotKeyModifiers);

// The system's registry of global hot keys (the service over it is HotKeys).
class SystemHotKeys {
public:
    using Ref = std::uint64_t;
    virtual ~SystemHotKeys() = default;

    // Called with the id of a registered hot key when it is pressed, on the
    // main thread. Set once; a later call replaces it.
    virtual void setHandler(std::function<void(std::uint32_t id)> handler) = 0;
    // No value when refused (typically: the combination is taken).
    virtual std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) = 0;
    virtual void unregisterHotKey(Ref ref) = 0;
};

// The raw event types the tap sees.
enum class TapEventType : std::uint32_t {
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
    scrollWheel = 22,
    otherMouseDown = 25,
    otherMouseUp = 26,
    tapDisabledByTimeout = 0xFFFFFFFE,
    tapDisabledByUserInput = 0xFFFFFFFF,
};

struct TapEvent {
    TapEventType type = TapEventType::keyDown;
    std::uint64_t flags = 0;
    // Keys.
    std::uint16_t keyCode = 0;
    bool autorepeat = false;
    // What the key types in the current layout with no modifiers, as the
    // toolkit reports it: function keys as private-use characters (U+F700
    // up, U+F701 down, U+F702 left, U+F703 right, U+F704 F1 ...).
    std::string charactersIgnoringModifiers;
    // Scrolling, in points; `continuous` for trackpads and smooth mice.
    double scrollDeltaX = 0;
    double scrollDeltaY = 0;
    bool continuous = false;
    // Other mouse buttons: 2 the middle button, 3 button 4, 4 button 5.
    std::int64_t buttonNumber = 0;
};

// The one tap on the user's event stream. Its callback runs on the main
// thread and decides synchronously: true drops the event.
class EventTap {
public:
    virtual ~EventTap() = default;
    // Fails without accessibility trust. Starting a running tap replaces its
    // callback.
    virtual bool start(std::function<bool(const TapEvent&)> callback) = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
    // After a tap-disabled event.
    virtual void reenable() = 0;

    // Keeps a key combination (a key code and exactly these event flags of
    // Shift, Control, Option and Command) from the focused application: its
    // presses reach only the tap. Refused when another program holds the
    // combination. Claiming a held combination again answers true. Claims
    // stand until unclaimed, also while the tap is stopped.
    virtual bool claim(std::uint16_t keyCode, std::uint64_t flags) = 0;
    virtual void unclaim(std::uint16_t keyCode, std::uint64_t flags) = 0;
    // Takes the whole keyboard for this program (true) or lets it go
    // (false, always answered true). Refused while another program holds the
    // keyboard, a screen locker for one; the tap still sees every key then.
    virtual bool holdKeyboard(bool hold) = 0;
};

enum class MouseEventType { leftDown, leftUp, rightDown, rightUp, moved, leftDragged };

namespace MouseEventMask {
inline constexpr std::uint32_t leftDown = 1u << 0;
inline constexpr std::uint32_t leftUp = 1u << 1;
inline constexpr std::uint32_t rightDown = 1u << 2;
inline constexpr std::uint32_t rightUp = 1u << 3;
inline constexpr std::uint32_t moved = 1u << 4;
inline constexpr std::uint32_t leftDragged = 1u << 5;
} // namespace MouseEventMask
std::uint32_t maskOf(MouseEventType type);

struct MouseEvent {
    MouseEventType type = MouseEventType::moved;
    Point location;   // bottom-left form, like display frames
};

// Which state to ask for the held modifiers: what the session has seen, or
// what the keyboard hardware holds.
enum class ModifierSource { combinedSession, hidSystem };

namespace MouseButtonMask {
inline constexpr std::uint32_t left = 1u << 0;
inline constexpr std::uint32_t right = 1u << 1;
} // namespace MouseButtonMask

class Mouse {
public:
    virtual ~Mouse() = default;
    // Events meant for other applications, on the main thread; the
    // program's own windows do not reach a global monitor.
    [[nodiscard]] virtual Handle monitor(std::uint32_t mask, std::function<void(const MouseEvent&)> handler) = 0;
    // Bottom-left form, like display frames.
    virtual Point location() const = 0;
    // Bit n set while button n is down (0 left, 1 right, 2 middle, ...).
    virtual std::uint32_t pressedButtons() const = 0;
    // Top-left form, like window frames. Sends no mouse-moved event.
    virtual void warp(Point topLeft) = 0;
    // Event flags held now.
    virtual std::uint64_t modifierFlags(ModifierSource source) const = 0;
};

} // namespace kavelo
