#pragma once

// System-wide keyboard shortcuts, each running a stored action when pressed.
// The shell owns the one instance of the process and, whenever the bindings
// change, registers the current set again.

#include "app/platform/input.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace kavelo {

class HotKeys {
public:
    // The four-character code every registration carries ("KVLO").
    static constexpr std::uint32_t signature = 0x4B564C4F;

    // Installs the pressed-key handler on `system` for the life of this object.
    explicit HotKeys(SystemHotKeys& system);
    // Unregisters everything and takes the handler away again.
    ~HotKeys();
    HotKeys(const HotKeys&) = delete;
    HotKeys& operator=(const HotKeys&) = delete;

    // Registers one global hot key: a key code and a classic modifier mask,
    // each 0 to 4294967295. False when the system refuses it (another
    // application holds the combination) or a number is out of range; a
    // refusal uses up no identifier.
    bool registerHotKey(std::int64_t key, std::int64_t modifiers, std::function<void()> action);
    // Unregisters every hot key and forgets every action. Identifiers keep
    // counting, so one is never reused within a run.
    void removeAll();
    // Registers the whole set again through `registerAll`, which calls
    // `registerHotKey`: a combination registered before and again keeps its
    // system registration and identifier, with the new action; the rest go
    // afterwards. Asking the system for each key again costs a round trip
    // per key, and an arrange mode change rebinds every key.
    void rebind(const std::function<void()>& registerAll);

    // What the system calls when a hot key is pressed: runs the action stored
    // under `id`, if any. An unknown id (a key pressed while being removed)
    // does nothing.
    void pressed(std::uint32_t id);

    // The identifier the next successful registration gets.
    std::uint32_t nextIdentifier() const { return next_; }
    std::size_t count() const { return refs_.size(); }

private:
    SystemHotKeys& system_;
    std::map<std::uint32_t, std::function<void()>> actions_;
    struct Registration {
        SystemHotKeys::Ref ref = 0;
        std::uint32_t key = 0;
        std::uint32_t modifiers = 0;
        std::uint32_t id = 0;
    };
    std::vector<Registration> refs_;
    // While rebinding: what was registered and is not yet again.
    std::vector<Registration> kept_;
    std::uint32_t next_ = 1;
};

} // namespace kavelo
