// Learning the sizes windows refuse to go below: some time after every auto
// application each window is compared with its tile; an oversized one is put
// back once, and when it comes back at the same size its application's
// minimum is stored, so that the next layout gives it room.

#include "app/engine/arrange_engine.h"

#include "app/services/ax.h"

#include <cmath>
#include <set>

namespace kavelo {

void ArrangeEngine::checkSizesLater()
{
    sizeCheck_ = desktop_.platform.scheduler.after(sizeCheckDelay, [this] { learnSizes(); });
}

void ArrangeEngine::learnSizes()
{
    // A check that comes due after a change of mode finds tiles that no
    // longer hold.
    if (effectiveMode() != ArrangeMode::auto_)
        return;
    Preferences& prefs = desktop_.preferences;
    auto sizes = prefs.minimumSizes();
    bool learned = false;
    bool retry = false;
    std::vector<FrameWrite> putBack;

    // Suspects are only ever windows of the last application.
    std::erase_if(sizeSuspects_, [&](const auto& entry) { return !autoFrames_.count(entry.first); });

    // Tiles of desktops not shown wait for them: their windows are not
    // written now.
    std::set<WindowID> shownNow;
    for (const auto& key : visibleKeys())
        if (auto order = autoOrder_.find(key); order != autoOrder_.end())
            shownNow.insert(order->second.begin(), order->second.end());

    for (const auto& [id, tile] : autoFrames_) {
        if (!shownNow.count(id))
            continue;
        auto bundle = bundles_.find(id);
        auto element = elements_.find(id);
        if (bundle == bundles_.end() || element == elements_.end() || !element->second)
            continue;
        const auto actual = AX::rect(*element->second);
        if (!actual || !actual->isFinite())
            continue;
        // Dragged away by the user: not ours to put back.
        if (!tile.contains(actual->center()))
            continue;

        const bool wide = actual->width() > tile.width() + oversizeTolerance;
        const bool tall = actual->height() > tile.height() + oversizeTolerance;
        if (!wide && !tall) {
            sizeSuspects_.erase(id);
            continue;
        }

        auto suspect = sizeSuspects_.find(id);
        if (suspect != sizeSuspects_.end() && std::abs(suspect->second.width - actual->width()) < sameSizeTolerance &&
            std::abs(suspect->second.height - actual->height()) < sameSizeTolerance) {
            const auto stored = sizes.find(bundle->second);
            const Size old = stored == sizes.end() ? Size() : stored->second;
            const Size grown(wide ? std::max(actual->width(), old.width) : old.width,
                             tall ? std::max(actual->height(), old.height) : old.height);
            // A size the layout already knew and still cannot honour (a fixed
            // tile count, a custom plan, a window larger than the display):
            // learning it again would rewrite the windows for ever. It stays
            // a suspect, so that it is not put back at every check either,
            // which another suspect's checks would keep going.
            if (grown.width > old.width || grown.height > old.height) {
                sizeSuspects_.erase(suspect);
                sizes[bundle->second] = grown;
                learned = true;
            }
            continue;
        }

        sizeSuspects_[id] = actual->size;
        putBack.push_back(FrameWrite{.element = element->second, .frame = tile});
        retry = true;
    }

    Accessibility& accessibility = desktop_.platform.accessibility;
    AX::setFrames(accessibility, putBack);
    std::vector<FrameWrite> fixes;
    for (const auto& write : putBack) {
        const auto now = AX::rect(*write.element);
        if (now && (std::abs(now->minX() - write.frame.minX()) > writeTolerance ||
                    std::abs(now->minY() - write.frame.minY()) > writeTolerance))
            fixes.push_back(FrameWrite{.element = write.element, .frame = write.frame,
                                       .parts = FrameWrite::Parts::position});
    }
    AX::setFrames(accessibility, fixes);

    if (learned) {
        prefs.setMinimumSizes(std::move(sizes));
        applyAuto();
    } else if (retry) {
        checkSizesLater();
    } else {
        for (const auto& [id, tile] : autoFrames_) {
            auto element = elements_.find(id);
            const auto now = element != elements_.end() && element->second ? AX::rect(*element->second) : std::nullopt;
            if (now)
                autoPlaced_[id] = *now;
            else
                autoPlaced_.erase(id);
        }
    }
}

} // namespace kavelo
