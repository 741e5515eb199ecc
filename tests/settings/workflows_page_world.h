#pragma once

// The Workflows page on its own, over the settings world: the page on the
// window's colour, the armed delete the settings view would keep, and
// workflows stored straight into the temporary store.

#include "app/settings/workflow_card.h"
#include "app/settings/workflows_page.h"
#include "app/settings/settings_style.h"
#include "settings/settings_world.h"

#include <QComboBox>
#include <QPainter>
#include <QTest>

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::testing {

// The page on the window's dark colour, padded as the settings view pads it,
// as tall as it wants to be.
class Backdrop : public QWidget {
public:
    explicit Backdrop(kavelo::WorkflowsPage* page)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(28, 28, 28, 28);
        layout->addWidget(page);
        layout->addStretch(1);
        setFixedWidth(552);
        resize(552, 2000);
        showSettled(*this);
        resize(552, layout->totalHeightForWidth(552));
        settleLayouts();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), SettingsStyle::windowBackground()); }
};

struct World : SettingsWorld {
    // What the settings view keeps for the page.
    std::optional<std::string> armed;
    Seconds armedAt{0};

    kavelo::WorkflowsPage::DeleteArming arming()
    {
        return {[this] { return armed; }, [this] { return armedAt; },
                [this](std::optional<std::string> name) {
                    armed = std::move(name);
                    armedAt = scheduler.clock().monotonic();
                }};
    }

    kavelo::WorkflowsPage& open()
    {
        page = new kavelo::WorkflowsPage(workflows, prefs, arming(), time());
        backdrop = std::make_unique<Backdrop>(page);
        return *page;
    }

    // A workflow as an earlier save left it, listed at once.
    Workspace stored(std::string name, std::optional<int> slot, int windows = 1,
                     std::function<void(Workspace&)> more = {})
    {
        Workspace w{.name = std::move(name), .displays = "fp", .savedAt = scheduler.now(), .slot = slot};
        for (int i = 0; i < windows; ++i)
            w.windows.push_back({"com.example.App" + std::to_string(i % 2), "w" + std::to_string(i),
                                 Rect(10.0 * i, 0, 400, 300)});
        if (more)
            more(w);
        workflows.store().save(w);
        workflows.reload();
        return w;
    }

    std::optional<Workspace> file(const std::string& name) const { return workflows.store().load(name); }

    // The raw JSON of a workflow's file.
    nlohmann::json fileJSON(const std::string& name) const
    {
        std::ifstream in(workflows.store().url(name));
        return nlohmann::json::parse(in);
    }

    void press(PillButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // As a pick from the menu: the user's choice, not a value set by code.
    static void choose(QComboBox* picker, int index)
    {
        picker->setCurrentIndex(index);
        emit picker->activated(index);
    }

    std::vector<std::string> cardNames() const
    {
        std::vector<std::string> out;
        for (WorkflowCard* card : page->cards())
            out.push_back(card->name());
        return out;
    }

    std::vector<std::string> itemNames() const
    {
        std::vector<std::string> out;
        for (const Workspace& w : workflows.items())
            out.push_back(w.name);
        return out;
    }

    kavelo::WorkflowsPage* page = nullptr;
    std::unique_ptr<Backdrop> backdrop;
};

// Named after the class under test, which the tests then name in full.
struct WorkflowsPage : ::testing::Test, World {};

} // namespace kavelo::testing
