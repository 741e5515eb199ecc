#pragma once

// Text measures and conversions the menu panel's widgets share.

#include <QFont>
#include <QFontMetricsF>
#include <QString>

#include <cmath>
#include <string>

namespace kavelo {

inline double lineHeight(const QFont& font) { return QFontMetricsF(font).height(); }

inline int ceilInt(double v) { return int(std::ceil(v)); }

inline QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace kavelo
