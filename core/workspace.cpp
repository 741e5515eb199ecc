#include "core/workspace.h"

#include "core/text.h"

#include <cmath>
#include <unordered_set>

namespace kavelo {

std::vector<std::string> Workspace::apps() const
{
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const SavedWindow& w : windows)
        if (seen.insert(text::normalized(w.bundleID)).second)
            out.push_back(w.bundleID);
    return out;
}

namespace {

void requireFinite(const Rect& r)
{
    if (!std::isfinite(r.origin.x) || !std::isfinite(r.origin.y) || !std::isfinite(r.size.width) ||
        !std::isfinite(r.size.height))
        json::fail("a frame is not finite");
}

} // namespace

OrderedJson toJSON(const SavedWindow& window)
{
    requireFinite(window.frame);
    OrderedJson j = OrderedJson::object();
    j["bundleID"] = window.bundleID;
    j["title"] = window.title;
    j["frame"] = OrderedJson(json::encode(window.frame));
    return j;
}

OrderedJson toJSON(const Workspace& workspace)
{
    OrderedJson windows = OrderedJson::array();
    for (const SavedWindow& w : workspace.windows)
        windows.push_back(toJSON(w));
    OrderedJson tabs = OrderedJson::object();
    for (const auto& [browser, addresses] : workspace.tabs)
        tabs[browser] = addresses;

    OrderedJson j = OrderedJson::object();
    j["name"] = workspace.name;
    j["displays"] = workspace.displays;
    j["windows"] = std::move(windows);
    j["savedAt"] = isoDate(workspace.savedAt);
    j["tabs"] = std::move(tabs);
    if (workspace.slot)
        j["slot"] = *workspace.slot;
    j["hidesOtherApps"] = workspace.hidesOtherApps;
    if (workspace.tidy)
        j["tidy"] = std::string(rawValue(*workspace.tidy));
    j["opensOnSetup"] = workspace.opensOnSetup;
    return j;
}

namespace json {

SavedWindow savedWindow(const Json& j)
{
    object(j);
    return SavedWindow{
        .bundleID = text(member(j, "bundleID")),
        .title = text(member(j, "title")),
        .frame = rect(member(j, "frame")),
    };
}

Workspace workspace(const Json& j)
{
    object(j);
    Workspace w;
    w.name = text(member(j, "name"));
    w.displays = text(member(j, "displays"));
    for (const Json& item : array(member(j, "windows")))
        w.windows.push_back(savedWindow(item));
    w.savedAt = date(member(j, "savedAt"));
    if (const Json* tabs = optionalMember(j, "tabs")) {
        for (const auto& [browser, addresses] : object(*tabs).items()) {
            std::vector<std::string>& list = w.tabs[browser];
            for (const Json& address : array(addresses))
                list.push_back(text(address));
        }
    }
    if (const Json* slot = optionalMember(j, "slot"))
        w.slot = integer<int>(*slot);
    if (const Json* hides = optionalMember(j, "hidesOtherApps"))
        w.hidesOtherApps = boolean(*hides);
    if (const Json* tidy = optionalMember(j, "tidy"))
        w.tidy = enumeration<TidyLayout>(*tidy, TidyLayout_from);
    if (const Json* opens = optionalMember(j, "opensOnSetup"))
        w.opensOnSetup = boolean(*opens);
    return w;
}

} // namespace json

std::optional<Workspace> decodeWorkspace(std::string_view text) noexcept
{
    const std::optional<Json> j = json::parse(text);
    if (!j)
        return std::nullopt;
    return json::decode([&] { return json::workspace(*j); });
}

} // namespace kavelo
