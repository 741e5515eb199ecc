// Long random runs of edits, presses on delete, time passing and changes
// made elsewhere, with the folder, the armed delete and every card checked
// against the page's rules after each step.

#include "app/settings/setting_rows.h"
#include "app/ui/key_cap.h"
#include "app/ui/pill_button.h"
#include "settings/workflows_page_world.h"

#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <map>

namespace kavelo::testing {

namespace {

const std::vector<std::string> poolNames{"Alpha", "Beta", "Gamma", "Delta", "Eps"};

// What the folder must hold, and which card is armed since when, kept
// beside the page by the rules alone.
struct Model {
    std::map<std::string, Workspace> files;
    std::optional<std::string> armed;
    Seconds armedAt{0};
};

void checkPage(const World& world, const Model& model)
{
    std::map<std::string, Workspace> files;
    for (Workspace& w : world.workflows.store().named())
        files.emplace(w.name, std::move(w));
    RC_ASSERT(files == model.files);
    RC_ASSERT(world.armed == model.armed);

    RC_ASSERT(world.cardNames() == world.itemNames());
    RC_ASSERT(world.page->emptyState()->isVisible() == world.workflows.items().empty());
    for (std::size_t i = 0; i < world.page->cards().size(); ++i) {
        WorkflowCard* card = world.page->cards()[i];
        const Workspace& listed = world.workflows.items()[i];
        RC_ASSERT(card->isVisible());
        RC_ASSERT(card->workspace() == listed);
        RC_ASSERT(card->opensOnSetupRow()->isOn() == listed.opensOnSetup);
        RC_ASSERT(card->hidesOtherAppsRow()->isOn() == listed.hidesOtherApps);
        RC_ASSERT(WorkflowCard::arrangeChoice(card->arrangePicker()->currentIndex()) == listed.tidy);
        RC_ASSERT(card->keyCap()->isVisibleTo(card) == listed.slot.has_value());
        RC_ASSERT(card->armed() == (model.armed == card->name()));
        RC_ASSERT(card->deleteButton()->text() == (card->armed() ? "Delete?" : "Delete"));
    }
}

} // namespace

RC_GTEST_FIXTURE_PROP(WorkflowsPage, RandomEditsDeletesAndOutsideChangesKeepPageFilesAndArmingInStep, ())
{
    World& world = *this;
    Model model;
    world.open();
    // Most steps write a file to the disk: forty at most keep a run short.
    const auto steps = *rc::gen::resize(
        40, rc::gen::container<std::vector<std::pair<int, int>>>(
                rc::gen::pair(rc::gen::inRange(0, 8), rc::gen::inRange(0, 1000))));
    for (const auto& [kind, arg] : steps) {
        const auto& cards = world.page->cards();
        WorkflowCard* card = cards.empty() ? nullptr : cards[std::size_t(arg) % cards.size()];
        const bool onDisk = card && model.files.count(card->name());
        switch (kind) {
        case 0: {   // another part of the program saves a workflow
            const std::string name = poolNames[std::size_t(arg) % poolNames.size()];
            Workspace w{.name = name, .displays = "fp", .savedAt = world.scheduler.now()};
            if (arg % 3)
                w.slot = 1 + arg % 9;
            w.windows.resize(std::size_t(arg % 4));
            world.workflows.write(w);
            // As the file holds it (dates keep whole seconds there).
            model.files[name] = *world.workflows.store().load(name);
            break;
        }
        case 1:   // a file vanishes without the list hearing of it
            if (card) {
                std::filesystem::remove(world.workflows.store().url(card->name()));
                model.files.erase(card->name());
            }
            break;
        case 2:
        case 3:
            if (card) {
                ToggleRow* row = kind == 2 ? card->opensOnSetupRow() : card->hidesOtherAppsRow();
                const bool next = !row->isOn();
                const std::string name = card->name();
                QTest::mouseClick(row->toggle(), Qt::LeftButton);
                if (onDisk)
                    (kind == 2 ? model.files[name].opensOnSetup : model.files[name].hidesOtherApps) = next;
            }
            break;
        case 4:
            if (card) {
                const int index = arg % 6;
                const std::string name = card->name();
                World::choose(card->arrangePicker(), index);
                if (onDisk)
                    model.files[name].tidy = WorkflowCard::arrangeChoice(index);
            }
            break;
        case 5:
            if (card) {
                const std::string name = card->name();
                const Seconds now = world.scheduler.clock().monotonic();
                if (model.armed != name) {
                    model.armed = name;
                    model.armedAt = now;
                } else if (now - model.armedAt > Seconds(0.5)) {
                    model.files.erase(name);
                    model.armed.reset();
                }
                QTest::mouseClick(card->deleteButton(), Qt::LeftButton);
            }
            break;
        case 6:
            world.scheduler.advance(std::vector<double>{0, 0.2, 0.3, 0.5, 0.7}[std::size_t(arg) % 5]);
            break;
        default:
            world.workflows.reload();
            break;
        }
        checkPage(world, model);
    }
}

} // namespace kavelo::testing
