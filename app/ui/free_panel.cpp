#include "app/ui/free_panel.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavelo {

namespace {
std::vector<FreePanel*>& panels()
{
    static std::vector<FreePanel*> all;
    return all;
}
} // namespace

QRect pixelRect(const Rect& frame)
{
    if (frame.isNull())
        return {};
    const int left = int(std::lround(frame.minX()));
    const int top = int(std::lround(frame.minY()));
    const int right = int(std::lround(frame.maxX()));
    const int bottom = int(std::lround(frame.maxY()));
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

FreePanel::FreePanel(int level, bool clickThrough) : QWidget(nullptr), level_(level), clickThrough_(clickThrough)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    applyFlags();
    panels().push_back(this);
}

FreePanel::~FreePanel()
{
    auto& all = panels();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void FreePanel::applyFlags()
{
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                            Qt::NoDropShadowWindowHint;
    if (level_ > PanelLevel::curtain)
        flags |= Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint;
    if (clickThrough_)
        flags |= Qt::WindowTransparentForInput;
    const bool shown = isVisible();
    setWindowFlags(flags);
    if (shown)
        show();
}

void FreePanel::setClickThrough(bool on)
{
    if (on == clickThrough_)
        return;
    clickThrough_ = on;
    applyFlags();
}

void FreePanel::setFrame(const Rect& frame)
{
    frame_ = frame;
    setGeometry(pixelRect(frame));
}

void FreePanel::orderFront()
{
    if (!isVisible())
        show();
    restack();
}

void FreePanel::orderOut()
{
    hide();
}

void FreePanel::restack()
{
    raise();
    // Whatever stands above this level goes back on top, lowest first.
    std::vector<FreePanel*> above;
    for (FreePanel* p : panels())
        if (p != this && p->level_ > level_ && p->isVisible())
            above.push_back(p);
    std::stable_sort(above.begin(), above.end(), [](FreePanel* a, FreePanel* b) { return a->level_ < b->level_; });
    for (FreePanel* p : above)
        p->raise();
}

} // namespace kavelo
