#pragma once

// The engine's private steps and state, for tests that set up a strip the
// public operations cannot reach yet or call one step on its own.

#include "app/engine/arrange_engine.h"

namespace kavelo {

struct EngineProbe {
    static std::map<std::string, Strip>& strips(ArrangeEngine& e) { return e.strips_; }
    static std::map<std::string, double>& shown(ArrangeEngine& e) { return e.shown_; }
    static std::set<WindowID>& floated(ArrangeEngine& e) { return e.floated_; }
    static std::map<std::string, StripMemory>& memory(ArrangeEngine& e) { return e.memory_; }
    static std::map<std::string, std::vector<WindowID>>& autoOrder(ArrangeEngine& e) { return e.autoOrder_; }
    static std::map<std::string, ArrangeEngine::Waiting>& autoWaiting(ArrangeEngine& e) { return e.autoWaiting_; }

    static std::map<std::string, std::vector<WindowID>>& autoShown(ArrangeEngine& e) { return e.autoShown_; }
    static std::map<WindowID, std::string>& bundles(ArrangeEngine& e) { return e.bundles_; }
    static double wheelTravel(const ArrangeEngine& e) { return e.wheelTravel_; }
    static Seconds wheelSettled(const ArrangeEngine& e) { return e.wheelSettled_; }
    static bool wheelSlidePending(const ArrangeEngine& e) { return e.wheelSlide_.pending(); }
    static bool settlePending(const ArrangeEngine& e) { return e.settle_.pending(); }

    static std::optional<std::string> activeStrip(const ArrangeEngine& e) { return e.activeStrip(); }
    static std::optional<std::string> autoWheelKey(const ArrangeEngine& e, bool forward)
    {
        return e.autoWheelKey(forward);
    }
    static void beginPan(ArrangeEngine& e) { e.beginPan(); }
    static void pan(ArrangeEngine& e, double dx) { e.pan(dx); }
    static void endPan(ArrangeEngine& e, double velocity) { e.endPan(velocity); }
    static void swipe(ArrangeEngine& e, const SwipeEvent& event) { e.swipe(event); }
    static std::map<std::string, int>& autoOffset(ArrangeEngine& e) { return e.autoOffset_; }
    static const std::optional<std::string>& savedMemory(const ArrangeEngine& e) { return e.savedMemory_; }

    static void applyStrips(ArrangeEngine& e) { e.applyStrips(); }
    static void saveMemory(ArrangeEngine& e) { e.saveMemory(); }
    static void noteState(ArrangeEngine& e) { e.noteState(); }
    static ArrangeState currentState(const ArrangeEngine& e) { return e.currentState(); }
    static std::map<std::string, WindowID>& autoTabs(ArrangeEngine& e) { return e.autoTabs_; }
    static std::map<WindowID, Rect>& autoFrames(ArrangeEngine& e) { return e.autoFrames_; }
    static std::map<WindowID, Rect>& autoPlaced(ArrangeEngine& e) { return e.autoPlaced_; }
    static std::map<WindowID, Size>& sizeSuspects(ArrangeEngine& e) { return e.sizeSuspects_; }
    static bool toldWaiting(const ArrangeEngine& e) { return e.toldWaiting_; }
    static bool sizeCheckPending(const ArrangeEngine& e) { return e.sizeCheck_.pending(); }

    static void applyAuto(ArrangeEngine& e) { e.applyAuto(); }
    static void makeAutoStale(ArrangeEngine& e) { e.autoStale_ = true; }
    static bool slideAuto(ArrangeEngine& e, const std::string& key, bool forward) { return e.slideAuto(key, forward); }
    static void bringIn(ArrangeEngine& e, WindowID id) { e.bringIn(id); }
    static void learnSizes(ArrangeEngine& e) { e.learnSizes(); }
    static std::vector<WindowID> mainFirst(ArrangeEngine& e, const std::vector<WindowID>& order, const std::string& key)
    {
        return e.mainFirst(order, key);
    }
    static std::optional<StripMemoryWindow> described(const ArrangeEngine& e, WindowID id) { return e.described(id); }
    static GridPlan plan(const ArrangeEngine& e, const Screen& screen, int count) { return e.plan(screen, count); }
    static void step(ArrangeEngine& e) { e.step(); }
    static void release(ArrangeEngine& e, const std::vector<std::string>& keys) { e.release(keys); }
    static std::map<std::string, std::vector<WindowID>> candidates(ArrangeEngine& e) { return e.candidates(); }
    static ArrangeEngine::Waiting parkedWindows(const ArrangeEngine& e, const Strip& strip, const Screen& screen)
    {
        return e.parkedWindows(strip, screen);
    }
    static std::map<WindowID, Rect> keptHome(const ArrangeEngine& e, const std::map<WindowID, Rect>& frames,
                                             const Screen& screen, const Rect& area)
    {
        return e.keptHome(frames, screen, area);
    }
};

} // namespace kavelo
