#pragma once

// What the shortcut recorder tests share: a stand-in for the shell's key
// registration that notes every call and whether recording was on, and a
// window that holds a recorder next to a text field, so keys that escape
// the recorder show up as typed text.

#include "app/services/preferences.h"
#include "app/settings/shortcut_recorder.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <vector>

namespace kavelo::testing {

// Installed as `onKeysChange`: each call's view of `isRecording`.
struct ShellKeys {
    explicit ShellKeys(Preferences& prefs) : prefs(prefs)
    {
        prefs.onKeysChange = [this] { calls.push_back(this->prefs.isRecording()); };
    }
    ~ShellKeys() { prefs.onKeysChange = nullptr; }
    Preferences& prefs;
    std::vector<bool> calls;
};

// Types one combination at `target`, as the keyboard would deliver it.
inline void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(target, key, modifiers);
}

// A top-level window with a text field that has the focus.
class KeyWindow : public QWidget {
public:
    KeyWindow()
    {
        auto* layout = new QHBoxLayout(this);
        field = new QLineEdit(this);
        layout->addWidget(field);
        resize(600, 120);
    }
    void showFocused()
    {
        show();
        activateWindow();
        field->setFocus();
        QApplication::processEvents();
    }
    QLineEdit* field;
};

} // namespace kavelo::testing
