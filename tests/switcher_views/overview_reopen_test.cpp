// The overview parked between openings: when it comes back, its grid shows
// what a fresh paint shows, whatever happened while it was open or away.

#include "overview_views_fixture.h"

#include "app/platform/sim/sim_desktop.h"
#include "app/services/thumbnails.h"
#include "app/ui/capture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace kavelo::testing {
namespace {

struct Reopening : OverviewViewWorld {
    QRect gridArea() { return QRect(grid().mapTo(&panel().panel(), QPoint(0, 0)), grid().size()); }
    // The command bar without its field, whose caret blinks.
    QRect barArea()
    {
        const OverviewCommandBar& bar = *view().commandBar();
        return QRect(bar.mapTo(&panel().panel(), QPoint(0, 0)), bar.size());
    }
    QRect fieldArea()
    {
        const QWidget& field = *view().searchField();
        return QRect(field.mapTo(&panel().panel(), QPoint(0, 0)), field.size());
    }

    // What the panel's window holds (its premultiplied colours; the screen
    // keeps no alpha), and the same painted whole by a view of its own on
    // the same model: the grid, then the bar.
    std::pair<QImage, QImage> shown()
    {
        const QImage all = QGuiApplication::primaryScreen()->grabWindow(panel().panel().winId()).toImage();
        return {all.copy(gridArea()).convertToFormat(QImage::Format_RGB32), bar(all.convertToFormat(QImage::Format_RGB32))};
    }
    std::pair<QImage, QImage> fresh()
    {
        OverviewView view(model(),
                          OverviewActions{.icon = [this](std::int32_t pid) { return desktop.platform.workspace.icon(pid); }},
                          host.time());
        view.setOpaque(this->view().isOpaque());
        view.resize(this->view().size());
        view.relayout();
        const QImage drawn = Capture::render(view).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage all =
            QImage(drawn.constBits(), drawn.width(), drawn.height(), drawn.bytesPerLine(), QImage::Format_RGB32).copy();
        return {all.copy(gridArea()), bar(all)};
    }
    QImage bar(QImage all)
    {
        QPainter(&all).fillRect(fieldArea(), Qt::black);
        return all.copy(barArea());
    }
};

// Pixels that differ by more than a card copied whole and one drawn in
// place round differently.
int differing(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            count += std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 ||
                     std::abs(qBlue(p) - qBlue(q)) > 2;
        }
    return count;
}

RC_GTEST_PROP(OverviewReopening, AParkedPanelComesBackShowingWhatAFreshPaintShows, ())
{
    Reopening w;
    w.controller.loadThumbnails = Thumbnails::loadSized;
    const std::vector<std::string> apps{"Mail", "Notes", "Terminal", "Editor"};
    const std::vector<std::string> titles{"Inbox", "build", "Groceries", "", "Drafts"};
    std::vector<WindowID> windows;
    const auto addWindow = [&] {
        windows.push_back(w.add(*rc::gen::elementOf(apps), *rc::gen::elementOf(titles),
                                [minimized = *rc::gen::inRange(0, 4) == 0](SimWindow& s) { s.minimized = minimized; }));
    };
    for (int i = *rc::gen::inRange(1, 7); i > 0; --i)
        addWindow();
    w.controller.show();
    w.panel().setParks(true);
    QApplication::processEvents();
    const auto pictures = [&] {
        if (w.controller.thumbnailTask())
            w.controller.thumbnailTask()->wait();
        w.scheduler.runPending();
    };

    const int steps = *rc::gen::inRange(1, 40);
    for (int step = 0; step < steps; ++step) {
        const bool open = w.controller.isOpen();
        // Every kind of step as likely at any size of case.
        switch (std::max(0, *rc::gen::resize(100, rc::gen::inRange(-2, 12)))) {
        case 0:
            if (open) {
                w.controller.hide();
                break;
            }
            w.controller.show();
            QApplication::processEvents();
            {
                const auto [grid, bar] = w.shown();
                const auto [freshGrid, freshBar] = w.fresh();
                RC_ASSERT(differing(grid, freshGrid) == 0);
                RC_ASSERT(differing(bar, freshBar) == 0);
            }
            break;
        case 1:
            if (open)
                QTest::keyClick(w.view().searchField(), char(*rc::gen::elementOf(std::string("aeinorst"))));
            break;
        case 2:
            if (open)
                QTest::keyClick(w.view().searchField(), Qt::Key_Backspace);
            break;
        case 3:
            if (open && !w.model().results().empty())
                w.model().setSelection(*rc::gen::inRange(0, int(w.model().results().size())));
            break;
        case 4:
            if (open)
                w.grid().setScrollOffset(*rc::gen::inRange(0, 1200));
            break;
        case 5:
            w.scheduler.advance(*rc::gen::inRange(1, 40) / 60.0);
            break;
        case 6:
            QApplication::processEvents();
            break;
        case 7:
            pictures();
            break;
        case 8:
            addWindow();
            break;
        case 9:
            if (!windows.empty())
                w.sim.closeWindow(*rc::gen::elementOf(windows));
            break;
        case 10:
            if (!windows.empty())
                w.sim.modifyWindow(*rc::gen::elementOf(windows),
                                   [title = *rc::gen::elementOf(titles)](SimWindow& s) { s.title = title; });
            break;
        case 11:
            if (open)
                w.model().setScope(*rc::gen::elementOf(allWindowScopes));
            break;
        }
    }
}

} // namespace
} // namespace kavelo::testing
