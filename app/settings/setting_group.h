#pragma once

// A group of settings rows: an optional title above a rounded card whose
// rows are separated by hairlines, and an optional footer below that wraps.

#include "app/ui/theme.h"

#include <QRect>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace kavelo {

// The rows of a group, top to bottom, with a 1-point divider inset 16 from
// the leading edge after every shown row but the last shown one. Rows that
// are hidden take no room and get no divider.
class DividedRows : public QWidget {
public:
    explicit DividedRows(QWidget* parent = nullptr);

    // Takes the row.
    void addRow(QWidget* row);
    std::vector<QWidget*> rows() const { return rows_; }

    // Where the dividers lie now.
    std::vector<QRect> dividers() const;

    static constexpr int dividerHeight = 1;
    static constexpr int dividerInset = 16;
    static constexpr double dividerOpacity = 0.07;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVBoxLayout* layout_;
    std::vector<QWidget*> rows_;
};

class SettingGroup : public QWidget {
public:
    explicit SettingGroup(std::optional<QString> title = std::nullopt, std::optional<QString> footer = std::nullopt,
                          QWidget* parent = nullptr);

    // Takes the row.
    void addRow(QWidget* row) { rows_->addRow(row); }

    QWidget* card() const { return card_; }
    DividedRows* rows() const { return rows_; }
    QLabel* titleLabel() const { return title_; }     // null without a title
    QLabel* footerLabel() const { return footer_; }   // null without a footer

    // Dark unless told otherwise; the rows keep their own colours.
    void setColorScheme(ColorScheme scheme);

    static constexpr int spacing = 8;
    static constexpr double cornerRadius = 14;
    static constexpr double cardOpacity = 0.05;
    static constexpr double titleSize = 13;
    static constexpr double footerSize = 12;
    static constexpr int textInset = 4;

private:
    QLabel* title_ = nullptr;
    QWidget* card_;
    DividedRows* rows_;
    QLabel* footer_ = nullptr;
};

} // namespace kavelo
