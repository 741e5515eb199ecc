#include "app/ui/panel_host.h"

#include "app/services/memory_policy.h"
#include "app/ui/free_panel.h"

#include <QGuiApplication>

#include <algorithm>

namespace kavelo {

bool onRealDisplay()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

PanelHost::PanelHost(WindowServer* windowServer, Scheduler& scheduler, Clock& clock)
    : windowServer_(windowServer), scheduler_(scheduler), clock_(clock)
{
}

PanelHost::PanelHost(const Platform& platform) : PanelHost(&platform.windowServer, platform.scheduler, platform.clock)
{
}

PanelHost::~PanelHost()
{
    // Panels that outlive their host stop reporting instead of reaching a
    // host that is gone.
    for (FreePanel* panel : panels_) {
        panel->release_.cancel();
        panel->host_ = nullptr;
    }
}

void PanelHost::released()
{
    if (!trim_.pending())
        trim_ = scheduler_.after(0.0, [] { MemoryPolicy::trim(); });
}

void PanelHost::report(std::optional<WindowID>& number, const OwnPanel& panel) const
{
    if (!windowServer_)
        return;
    if (number)
        windowServer_->updatePanel(*number, panel);
    else
        number = windowServer_->showPanel(panel);
}

void PanelHost::withdraw(std::optional<WindowID>& number) const
{
    if (number && windowServer_)
        windowServer_->removePanel(*number);
    number.reset();
}

bool PanelHost::blends() const
{
    return windowServer_ ? windowServer_->blendsPanels() : true;
}

Rect PanelHost::toolkitFrame(const Rect& frame) const
{
    return windowServer_ ? windowServer_->toolkitFrame(frame) : frame;
}

Rect PanelHost::frameOfToolkit(const Rect& toolkit) const
{
    return windowServer_ ? windowServer_->frameOfToolkit(toolkit) : toolkit;
}

std::optional<WindowServer::NativePlace> PanelHost::placeOfNativeWindow(std::uint64_t handle) const
{
    return windowServer_ ? windowServer_->placeOfNativeWindow(handle) : std::nullopt;
}

void PanelHost::add(FreePanel* panel)
{
    panels_.push_back(panel);
}

void PanelHost::remove(FreePanel* panel)
{
    std::erase(panels_, panel);
}

} // namespace kavelo
