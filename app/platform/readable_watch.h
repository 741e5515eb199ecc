#pragma once

// Descriptors on the main thread's event loop: `ready` runs on the main
// thread whenever `fd` has something to read (or its peer has gone), until
// the handle is dropped. Drop the handle before closing the descriptor.

#include "app/platform/handle.h"

#include <functional>

namespace kavelo {

using ReadableWatch = std::function<Handle(int fd, std::function<void()> ready)>;

} // namespace kavelo
