#pragma once

// One key or key combination in help texts and tips ("Alt+Tab", "Esc"), on a
// small rounded plate. Always drawn for the dark scheme; a cap given less
// than its width ends its text in an ellipsis.

#include <QString>
#include <QWidget>

namespace kavelo {

class KeyCap : public QWidget {
public:
    explicit KeyCap(QString text, QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(QString text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr double fontSize = 12;
    static constexpr double horizontalPadding = 7;
    static constexpr double verticalPadding = 3;
    static constexpr double cornerRadius = 6;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

} // namespace kavelo
