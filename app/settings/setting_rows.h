#pragma once

// The rows of the settings groups: a title with an optional detail line and
// a trailing control; a row with a switch; a row for one system permission.
// They keep no state of their own: pages hand in what they show and what
// their controls do, and refresh them when the setting changes.

#include "app/settings/binding.h"
#include "app/settings/switch.h"
#include "app/ui/spring.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

namespace kavelo {

class PillButton;

class SettingRow : public QWidget {
public:
    // Takes the control.
    SettingRow(const QString& title, std::optional<QString> detail, QWidget* control, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    QLabel* detailLabel() const { return detail_; }   // null while no detail was ever shown
    QWidget* control() const { return control_; }
    // The detail line now, none while it is hidden.
    std::optional<QString> detail() const;
    // Shows, changes or hides the detail line.
    void setDetail(const std::optional<QString>& detail);

    // A row whose behaviour this desktop lacks: with a reason, the control
    // is disabled and faded and the reason, one line, stands in for the
    // detail; without one the row is live again. Shown, never hidden.
    void setUnavailable(const std::optional<QString>& reason);
    // The reason while the row is unavailable.
    std::optional<QString> unavailable() const { return reason_; }
    QLabel* reasonLabel() const { return reasonLabel_; }   // null until a reason was shown

    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 10;
    static constexpr int minimumHeight = 44;
    static constexpr int spacing = 16;
    static constexpr int minimumGap = 8;   // the spacer between text and control
    static constexpr int lineSpacing = 2;
    static constexpr double titleSize = 13.5;
    static constexpr double detailSize = 12;
    static constexpr double unavailableOpacity = 0.4;

protected:
    // Told after the row became unavailable or live again.
    virtual void availabilityChanged() {}

private:
    QLabel* title_;
    QLabel* detail_ = nullptr;
    QLabel* reasonLabel_ = nullptr;
    QWidget* control_;
    QWidget* text_;
    std::optional<QString> reason_;
    // The detail that was showing when the row became unavailable.
    bool detailHidden_ = false;
};

// A row whose control is the switch, bound to a setting. The row title is
// the only text: the switch has no label.
class ToggleRow : public SettingRow {
public:
    ToggleRow(const QString& title, std::optional<QString> detail, Binding<bool> isOn, QWidget* parent = nullptr);

    Switch* toggle() const { return switch_; }
    bool isOn() const;
    // Shows the bound value again, without writing it; off while the row is
    // unavailable.
    void refresh();

protected:
    void availabilityChanged() override { refresh(); }

private:
    Switch* switch_;
    Binding<bool> isOn_;
};

// The green "On" with a check mark that stands for a granted permission
// (or another word for a thing that is ready).
class GrantedLabel : public QWidget {
public:
    explicit GrantedLabel(QWidget* parent = nullptr);
    explicit GrantedLabel(QString word, QWidget* parent = nullptr);

    static QString text() { return QStringLiteral("On"); }
    QString word() const { return word_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr double fontSize = 13;
    static constexpr double spacing = 5;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString word_;
};

// A row for one permission: the green "On" once granted, else the
// prominent "Turn On" button that runs the action. A granted row offers no
// button, so the request cannot be made again from it.
class PermissionRow : public SettingRow {
public:
    PermissionRow(const QString& title, const QString& detail, bool granted, std::function<void()> action,
                  AnimationTime time, QWidget* parent = nullptr);

    bool granted() const { return granted_; }
    void setGranted(bool granted);

    PillButton* button() const { return button_; }
    GrantedLabel* grantedLabel() const { return label_; }

private:
    class Control;
    bool granted_;
    PillButton* button_;
    GrantedLabel* label_;
};

} // namespace kavelo
