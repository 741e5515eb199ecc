#pragma once

// A warning line: the warning triangle and a text that wraps, in orange.

#include <QString>
#include <QWidget>

class QLabel;

namespace kavelo {

class WarningLabel : public QWidget {
public:
    explicit WarningLabel(const QString& text, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLabel* textLabel() const { return text_; }

    static constexpr double fontSize = 12.5;
    static constexpr int spacing = 6;

private:
    QLabel* text_;
};

} // namespace kavelo
