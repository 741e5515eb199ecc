// The simulated desktop as JSON. Every field is written; on reading, a
// missing field takes its default and a field of the wrong type fails the
// whole load.

#include "app/platform/sim/sim_impl.h"
#include "core/json.h"

#include <cmath>
#include <set>

namespace kavelo {

namespace {

// A number a counter could never hand out a successor for.
template <class T>
T counted(T n, const char* what)
{
    if (!hasSuccessor(n))
        kavelo::json::fail(std::string(what) + " leaves no room for the next one");
    return n;
}

template <class T, class F>
T field(const Json& j, std::string_view key, T fallback, F read)
{
    const Json* found = kavelo::json::optionalMember(j, key);
    return found ? read(*found) : fallback;
}

std::optional<std::string> optionalText(const Json& j, std::string_view key)
{
    const Json* v = kavelo::json::optionalMember(j, key);
    if (!v)
        return std::nullopt;
    return kavelo::json::text(*v);
}

template <class T>
void putOptional(Json& j, const char* key, const std::optional<T>& value)
{
    if (value)
        j[key] = *value;
}

Json encodeDisplay(const SimDisplay& d)
{
    Json j{{"id", d.id},
                {"name", d.name},
                {"frame", kavelo::json::encode(d.frame)},
                {"menuBar", d.menuBar},
                {"dock", rawValue(d.dock)},
                {"dockSize", d.dockSize},
                {"vendor", d.vendor},
                {"model", d.model},
                {"serial", d.serial},
                {"desktops", d.desktops},
                {"currentDesktop", d.currentDesktop}};
    if (d.scale != 1)
        j["scale"] = d.scale;
    return j;
}

SimDisplay decodeDisplay(const Json& j)
{
    namespace J = kavelo::json;
    J::object(j);
    SimDisplay d;
    d.id = counted(J::integer<std::uint32_t>(J::member(j, "id")), "a display id");
    d.name = J::text(J::member(j, "name"));
    d.frame = J::rect(J::member(j, "frame"));
    d.menuBar = field(j, "menuBar", d.menuBar, J::number);
    d.dock = field(j, "dock", d.dock, [](const Json& v) { return J::enumeration<DockEdge>(v, DockEdge_from); });
    d.dockSize = field(j, "dockSize", d.dockSize, J::number);
    d.vendor = field(j, "vendor", d.vendor, J::integer<std::uint32_t>);
    d.model = field(j, "model", d.model, J::integer<std::uint32_t>);
    d.serial = field(j, "serial", d.serial, J::integer<std::uint32_t>);
    d.scale = field(j, "scale", d.scale, J::number);
    if (!(d.scale > 0) || !std::isfinite(d.scale))
        J::fail("a display's scale must be a positive number");
    for (const auto& desktop : J::array(J::member(j, "desktops")))
        d.desktops.push_back(counted(J::integer<std::uint64_t>(desktop), "a desktop number"));
    if (d.desktops.empty())
        J::fail("a display needs a desktop");
    d.currentDesktop = field(j, "currentDesktop", d.desktops.front(), J::integer<std::uint64_t>);
    if (std::find(d.desktops.begin(), d.desktops.end(), d.currentDesktop) == d.desktops.end())
        J::fail("the shown desktop is not one of the display's");
    return d;
}

Json encodeApp(const SimApp& a)
{
    Json j{{"pid", a.pid},
           {"policy", rawValue(a.policy)},
           {"hidden", a.hidden},
           {"answers", a.answers}};
    putOptional(j, "bundleID", a.bundleID);
    putOptional(j, "name", a.name);
    putOptional(j, "focused", a.focused);
    return j;
}

SimApp decodeApp(const Json& j)
{
    namespace J = kavelo::json;
    J::object(j);
    SimApp a;
    a.pid = counted(J::integer<std::int32_t>(J::member(j, "pid")), "a process identifier");
    a.bundleID = optionalText(j, "bundleID");
    a.name = optionalText(j, "name");
    a.policy = field(j, "policy", a.policy,
                     [](const Json& v) { return J::enumeration<ActivationPolicy>(v, ActivationPolicy_from); });
    a.hidden = field(j, "hidden", a.hidden, J::boolean);
    a.answers = field(j, "answers", a.answers, J::boolean);
    if (const Json* f = J::optionalMember(j, "focused"))
        a.focused = J::integer<WindowID>(*f);
    return a;
}

Json encodeWindow(const SimWindow& w)
{
    Json j{{"number", w.number},
           {"pid", w.pid},
           {"title", w.title},
           {"frame", kavelo::json::encode(w.frame)},
           {"minSize", kavelo::json::encode(w.minSize)},
           {"sizeIncrement", kavelo::json::encode(w.sizeIncrement)},
           {"refusesMoves", w.refusesMoves},
           {"declinesFocus", w.declinesFocus},
           {"sizeSettable", w.sizeSettable},
           {"defersWrites", w.defersWrites},
           {"deferSeconds", w.deferSeconds},
           {"minimized", w.minimized},
           {"fullScreen", w.fullScreen},
           {"numberReadable", w.numberReadable},
           {"accessible", w.accessible},
           {"desktop", w.desktop},
           {"allDesktops", w.allDesktops},
           {"layer", w.layer},
           {"alpha", w.alpha},
           {"visible", w.visible}};
    j["subrole"] = w.subrole ? Json(*w.subrole) : Json(nullptr);
    putOptional(j, "document", w.document);
    if (w.maxSize)
        j["maxSize"] = kavelo::json::encode(*w.maxSize);
    if (!w.pending.empty()) {
        Json pending = Json::array();
        for (const auto& p : w.pending)
            pending.push_back({{p.kind == SimWrite::Kind::position ? "position" : "size", Json{p.a, p.b}}});
        j["pending"] = pending;
    }
    return j;
}

SimWindow decodeWindow(const Json& j)
{
    namespace J = kavelo::json;
    J::object(j);
    SimWindow w;
    w.number = counted(J::integer<WindowID>(J::member(j, "number")), "a window number");
    if (w.number == 0)
        J::fail("window number 0");
    w.pid = J::integer<std::int32_t>(J::member(j, "pid"));
    w.title = field(j, "title", w.title, J::text);
    // A missing subrole is a standard window's; an explicit null is none.
    if (const Json* v = J::optionalMember(j, "subrole"))
        w.subrole = J::text(*v);
    else if (j.contains("subrole"))
        w.subrole = std::nullopt;
    w.document = optionalText(j, "document");
    w.frame = J::rect(J::member(j, "frame"));
    w.minSize = field(j, "minSize", w.minSize, J::size);
    if (const Json* v = J::optionalMember(j, "maxSize"))
        w.maxSize = J::size(*v);
    w.sizeIncrement = field(j, "sizeIncrement", w.sizeIncrement, J::size);
    w.refusesMoves = field(j, "refusesMoves", w.refusesMoves, J::boolean);
    w.declinesFocus = field(j, "declinesFocus", w.declinesFocus, J::boolean);
    w.sizeSettable = field(j, "sizeSettable", w.sizeSettable, J::boolean);
    w.defersWrites = field(j, "defersWrites", w.defersWrites, J::boolean);
    w.deferSeconds = field(j, "deferSeconds", w.deferSeconds, J::number);
    w.minimized = field(j, "minimized", w.minimized, J::boolean);
    w.fullScreen = field(j, "fullScreen", w.fullScreen, J::boolean);
    w.numberReadable = field(j, "numberReadable", w.numberReadable, J::boolean);
    w.accessible = field(j, "accessible", w.accessible, J::boolean);
    w.desktop = field(j, "desktop", w.desktop, J::integer<std::uint64_t>);
    w.allDesktops = field(j, "allDesktops", w.allDesktops, J::boolean);
    w.layer = field(j, "layer", w.layer, J::integer<std::int32_t>);
    w.alpha = field(j, "alpha", w.alpha, J::number);
    w.visible = field(j, "visible", w.visible, J::boolean);
    if (const Json* pending = J::optionalMember(j, "pending")) {
        for (const auto& p : J::array(*pending)) {
            J::object(p);
            if (const Json* v = J::optionalMember(p, "position")) {
                const Point pt = J::point(*v);
                w.pending.push_back({SimWrite::Kind::position, pt.x, pt.y});
            } else {
                const Size s = J::size(J::member(p, "size"));
                w.pending.push_back({SimWrite::Kind::size, s.width, s.height});
            }
        }
    }
    return w;
}

Json encodeRequest(const SimRequest& r)
{
    Json j{{"kind", r.kind}, {"urls", r.urls}, {"activates", r.activates}};
    putOptional(j, "location", r.location);
    return j;
}

SimRequest decodeRequest(const Json& j)
{
    namespace J = kavelo::json;
    J::object(j);
    SimRequest r;
    r.kind = J::text(J::member(j, "kind"));
    if (const Json* urls = J::optionalMember(j, "urls"))
        for (const auto& u : J::array(*urls))
            r.urls.push_back(J::text(u));
    r.location = optionalText(j, "location");
    r.activates = field(j, "activates", r.activates, J::boolean);
    return r;
}

} // namespace

Json encodeState(const SimState& s)
{
    Json j;
    j["ownPid"] = s.ownPid;
    j["ownBundleID"] = s.ownBundleID;
    j["bundlePath"] = s.bundlePath;
    j["info"] = s.info;
    j["trusted"] = s.trusted;
    j["asksPermissions"] = s.asksPermissions;
    j["captureAllowed"] = s.captureAllowed;
    j["captureGrantedOnRequest"] = s.captureGrantedOnRequest;
    j["reducedMotion"] = s.reducedMotion;
    j["blendsPanels"] = s.blendsPanels;
    j["loginItem"] = rawValue(s.loginItem);
    j["loginItemRefuses"] = s.loginItemRefuses;
    putOptional(j, "frontmost", s.frontmost);
    j["nextWindowNumber"] = s.nextWindowNumber;
    j["nextDesktop"] = s.nextDesktop;
    j["nextPid"] = s.nextPid;
    j["displays"] = Json::array();
    for (const auto& d : s.displays)
        j["displays"].push_back(encodeDisplay(d));
    j["apps"] = Json::array();
    for (const auto& a : s.apps)
        j["apps"].push_back(encodeApp(a));
    j["windows"] = Json::array();
    for (WindowID n : s.stack)
        j["windows"].push_back(encodeWindow(s.windows.at(n)));
    j["installed"] = Json::object();
    for (const auto& [bundleID, app] : s.installed) {
        Json a{{"location", app.location}};
        putOptional(a, "name", app.name);
        j["installed"][bundleID] = a;
    }
    j["preferences"] = Json::object();
    for (const auto& [domain, keys] : s.preferences)
        for (const auto& [key, value] : keys)
            j["preferences"][domain][key] = value;
    j["hotKeysTaken"] = Json::array();
    for (const auto& [code, modifiers] : s.hotKeysTaken)
        j["hotKeysTaken"].push_back(Json{code, modifiers});
    j["keyboardLayout"] = s.layout ? Json(*s.layout) : Json(nullptr);
    j["pointer"] = kavelo::json::encode(s.pointer);
    j["pressedButtons"] = s.pressedButtons;
    j["modifiers"] = {{"combinedSession", s.sessionFlags}, {"hidSystem", s.hidFlags}};
    j["trackpads"] = s.trackpads;
    j["browsers"] = Json::object();
    for (const auto& [bundleID, browser] : s.browsers) {
        Json windows = Json::array();
        for (const auto& w : browser.windows)
            windows.push_back({{"private", w.isPrivate}, {"tabs", w.tabs}});
        j["browsers"][bundleID] = {{"scriptable", browser.scriptable}, {"windows", windows}};
    }
    j["requests"] = Json::array();
    for (const auto& r : s.requests)
        j["requests"].push_back(encodeRequest(r));
    j["trustRequests"] = s.trustRequests;
    return j;
}

SimState decodeState(const Json& j)
{
    namespace J = kavelo::json;
    J::object(j);
    SimState s;
    s.ownPid = counted(field(j, "ownPid", s.ownPid, J::integer<std::int32_t>), "a process identifier");
    s.ownBundleID = field(j, "ownBundleID", s.ownBundleID, J::text);
    s.bundlePath = field(j, "bundlePath", s.bundlePath, J::text);
    if (const Json* info = J::optionalMember(j, "info"))
        for (const auto& [key, value] : J::object(*info).items())
            s.info[key] = J::text(value);
    s.trusted = field(j, "trusted", s.trusted, J::boolean);
    s.asksPermissions = field(j, "asksPermissions", s.asksPermissions, J::boolean);
    s.captureAllowed = field(j, "captureAllowed", s.captureAllowed, J::boolean);
    s.captureGrantedOnRequest = field(j, "captureGrantedOnRequest", s.captureGrantedOnRequest, J::boolean);
    s.reducedMotion = field(j, "reducedMotion", s.reducedMotion, J::boolean);
    s.blendsPanels = field(j, "blendsPanels", s.blendsPanels, J::boolean);
    s.loginItem = field(j, "loginItem", s.loginItem,
                        [](const Json& v) { return J::enumeration<LoginItemStatus>(v, LoginItemStatus_from); });
    s.loginItemRefuses = field(j, "loginItemRefuses", s.loginItemRefuses, J::boolean);
    if (const Json* f = J::optionalMember(j, "frontmost"))
        s.frontmost = J::integer<std::int32_t>(*f);

    std::set<std::uint32_t> displayIDs;
    std::set<std::string> names;
    std::set<std::uint64_t> desktops;
    std::uint64_t lastDesktop = 0;
    for (const auto& d : J::array(J::member(j, "displays"))) {
        SimDisplay display = decodeDisplay(d);
        if (!displayIDs.insert(display.id).second || !names.insert(display.name).second)
            J::fail("display ids and names must be unique");
        for (auto desktop : display.desktops) {
            if (!desktops.insert(desktop).second)
                J::fail("a desktop belongs to one display");
            lastDesktop = std::max(lastDesktop, desktop);
        }
        s.displays.push_back(std::move(display));
    }

    std::set<std::int32_t> pids;
    s.apps.clear();
    for (const auto& a : J::array(J::member(j, "apps"))) {
        SimApp app = decodeApp(a);
        if (!pids.insert(app.pid).second)
            J::fail("process identifiers must be unique");
        s.apps.push_back(std::move(app));
    }
    if (!pids.count(s.ownPid))
        s.apps.push_back(SimApp{.pid = s.ownPid,
                                .bundleID = s.ownBundleID,
                                .name = std::string("Kavelo"),
                                .policy = ActivationPolicy::accessory});
    if (s.frontmost && !pids.count(*s.frontmost))
        J::fail("the frontmost application does not run");

    WindowID lastNumber = 0;
    for (const auto& w : J::array(J::member(j, "windows"))) {
        SimWindow window = decodeWindow(w);
        if (!pids.count(window.pid) && window.pid != s.ownPid)
            J::fail("a window's application does not run");
        if (window.desktop != 0 && !desktops.count(window.desktop))
            J::fail("a window's desktop belongs to no display");
        if (s.windows.count(window.number))
            J::fail("window numbers must be unique");
        lastNumber = std::max(lastNumber, window.number);
        s.stack.push_back(window.number);
        s.windows.emplace(window.number, std::move(window));
    }
    // Every number below counted() has a successor, so none of these wrap.
    s.nextWindowNumber = std::max(field(j, "nextWindowNumber", WindowID(1), J::integer<WindowID>), lastNumber + 1);
    s.nextDesktop = std::max(field(j, "nextDesktop", std::uint64_t(1), J::integer<std::uint64_t>), lastDesktop + 1);
    // Our own process counts even when "apps" left it out, so no application gets its pid.
    std::int32_t lastPid = s.ownPid;
    for (auto pid : pids)
        lastPid = std::max(lastPid, pid);
    s.nextPid = std::max(field(j, "nextPid", s.nextPid, J::integer<std::int32_t>), lastPid + 1);

    if (const Json* installed = J::optionalMember(j, "installed"))
        for (const auto& [bundleID, app] : J::object(*installed).items())
            s.installed[bundleID] = SimInstalledApp{J::text(J::member(app, "location")), optionalText(app, "name")};
    if (const Json* prefs = J::optionalMember(j, "preferences"))
        for (const auto& [domain, keys] : J::object(*prefs).items())
            for (const auto& [key, value] : J::object(keys).items())
                s.preferences[domain][key] = value;
    if (const Json* taken = J::optionalMember(j, "hotKeysTaken"))
        for (const auto& pair : J::array(*taken)) {
            if (J::array(pair).size() != 2)
                J::fail("a hot key is a key code and a modifier mask");
            s.hotKeysTaken.insert({J::integer<std::uint32_t>(pair[0]), J::integer<std::uint32_t>(pair[1])});
        }
    // A missing layout is the default one; an explicit null is none.
    if (const Json* layout = J::optionalMember(j, "keyboardLayout"))
        s.layout = J::text(*layout);
    else if (j.contains("keyboardLayout"))
        s.layout = std::nullopt;
    s.pointer = field(j, "pointer", s.pointer, J::point);
    s.pressedButtons = field(j, "pressedButtons", s.pressedButtons, J::integer<std::uint32_t>);
    if (const Json* m = J::optionalMember(j, "modifiers")) {
        s.sessionFlags = field(*m, "combinedSession", s.sessionFlags, J::integer<std::uint64_t>);
        s.hidFlags = field(*m, "hidSystem", s.hidFlags, J::integer<std::uint64_t>);
    }
    s.trackpads = field(j, "trackpads", s.trackpads, J::integer<int>);
    if (const Json* browsers = J::optionalMember(j, "browsers"))
        for (const auto& [bundleID, b] : J::object(*browsers).items()) {
            SimBrowser browser;
            browser.scriptable = field(b, "scriptable", browser.scriptable, J::boolean);
            if (const Json* windows = J::optionalMember(b, "windows"))
                for (const auto& w : J::array(*windows)) {
                    SimBrowserWindow window;
                    window.isPrivate = field(w, "private", window.isPrivate, J::boolean);
                    if (const Json* tabs = J::optionalMember(w, "tabs"))
                        for (const auto& t : J::array(*tabs))
                            window.tabs.push_back(J::text(t));
                    browser.windows.push_back(std::move(window));
                }
            s.browsers[bundleID] = std::move(browser);
        }
    if (const Json* requests = J::optionalMember(j, "requests"))
        for (const auto& r : J::array(*requests))
            s.requests.push_back(decodeRequest(r));
    s.trustRequests = field(j, "trustRequests", s.trustRequests, J::integer<int>);
    return s;
}

} // namespace kavelo
