#include "app/settings/recorded_key.h"
#include "app/settings/shortcut_recorder.h"
#include "app/ui/capture.h"
#include "app/ui/theme.h"
#include "settings/recording.h"
#include "settings/settings_world.h"

#include <QAction>
#include <QKeyEvent>


namespace kavelo::testing {
namespace {

using Recorder = kavelo::ShortcutRecorder;

constexpr Shortcut controlOptionA{0, Shortcut::control | Shortcut::option};
constexpr Shortcut f5{96, 0};

struct ShortcutRecording : ::testing::Test, SettingsWorld {
    ShortcutRecording()
    {
        recorder = add(&value);
        window.showFocused();
    }

    Recorder* add(Shortcut* target, RecorderTurns* shared = nullptr)
    {
        auto* made = new Recorder({[target] { return *target; }, [target](Shortcut s) { *target = s; }}, prefs,
                                          sim.keyboard(), false, shared, &window);
        window.layout()->addWidget(made);
        made->show();
        return made;
    }
    void click(Recorder* r) { QTest::mouseClick(r, Qt::LeftButton, {}, r->capsuleRect().center()); }
    QLineEdit* field() { return window.field; }

    ShellKeys keys{prefs};
    Shortcut value{122, 0};   // F1
    KeyWindow window;
    Recorder* recorder;
};


TEST_F(ShortcutRecording, RefusesShiftAAndALoneStoresControlOptionAAndAnFKeyAlone)
{
    EXPECT_EQ(recorder->label(), "F1");
    click(recorder);
    ASSERT_TRUE(recorder->recording());
    EXPECT_EQ(recorder->label(), Recorder::listeningText());

    // Holding a modifier is no attempt: no hint yet.
    press(field(), Qt::Key_Control, Qt::ControlModifier);
    press(field(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_FALSE(recorder->rejected());

    press(field(), Qt::Key_A, Qt::ShiftModifier);
    EXPECT_TRUE(recorder->rejected());
    EXPECT_TRUE(recorder->recording());
    EXPECT_FALSE(recorder->hintRect().isEmpty());
    press(field(), Qt::Key_A);
    EXPECT_TRUE(recorder->recording());
    EXPECT_EQ(value, (Shortcut{122, 0}));

    press(field(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(value, controlOptionA);
    EXPECT_FALSE(recorder->recording());
    EXPECT_EQ(recorder->label(), "Ctrl+Alt+A");

    click(recorder);
    EXPECT_FALSE(recorder->rejected());   // the next start clears the hint
    press(field(), Qt::Key_F5);
    EXPECT_EQ(value, f5);
    EXPECT_FALSE(recorder->recording());

    // Super is command; keys past the tables are refused.
    click(recorder);
    press(field(), Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(value, (Shortcut{40, Shortcut::command | Shortcut::shift}));
    click(recorder);
    press(field(), Qt::Key_Semicolon, Qt::ControlModifier);
    EXPECT_TRUE(recorder->rejected());
    EXPECT_TRUE(recorder->recording());
    EXPECT_TRUE(field()->text().isEmpty());
}

TEST_F(ShortcutRecording, EscapeEndsKeepsTheShortcutAndTheHintStaysUntilTheNextStart)
{
    click(recorder);
    press(field(), Qt::Key_A, Qt::ShiftModifier);
    ASSERT_TRUE(recorder->rejected());
    press(field(), Qt::Key_Escape);
    EXPECT_FALSE(recorder->recording());
    EXPECT_EQ(value, (Shortcut{122, 0}));
    EXPECT_TRUE(recorder->rejected());
    EXPECT_FALSE(recorder->hintRect().isEmpty());

    // Escape with modifiers ends it too and is never stored.
    click(recorder);
    EXPECT_FALSE(recorder->rejected());
    EXPECT_TRUE(recorder->hintRect().isEmpty());
    press(field(), Qt::Key_Escape, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(recorder->recording());
    EXPECT_EQ(value, (Shortcut{122, 0}));
}

TEST_F(ShortcutRecording, StartAndStopTellTheShellAndKeysReachNothingElseMeanwhile)
{
    int fired = 0;
    auto* action = new QAction(&window);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A));
    action->setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(action);
    QObject::connect(action, &QAction::triggered, [&] { ++fired; });
    press(field(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(fired, 1) << "the window shortcut works before recording";

    click(recorder);
    EXPECT_TRUE(prefs.isRecording());
    EXPECT_EQ(keys.calls, std::vector<bool>{true});
    EXPECT_EQ(QWidget::keyboardGrabber(), recorder);
    // A second start neither tells the shell again nor adds a second filter.
    recorder->start();
    EXPECT_EQ(keys.calls, std::vector<bool>{true});

    press(field(), Qt::Key_B);
    press(field(), Qt::Key_A, Qt::ShiftModifier);
    EXPECT_TRUE(field()->text().isEmpty());
    press(field(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(value, controlOptionA);
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_EQ(keys.calls, (std::vector<bool>{true, false}));

    // Once stopped, every key goes where it went before.
    press(field(), Qt::Key_B);
    EXPECT_EQ(field()->text(), "b");
    press(field(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(fired, 2);
    recorder->stop();
    EXPECT_EQ(keys.calls.size(), 2u);
}

TEST_F(ShortcutRecording, APressWhileRecordingStopsWithoutStoring)
{
    click(recorder);
    ASSERT_TRUE(recorder->recording());
    click(recorder);
    EXPECT_FALSE(recorder->recording());
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_EQ(value, (Shortcut{122, 0}));
    // A press outside the capsule is no press.
    QTest::mouseClick(recorder, Qt::LeftButton, {}, QPoint(1, recorder->height() + 2));
    EXPECT_FALSE(recorder->recording());
}

TEST_F(ShortcutRecording, HidingClosingOrLeavingTheWindowStopsAndLetsKeysThrough)
{
    const auto expectReleased = [&](const char* how) {
        EXPECT_FALSE(recorder->recording()) << how;
        EXPECT_FALSE(prefs.isRecording()) << how;
        ASSERT_FALSE(keys.calls.empty());
        EXPECT_FALSE(keys.calls.back()) << how;
        EXPECT_EQ(QWidget::keyboardGrabber(), nullptr) << how;
        window.showFocused();
        field()->clear();
        press(field(), Qt::Key_X);
        EXPECT_EQ(field()->text(), "x") << how;
    };

    recorder->start();
    window.hide();
    expectReleased("hidden");

    recorder->start();
    window.close();
    expectReleased("closed");

    recorder->start();
    KeyWindow other;
    other.showFocused();
    if (QApplication::activeWindow() != &other) {
        QEvent leave(QEvent::WindowDeactivate);
        QApplication::sendEvent(&window, &leave);
    }
    expectReleased("deactivated");

    // The recorder itself hidden, as when its row goes away.
    recorder->start();
    recorder->hide();
    expectReleased("recorder hidden");
}

TEST_F(ShortcutRecording, StartingASecondRecorderStopsTheFirst)
{
    RecorderTurns turns;
    Shortcut second{120, 0};   // F2
    auto* a = add(&value, &turns);
    auto* b = add(&second, &turns);
    a->start();
    b->start();
    EXPECT_FALSE(a->recording());
    EXPECT_TRUE(b->recording());
    EXPECT_EQ(turns.current(), b);
    EXPECT_TRUE(prefs.isRecording());
    press(field(), Qt::Key_F6);
    EXPECT_EQ(second, (Shortcut{97, 0}));
    EXPECT_EQ(value, (Shortcut{122, 0}));
    EXPECT_EQ(turns.current(), nullptr);

    // A recorder that goes away while recording gives its turn and the
    // hot keys back.
    a->start();
    delete a;
    EXPECT_EQ(turns.current(), nullptr);
    EXPECT_FALSE(prefs.isRecording());
    EXPECT_FALSE(keys.calls.back());
    press(field(), Qt::Key_Y);
    EXPECT_EQ(field()->text(), "y");
}

TEST_F(ShortcutRecording, KeyCodesComeFromTheScanCodeWhenThereIsOne)
{
    // The key at the US Z place types Y on a German layout: Qt names the
    // character, the scan code the place.
    struct GermanPlaces : Keyboard {
        std::vector<std::string> layouts() const override { return {"de"}; }
        std::optional<std::string> currentLayout() const override { return "de"; }
        std::optional<std::string> translate(std::string_view, std::uint16_t) const override { return {}; }
        std::optional<std::uint16_t> keyCode(std::uint32_t scan) const override
        {
            if (scan == 52)
                return 6;
            return std::nullopt;
        }
    } german;
    Recorder placed({[this] { return value; }, [this](Shortcut s) { value = s; }}, prefs, german, false);
    const auto send = [&](std::uint32_t scan) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier, scan, 0, 0, "y");
        QApplication::sendEvent(field(), &event);
    };
    placed.start();
    send(52);
    EXPECT_EQ(value, (Shortcut{6, 0x1800}));
    // Without a scan code, Qt's key on its US place.
    placed.start();
    send(0);
    EXPECT_EQ(value, (Shortcut{16, 0x1800}));
    // A scan code no place is known for: refused, whatever Qt calls it.
    placed.start();
    send(200);
    EXPECT_TRUE(placed.rejected());
    EXPECT_TRUE(placed.recording());
    placed.stop();
}

TEST(RecordedKey, UsPlacesNameTheKeysTheLabelsName)
{
    // Letters, digits and F keys land where the shortcut labels name them.
    for (int i = 0; i < 26; ++i) {
        const auto code = RecordedKey::usKeyCode(Qt::Key_A + i);
        ASSERT_TRUE(code);
        EXPECT_EQ((Shortcut{*code, 0}).label(), std::string(1, char('A' + i)));
    }
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ((Shortcut{*RecordedKey::usKeyCode(Qt::Key_0 + i), 0}).label(), std::string(1, char('0' + i)));
    for (int i = 0; i < 12; ++i) {
        const Shortcut f{*RecordedKey::usKeyCode(Qt::Key_F1 + i), 0};
        EXPECT_EQ(f.label(), "F" + std::to_string(i + 1));
        EXPECT_TRUE(f.isUsable());
    }
    // Shifted signs are their key's place; Space, Tab, arrows and Escape
    // are the codes the rest of the program uses.
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Plus), RecordedKey::usKeyCode(Qt::Key_Equal));
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Exclam), RecordedKey::usKeyCode(Qt::Key_1));
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_BraceRight), 30);
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Space), 49);
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Tab), 48);
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Escape), Recorder::escapeKeyCode);
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Left), 123);
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Up), 126);
    EXPECT_EQ(RecordedKey::usKeyCode(Qt::Key_Shift), std::nullopt);

    EXPECT_EQ(RecordedKey::modifiers(Qt::ControlModifier | Qt::AltModifier), 0x1800);
    EXPECT_EQ(RecordedKey::modifiers(Qt::MetaModifier | Qt::ShiftModifier), 0x300);
    EXPECT_EQ(RecordedKey::modifiers(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0);
    EXPECT_TRUE(RecordedKey::isModifierKey(Qt::Key_Super_L));
    EXPECT_TRUE(RecordedKey::isModifierKey(Qt::Key_CapsLock));
    EXPECT_FALSE(RecordedKey::isModifierKey(Qt::Key_F5));
}

TEST_F(ShortcutRecording, PaintsTheCapsuleInTheAccentWhileRecordingAndTheHintBelow)
{
    const QImage idle = Capture::render(*recorder);
    const QRect capsule = recorder->capsuleRect();
    EXPECT_GE(capsule.width(), Recorder::minimumWidth);
    EXPECT_EQ(pixelsNear(idle, capsule, Theme::lit(), 30), 0);

    recorder->start();
    press(field(), Qt::Key_A);
    QApplication::processEvents();
    const QImage listening = Capture::render(*recorder);
    EXPECT_GT(pixelsNear(listening, recorder->capsuleRect(), Theme::lit(), 30), capsule.width() * 10);
    EXPECT_GT(recorder->hintRect().top(), recorder->capsuleRect().bottom());
    EXPECT_GE(recorder->width(), recorder->hintRect().width());
    recorder->stop();
}

} // namespace
} // namespace kavelo::testing
