#include "app/services/preferences.h"

#include "core/raw_value.h"

namespace kavelo {

std::string_view rawValue(WindowHighlight highlight)
{
    switch (highlight) {
    case WindowHighlight::none: return "none";
    case WindowHighlight::border: return "border";
    case WindowHighlight::glow: return "glow";
    }
    return "none";
}

std::optional<WindowHighlight> WindowHighlight_from(std::string_view raw)
{
    return caseNamed(allWindowHighlights, raw);
}

namespace {

// The stored value of `key` through a throwing decoder; no value when the
// key is absent or the value does not decode.
template <class Decoder>
auto read(const UserDefaults& store, std::string_view key, Decoder decoder)
    -> std::optional<std::decay_t<std::invoke_result_t<Decoder, const Json&>>>
{
    const Json* value = store.value(key);
    if (!value)
        return std::nullopt;
    return json::decode([&] { return decoder(*value); });
}

template <class E, class From>
auto caseOf(From from)
{
    return [from](const Json& j) { return json::enumeration<E>(j, from); };
}

std::set<std::string> textSet(const Json& j)
{
    std::set<std::string> result;
    for (const Json& element : json::array(j))
        result.insert(json::text(element));
    return result;
}

std::map<std::string, int> integerMap(const Json& j)
{
    std::map<std::string, int> result;
    for (const auto& [key, value] : json::object(j).items())
        result.emplace(key, json::integer<int>(value));
    return result;
}

// Entries naming a layout this version does not know are skipped one by one,
// so the next write keeps every other display's layout.
std::map<std::string, TidyLayout> layoutMap(const Json& j)
{
    std::map<std::string, TidyLayout> result;
    for (const auto& [key, value] : json::object(j).items()) {
        if (!value.is_string())
            continue;
        if (const std::optional<TidyLayout> layout = TidyLayout_from(value.get<std::string>()))
            result.emplace(key, *layout);
    }
    return result;
}

// Likewise a plan that cannot be used drops only its own display.
std::map<std::string, GridPlan> planMap(const Json& j)
{
    std::map<std::string, GridPlan> result;
    for (const auto& [key, value] : json::object(j).items())
        if (std::optional<GridPlan> plan = GridPlan_fromJson(value))
            result.emplace(key, std::move(*plan));
    return result;
}

std::map<std::string, std::vector<std::string>> textListMap(const Json& j)
{
    std::map<std::string, std::vector<std::string>> result;
    for (const auto& [key, value] : json::object(j).items()) {
        std::vector<std::string> texts;
        for (const Json& element : json::array(value))
            texts.push_back(json::text(element));
        result.emplace(key, std::move(texts));
    }
    return result;
}

std::map<std::string, Size> sizeMap(const Json& j)
{
    std::map<std::string, Size> result;
    for (const auto& [key, value] : json::object(j).items())
        result.emplace(key, json::size(value));
    return result;
}

Json encodeTexts(const std::set<std::string>& texts)
{
    Json j = Json::array();
    for (const std::string& text : texts)
        j.push_back(text);
    return j;
}

template <class V, class Encode>
Json encodeMap(const std::map<std::string, V>& map, Encode encode)
{
    Json j = Json::object();
    for (const auto& [key, value] : map)
        j[key] = encode(value);
    return j;
}

template <class E>
Json encodeCase(E value)
{
    return Json(std::string(rawValue(value)));
}

// Which scopes can be active together with a command's own.
bool activeTogether(CommandScope own, CommandScope other)
{
    switch (own) {
    case CommandScope::always: return true;
    case CommandScope::snap:
    case CommandScope::auto_: return other != CommandScope::strip;
    case CommandScope::strip: return other == CommandScope::always || other == CommandScope::strip;
    }
    return false;
}

} // namespace

Preferences::Preferences(UserDefaults& store, LoginItem& loginItem, std::function<bool(int fingers)> systemSwipes)
    : store_(store), loginItem_(loginItem)
{
    opensAtLogin_ = loginItem_.status() == LoginItemStatus::enabled;

    const auto integer = [](const Json& j) { return json::integer<int>(j); };
    const auto boolean = [](const Json& j) { return json::boolean(j); };
    const auto number = [](const Json& j) { return json::number(j); };

    shortcut_ = read(store_, "shortcut", json::shortcut).value_or(Shortcut::standard);
    mouseButton_ = read(store_, "mouseButton", integer).value_or(3);
    snappingEnabled_ = read(store_, "snappingEnabled", boolean).value_or(true);
    arrangeMode_ = read(store_, "arrangeMode", caseOf<ArrangeMode>(ArrangeMode_from)).value_or(ArrangeMode::off);
    displayLayouts_ = read(store_, "displayLayouts", layoutMap).value_or(std::map<std::string, TidyLayout>{});
    gridPlans_ = read(store_, "gridPlans", planMap).value_or(std::map<std::string, GridPlan>{});
    leftAlone_ = read(store_, "leftAlone", textSet).value_or(std::set<std::string>{});
    bindings_ = read(store_, "bindings", [](const Json& j) {
                    return json::commandMap(j, json::shortcut);
                }).value_or(std::map<Command, Shortcut>{});
    maxTiles_ = read(store_, "maxTiles", integer).value_or(0);
    stripSlots_ = read(store_, "stripSlots", integerMap).value_or(std::map<std::string, int>{});
    if (const std::optional<int> fingers = read(store_, "stripSwipeFingers", integer)) {
        stripSwipeFingers_ = *fingers;
    } else {
        // Keep clear of a swipe the system already uses to change desktops.
        const auto systemUses = [&](int n) { return systemSwipes && systemSwipes(n); };
        stripSwipeFingers_ = systemUses(3) && !systemUses(4) ? 4 : 3;
    }
    windowGap_ = read(store_, "windowGap", integer).value_or(10);
    mainShare_ = read(store_, "mainShare", number).value_or(0);
    reservedEdges_ = read(store_, "reservedEdges", integerMap).value_or(std::map<std::string, int>{});
    highlight_ = read(store_, "highlight", caseOf<WindowHighlight>(WindowHighlight_from)).value_or(WindowHighlight::none);
    displaysOff_ = read(store_, "displaysOff", textSet).value_or(std::set<std::string>{});
    keepsOriginalHeight_ = read(store_, "keepsOriginalHeight", boolean).value_or(false);
    focusFollowsMouse_ = read(store_, "focusFollowsMouse", boolean).value_or(false);
    mouseFollowsFocus_ = read(store_, "mouseFollowsFocus", boolean).value_or(false);
    extraBindings_ = read(store_, "extraBindings", [](const Json& j) {
                         return json::commandMap(j, json::shortcuts);
                     }).value_or(std::map<Command, std::vector<Shortcut>>{});
    stripCenter_ = read(store_, "stripCenter", caseOf<Strip::CenterMode>(Strip::CenterMode_from))
                       .value_or(Strip::CenterMode::never);
    noPeekDarkness_ = read(store_, "noPeekDarkness", number).value_or(0.75);
    noPeekBlur_ = read(store_, "noPeekBlur", boolean).value_or(false);
    if (const std::optional<std::string> text = store_.text("highlightColor"))
        highlightColor_ = colorFromHex(*text).value_or(defaultHighlightColor);
    gridFollowsCount_ = read(store_, "gridFollowsCount", boolean).value_or(false);
    mainWindows_ = read(store_, "mainWindows", textListMap).value_or(std::map<std::string, std::vector<std::string>>{});
    minimumSizes_ = read(store_, "minimumSizes", sizeMap).value_or(std::map<std::string, Size>{});
    focusHidesOthers_ = read(store_, "focusHidesOthers", boolean).value_or(false);
    savesSafariTabs_ = read(store_, "savesSafariTabs", boolean).value_or(false);
    switcherEnabled_ = read(store_, "switcherEnabled", boolean).value_or(true);
    tidyLayout_ = read(store_, "tidyLayout", caseOf<TidyLayout>(TidyLayout_from)).value_or(TidyLayout::grid);
    remembersLayouts_ = read(store_, "remembersLayouts", boolean).value_or(true);
}

void Preferences::stored(std::string_view key, std::optional<Json> value, Then then)
{
    if (value)
        store_.set(key, std::move(*value));
    else
        store_.remove(key);
    announce(key);
    if ((then == Then::keys || then == Then::keysThenArrange) && onKeysChange)
        onKeysChange();
    if ((then == Then::arrange || then == Then::keysThenArrange) && onArrangeChange)
        onArrangeChange();
}

void Preferences::announce(std::string_view property) { changed_.send(property); }

void Preferences::setShortcut(Shortcut value)
{
    shortcut_ = value;
    stored("shortcut", json::encode(shortcut_), Then::keys);
}

void Preferences::setMouseButton(int value)
{
    mouseButton_ = value;
    stored("mouseButton", Json(value), Then::keys);
}

void Preferences::setSnappingEnabled(bool value)
{
    snappingEnabled_ = value;
    stored("snappingEnabled", Json(value), Then::keys);
}

void Preferences::setTidyLayout(TidyLayout value)
{
    tidyLayout_ = value;
    stored("tidyLayout", encodeCase(value), Then::nothing);
}

void Preferences::setArrangeMode(ArrangeMode value)
{
    arrangeMode_ = value;
    stored("arrangeMode", encodeCase(value), Then::keysThenArrange);
}

void Preferences::setDisplayLayouts(std::map<std::string, TidyLayout> value)
{
    displayLayouts_ = std::move(value);
    stored("displayLayouts", encodeMap(displayLayouts_, encodeCase<TidyLayout>), Then::arrange);
}

void Preferences::setGridPlans(std::map<std::string, GridPlan> value)
{
    gridPlans_ = std::move(value);
    stored("gridPlans", encodeMap(gridPlans_, [](const GridPlan& plan) { return toJson(plan); }), Then::arrange);
}

void Preferences::setLeftAlone(std::set<std::string> value)
{
    leftAlone_ = std::move(value);
    stored("leftAlone", encodeTexts(leftAlone_), Then::arrange);
}

void Preferences::setBindings(std::map<Command, Shortcut> value)
{
    bindings_ = std::move(value);
    stored("bindings", json::encodeCommandMap(bindings_), Then::keys);
}

void Preferences::setMaxTiles(int value)
{
    maxTiles_ = value;
    stored("maxTiles", Json(value), Then::arrange);
}

void Preferences::setStripSlots(std::map<std::string, int> value)
{
    stripSlots_ = std::move(value);
    stored("stripSlots", encodeMap(stripSlots_, [](int v) { return Json(v); }), Then::arrange);
}

void Preferences::setStripSwipeFingers(int value)
{
    stripSwipeFingers_ = value;
    stored("stripSwipeFingers", Json(value), Then::arrange);
}

void Preferences::setWindowGap(int value)
{
    windowGap_ = value;
    stored("windowGap", Json(value), Then::arrange);
}

void Preferences::setMainShare(double value)
{
    mainShare_ = value;
    stored("mainShare", Json(value), Then::arrange);
}

void Preferences::setReservedEdges(std::map<std::string, int> value)
{
    reservedEdges_ = std::move(value);
    stored("reservedEdges", encodeMap(reservedEdges_, [](int v) { return Json(v); }), Then::arrange);
}

void Preferences::setHighlight(WindowHighlight value)
{
    highlight_ = value;
    stored("highlight", encodeCase(value), Then::nothing);
}

void Preferences::setDisplaysOff(std::set<std::string> value)
{
    displaysOff_ = std::move(value);
    stored("displaysOff", encodeTexts(displaysOff_), Then::arrange);
}

void Preferences::setKeepsOriginalHeight(bool value)
{
    keepsOriginalHeight_ = value;
    stored("keepsOriginalHeight", Json(value), Then::arrange);
}

void Preferences::setFocusFollowsMouse(bool value)
{
    focusFollowsMouse_ = value;
    stored("focusFollowsMouse", Json(value), Then::nothing);
}

void Preferences::setMouseFollowsFocus(bool value)
{
    mouseFollowsFocus_ = value;
    stored("mouseFollowsFocus", Json(value), Then::nothing);
}

void Preferences::setExtraBindings(std::map<Command, std::vector<Shortcut>> value)
{
    extraBindings_ = std::move(value);
    stored("extraBindings", json::encodeCommandMap(extraBindings_), Then::keys);
}

void Preferences::setStripCenter(Strip::CenterMode value)
{
    stripCenter_ = value;
    stored("stripCenter", encodeCase(value), Then::arrange);
}

void Preferences::setNoPeekDarkness(double value)
{
    noPeekDarkness_ = value;
    stored("noPeekDarkness", Json(value), Then::nothing);
}

void Preferences::setNoPeekBlur(bool value)
{
    noPeekBlur_ = value;
    stored("noPeekBlur", Json(value), Then::nothing);
}

void Preferences::setHighlightColor(Color value)
{
    highlightColor_ = value;
    const std::optional<std::string> text = hex(value);
    stored("highlightColor", text ? std::optional<Json>(*text) : std::nullopt, Then::nothing);
}

void Preferences::setGridFollowsCount(bool value)
{
    gridFollowsCount_ = value;
    stored("gridFollowsCount", Json(value), Then::arrange);
}

void Preferences::setFocusHidesOthers(bool value)
{
    focusHidesOthers_ = value;
    stored("focusHidesOthers", Json(value), Then::nothing);
}

void Preferences::setSavesSafariTabs(bool value)
{
    savesSafariTabs_ = value;
    stored("savesSafariTabs", Json(value), Then::nothing);
}

void Preferences::setSwitcherEnabled(bool value)
{
    switcherEnabled_ = value;
    stored("switcherEnabled", Json(value), Then::nothing);
}

void Preferences::setRemembersLayouts(bool value)
{
    remembersLayouts_ = value;
    stored("remembersLayouts", Json(value), Then::nothing);
}

void Preferences::setMainWindows(std::map<std::string, std::vector<std::string>> value)
{
    mainWindows_ = std::move(value);
    store_.set("mainWindows", encodeMap(mainWindows_, [](const std::vector<std::string>& texts) {
                   return Json(texts);
               }));
}

void Preferences::setMinimumSizes(std::map<std::string, Size> value)
{
    minimumSizes_ = std::move(value);
    store_.set("minimumSizes", encodeMap(minimumSizes_, [](Size size) { return json::encode(size); }));
}

void Preferences::setNoPeekOn(bool value)
{
    noPeekOn_ = value;
    announce("noPeekOn");
}

void Preferences::setCleanSpaceOn(bool value)
{
    cleanSpaceOn_ = value;
    announce("cleanSpaceOn");
}

void Preferences::setShortcutTaken(bool value)
{
    shortcutTaken_ = value;
    announce("shortcutTaken");
}

void Preferences::setOpensAtLogin(bool on)
{
    // A refusal is not reported: the status read back tells the truth.
    if (on)
        (void)loginItem_.registerItem();
    else
        (void)loginItem_.unregisterItem();
    opensAtLogin_ = loginItem_.status() == LoginItemStatus::enabled;
    announce("opensAtLogin");
}

GridPlan Preferences::plan(std::string_view displayName) const
{
    if (const auto it = gridPlans_.find(std::string(displayName)); it != gridPlans_.end())
        return it->second;
    return GridPlan::presets().front().plan;
}

Shortcut Preferences::key(Command command) const
{
    if (const auto it = bindings_.find(command); it != bindings_.end())
        return it->second;
    return standard(command);
}

std::optional<Command> Preferences::clash(Command command) const
{
    const CommandScope own = scope(command);
    const Shortcut shortcut = key(command);
    for (Command other : allCommands) {
        if (other == command || !activeTogether(own, scope(other)))
            continue;
        if (key(other) == shortcut)
            return other;
    }
    return std::nullopt;
}

} // namespace kavelo
