#include "app/diagnostics/preview_samples.h"

#include "app/workflows/browser_tabs.h"

#include <map>

namespace kavelo::PreviewSamples {

namespace {

// A label on the left and an amount on the right, 21 characters wide.
std::string ledgerLine(std::string label, const std::string& amount)
{
    label.append(21 - label.size() - amount.size(), ' ');
    return label + amount;
}

} // namespace

std::vector<WindowEntry> windows()
{
    struct Row {
        const char* title;
        const char* app;
        WindowState state;
    };
    static constexpr Row rows[] = {
        {"Project plan", "Writer", WindowState::visible},
        {"Inbox", "Thunderbird", WindowState::visible},
        {"Budget 2026", "Calc", WindowState::minimized},
        {"Standup notes", "Notes", WindowState::visible},
        {"api.swift", "Builder", WindowState::otherSpace},
        {"Launch checklist", "Firefox", WindowState::otherSpace},
        {"Team chat", "Element", WindowState::hidden},
        {"Invoices", "Files", WindowState::minimized},
    };
    std::vector<WindowEntry> out;
    for (std::size_t i = 0; i < std::size(rows); ++i)
        out.push_back(WindowEntry{
            .id = WindowID(i + 1),
            .pid = 0,
            .appName = rows[i].app,
            .bundleID = "sample." + std::to_string(i),
            .title = rows[i].title,
            .frame = Rect(),
            .state = rows[i].state,
        });
    return out;
}

const std::vector<std::string>& text(std::string_view title)
{
    static const std::map<std::string, std::vector<std::string>, std::less<>> lines{
        {"Project plan",
         {"Launch in three stages", "Stage one: private beta", "Stage two: public page", "Stage three: release notes"}},
        {"Inbox", {"Quarterly numbers are in", "Lunch on Thursday?", "Your invoice is ready", "Re: launch checklist"}},
        {"Budget 2026",
         {ledgerLine("Rent", "1,200"), ledgerLine("Travel", "340"), ledgerLine("Software", "120"),
          ledgerLine("Total", "1,660")}},
        {"Standup notes", {"Monday: ship the beta", "Tuesday: fix the layout bug", "Wednesday: write the docs"}},
        {"api.swift", {"func windows() -> [Window] {", "    catalog.read()", "        .filter(\\.isVisible)", "}"}},
        {"Launch checklist", {"Write the release notes", "Test on two monitors", "Update the website"}},
        {"Team chat", {"Maya: is the build green?", "Jonas: yes, all tests pass", "Maya: great, shipping it"}},
        {"Invoices", {"October.pdf", "September.pdf", "August.pdf", "July.pdf"}},
    };
    static const std::vector<std::string> none;
    const auto it = lines.find(title);
    return it == lines.end() ? none : it->second;
}

std::vector<Workspace> overviewWorkflows(Date now)
{
    std::vector<Workspace> out;
    int slot = 1;
    for (const char* name : {"Coding", "Admin", "Reading"})
        out.push_back(Workspace{.name = name, .displays = "", .savedAt = now, .slot = slot++});
    return out;
}

std::vector<Workspace> settingsWorkflows(Date now)
{
    const auto window = [](const char* app, const char* title) {
        return SavedWindow{.bundleID = app, .title = title, .frame = Rect()};
    };
    return {
        Workspace{
            .name = "Coding",
            .displays = "",
            .windows = {window("Writer", "Project plan"), window("Thunderbird", "Inbox"), window("Calc", "Budget 2026"),
                        window("Notes", "Standup notes")},
            .savedAt = now,
            .tabs = {{std::string(BrowserTabs::firefox), {"https://example.com/roadmap", "https://example.org/docs"}}},
            .slot = 1,
        },
        Workspace{
            .name = "Admin",
            .displays = "",
            .windows = {window("Element", "Team chat"), window("Files", "Invoices")},
            .savedAt = now,
            .tabs = {{std::string(BrowserTabs::firefox), {"https://example.net/billing"}}},
            .slot = 2,
            .hidesOtherApps = true,
        },
    };
}

} // namespace kavelo::PreviewSamples
