#include "app/platform/main_waits.h"

namespace kavelo {

void MainWaits::waited(std::string_view what, std::chrono::steady_clock::duration length) const
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(length);
    if (ms > worthTelling && listener_)
        listener_(what, ms);
}

} // namespace kavelo
