#pragma once

// The small painted controls the menu panel is made of: the large action
// tiles, the quick toggle tiles, notices, section headers and the workflow
// rows. Each paints itself in one widget; the panel lays them out.

#include <QAbstractButton>
#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace kavelo {

class KeyCap;

// A large tile: the symbol, then the title with a key cap at its end, at
// least `gap` after it; a key cap too wide for that row stands beside the
// symbol instead. A tile narrower than even that cuts the key cap's text
// short, never the title or the gap.
class ActionTile : public QAbstractButton {
public:
    ActionTile(std::string symbol, const QString& title, const QString& key, QWidget* parent = nullptr);
    KeyCap* keyCap() const { return key_; }
    void setKey(const QString& key);
    QSize sizeHint() const override;
    // Where the title is drawn.
    QRectF titleRect() const;

    static constexpr double padding = 12;
    static constexpr double spacing = 14;
    static constexpr double gap = 8;
    static constexpr double symbolSize = 17;
    static constexpr double titleSize = 13.5;
    static constexpr double radius = 13;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::string symbol_;
    KeyCap* key_;
};

// Widths for tiles side by side that want `wanted` and share `room`: with
// room to spare, equal shares, none below what it wants; short of room,
// the widest are cut to one width, so the narrow keep theirs.
std::vector<int> shareRow(const std::vector<int>& wanted, int room);

// A small toggle-like tile: symbol over title, on the accent while on.
class QuickTile : public QAbstractButton {
public:
    QuickTile(std::string symbol, const QString& title, QWidget* parent = nullptr);
    bool isOn() const { return on_; }
    void setOn(bool on);
    QSize sizeHint() const override;

    static constexpr double symbolSize = 13;
    static constexpr double titleSize = 10.5;
    static constexpr double spacing = 3;
    static constexpr double verticalPadding = 6;
    static constexpr double radius = 9;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string symbol_;
    bool on_ = false;
};

// A line in the accent with its symbol before it, clickable across the
// panel's width.
class NoticeButton : public QAbstractButton {
public:
    NoticeButton(const QString& title, std::string symbol, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    static constexpr double fontSize = 12.5;
    static constexpr double horizontalPadding = 2;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string symbol_;
};

// A plain text button.
class TextButton : public QAbstractButton {
public:
    TextButton(const QString& text, double size, bool semibold, QColor color, QWidget* parent = nullptr);
    QColor color() const { return color_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double size_;
    bool semibold_;
    QColor color_;
};

// A section's title with an optional control at its end.
class SectionHeader : public QWidget {
public:
    SectionHeader(const QString& title, QWidget* trailing = nullptr, QWidget* parent = nullptr);
    QLabel* titleLabel() const { return title_; }
    QWidget* trailing() const { return trailing_; }

    static constexpr double titleSize = 12;

private:
    QLabel* title_;
    QWidget* trailing_;
};

// A saved workflow's row button: its name, and the key cap of its slot.
class WorkflowRowButton : public QAbstractButton {
public:
    WorkflowRowButton(const QString& name, std::optional<QString> key, QWidget* parent = nullptr);
    KeyCap* keyCap() const { return key_; }
    QSize sizeHint() const override;

    static constexpr double nameSize = 13.5;
    static constexpr double horizontalPadding = 10;
    static constexpr double verticalPadding = 7;
    static constexpr double radius = 9;
    static constexpr double restOpacity = 0.05;
    static constexpr double pressedOpacity = 0.12;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    KeyCap* key_ = nullptr;
};

// The thin line between the options and the bottom row.
class PanelDivider : public QWidget {
public:
    explicit PanelDivider(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(1, 1); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kavelo
