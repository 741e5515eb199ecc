#pragma once

// The button that records a key combination into a shortcut. Pressed, it
// shows "Press keys…" and takes the next key press the application gets:
// a usable combination is stored through the binding, any other shows a
// hint under the button and recording goes on, Escape ends it. While it
// records, the settings say so and the shell registers no global hot key,
// and the recorder's window holds the keyboard, so a combination another
// program grabs reaches it too.
//
// One painted widget: the capsule at the top right and, after a refused
// combination, the hint below it.

#include "app/settings/binding.h"
#include "core/shortcut.h"

#include <QAbstractButton>

class QKeyEvent;

namespace kavelo {

class Keyboard;
class Preferences;
class ShortcutRecorder;

// At most one recorder of a window records: starting one stops the one
// recording before it, so none of them turns the hot keys back on while
// another still listens.
class RecorderTurns {
public:
    RecorderTurns() = default;
    RecorderTurns(const RecorderTurns&) = delete;
    RecorderTurns& operator=(const RecorderTurns&) = delete;

    ShortcutRecorder* current() const { return current_; }
    void begin(ShortcutRecorder& recorder);
    void end(ShortcutRecorder& recorder);

private:
    ShortcutRecorder* current_ = nullptr;
};

class ShortcutRecorder : public QAbstractButton {
public:
    // `keyboard` names the key behind a scan code; `turns`, when given, is
    // shared by every recorder of the window. `startsListening`: record as
    // soon as the recorder first appears.
    ShortcutRecorder(Binding<Shortcut> shortcut, Preferences& preferences, const Keyboard& keyboard,
                     bool startsListening, RecorderTurns* turns = nullptr, QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    // Does nothing while recording already.
    void start();
    // Only while recording. Leaves the hint as it is.
    void stop();

    bool recording() const { return recording_; }
    bool rejected() const { return rejected_; }
    bool startsListening() const { return startsListening_; }
    // The capsule's text: "Press keys…" while recording, else the label.
    QString label() const;
    Shortcut shortcut() const { return shortcut_.get(); }

    // Where the capsule and the hint lie.
    QRect capsuleRect() const;
    QRect hintRect() const;   // empty while no hint shows

    // The bound shortcut changed elsewhere.
    void refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static QString listeningText() { return QStringLiteral("Press keys…"); }
    static QString hintText() { return QStringLiteral("Include Ctrl, Alt or Super, or use an F key."); }
    static constexpr int escapeKeyCode = 53;
    static constexpr double fontSize = 12.5;
    static constexpr double hintSize = 10;
    static constexpr double horizontalPadding = 10;
    static constexpr double verticalPadding = 5;
    static constexpr int minimumWidth = 84;
    static constexpr double cornerRadius = 7;
    static constexpr double idleOpacity = 0.08;
    static constexpr int spacing = 4;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void keyPressed(const QKeyEvent& event);
    // Stops recording without showing it.
    void release();
    QSize capsuleSize() const;
    QSize hintExtent() const;
    // Shows the current text and size.
    void sync();

    Binding<Shortcut> shortcut_;
    Preferences& preferences_;
    const Keyboard& keyboard_;
    RecorderTurns* turns_;
    bool recording_ = false;
    bool rejected_ = false;
    // The application-wide key filter is installed.
    bool monitoring_ = false;
    bool startsListening_;
};

} // namespace kavelo
