#include "app/engine/no_peek_shade.h"

namespace kavelo {

ShadeView::ShadeView(FocusModePanels& panels)
{
    for (auto& band : darks_)
        band = panels.makeShadeBand();
}

void ShadeView::setFrame(const Rect& frame)
{
    if (frame == frame_)
        return;
    frame_ = frame;
    // The bands are placed in global space, so they move with the screen
    // even where the hole stands still relative to it.
    last_.reset();
}

std::array<Rect, 4> ShadeView::bands(Size bounds, const std::optional<Rect>& hole)
{
    const Rect b(0, 0, bounds.width, bounds.height);
    Rect h = hole ? hole->standardized().intersection(b) : Rect::null();
    if (h.isNull())
        h = Rect();
    return {
        Rect(0, 0, b.width(), h.minY()),
        Rect(0, h.maxY(), b.width(), b.height() - h.maxY()),
        Rect(0, h.minY(), h.minX(), h.height()),
        Rect(h.maxX(), h.minY(), b.width() - h.maxX(), h.height()),
    };
}

void ShadeView::apply(const std::optional<Rect>& hole, double darkness, bool blur)
{
    const Applied now{hole, darkness, blur};
    if (last_ == now)
        return;
    const bool newLook = !last_ || last_->darkness != darkness || last_->blur != blur;
    last_ = now;

    const auto local = bands(frame_.size, hole);
    for (std::size_t i = 0; i < darks_.size(); ++i) {
        const Rect global = local[i].offsetBy(frame_.minX(), frame_.minY());
        if (global != bandFrames_[i]) {
            bandFrames_[i] = global;
            darks_[i]->setFrame(global);
        }
        if (newLook)
            darks_[i]->setLook(darkness, blur);
    }
    showBands();
}

void ShadeView::orderFront()
{
    shown_ = true;
    showBands();
}

void ShadeView::orderOut()
{
    shown_ = false;
    showBands();
}

void ShadeView::showBands()
{
    for (std::size_t i = 0; i < darks_.size(); ++i) {
        const bool shown = shown_ && !bandFrames_[i].isEmpty();
        if (shown != bandShown_[i]) {
            bandShown_[i] = shown;
            darks_[i]->setShown(shown);
        }
    }
}

} // namespace kavelo
