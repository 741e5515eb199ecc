#pragma once

// The welcome window's content, fixed at 540 × 740 and always dark: the
// greeting, the two permissions, the choice of arrange mode, three key
// tips, and "Get Started", which hands the end of onboarding back to the
// shell. Return anywhere in the window is "Get Started". It keeps no state:
// everything shown follows the watcher and the settings, and the keys it
// names are only those no other program holds.

#include "app/platform/handle.h"
#include "app/services/held_keys.h"
#include "app/services/signal.h"
#include "app/settings/permission_actions.h"
#include "app/ui/glass.h"
#include "app/ui/spring.h"

#include <QString>

#include <functional>

class QHBoxLayout;
class QLabel;

namespace kavelo {

class ArrangeModeCards;
class KeyCap;
class PermissionsPage;
class PillButton;
class Preferences;
class WindowFacade;

class WelcomeView : public GlassBackground {
public:
    WelcomeView(PermissionWatcher& watcher, Preferences& preferences, PermissionActions permissions,
                AnimationTime time, std::function<void()> finish, QWidget* parent = nullptr);
    ~WelcomeView() override;

    // Names only the keys no other program holds, as `held` says from now on.
    void follow(Published<HeldKeys>& held);

    WindowFacade* facade() const { return facade_; }
    QLabel* title() const { return title_; }
    QLabel* subtitle() const { return subtitle_; }
    PermissionsPage* permissions() const { return permissions_; }
    QWidget* arrangeChoice() const { return arrangeChoice_; }
    ArrangeModeCards* modeCards() const { return cards_; }
    QWidget* tips() const { return tips_; }
    // The tips that name the switching and undo keys; hidden while their
    // keys are held elsewhere.
    QWidget* switchTip() const { return switchTip_; }
    QWidget* undoTip() const { return undoTip_; }
    QLabel* finishText() const { return finishText_; }
    QWidget* finishRow() const { return finishRow_; }
    KeyCap* shortcutCap() const { return shortcutCap_; }
    KeyCap* switchCap() const { return switchCap_; }
    KeyCap* wheelCap() const { return wheelCap_; }
    KeyCap* undoCap() const { return undoCap_; }
    PillButton* getStarted() const { return getStarted_; }

    static constexpr int width = 540;
    static constexpr int height = 740;
    static constexpr int paddingH = 30;
    static constexpr int paddingBottom = 24;
    static constexpr int facadeTop = 42;
    static constexpr int titleTop = 20;
    static constexpr int subtitleTop = 6;
    static constexpr int permissionsTop = 28;
    static constexpr int arrangeTop = 14;
    static constexpr int arrangeSpacing = 9;
    static constexpr int tipsSpacing = 14;
    static constexpr int tipSpacing = 5;
    static constexpr int minimumGap = 10;
    static constexpr int finishSpacing = 10;
    static constexpr double titleSize = 30;
    static constexpr double titleTracking = -0.6;
    static constexpr double subtitleSize = 14;
    static constexpr double questionSize = 13;
    static constexpr double tipSize = 11.5;
    static constexpr double finishSize = 13;

private:
    // One key tip, added to `tips`; its key cap.
    KeyCap* tip(QHBoxLayout* tips, const QString& verb);
    // The key caps from the keys as bound now, only those no other
    // program holds.
    void showKeys();

    Preferences& preferences_;
    std::function<void()> finish_;
    WindowFacade* facade_;
    QLabel* title_;
    QLabel* subtitle_;
    PermissionsPage* permissions_;
    QWidget* arrangeChoice_;
    ArrangeModeCards* cards_;
    QWidget* tips_;
    QWidget* switchTip_;
    QWidget* undoTip_;
    QLabel* finishText_;
    HeldKeys held_;
    Handle heldChanges_;
    QWidget* finishRow_;
    KeyCap* shortcutCap_;
    KeyCap* switchCap_;
    KeyCap* wheelCap_;
    KeyCap* undoCap_;
    PillButton* getStarted_;
    Handle changes_;
};

} // namespace kavelo
