#pragma once

// A two-way binding of a control to a value that lives elsewhere (a
// setting): the control shows `get()` and writes through `set`.

#include <functional>

namespace kavelo {

template <class T>
struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

} // namespace kavelo
