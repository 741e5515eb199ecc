#pragma once

namespace kavelo {

enum class Direction { left, right, up, down };

} // namespace kavelo
