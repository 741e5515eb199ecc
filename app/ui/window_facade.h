#pragma once

// The application's icon on a 96 × 96 tile with a soft amber glow below it:
// the header picture of the welcome window.

#include <QIcon>
#include <QWidget>

namespace kavelo {

class WindowFacade : public QWidget {
public:
    explicit WindowFacade(QWidget* parent = nullptr);

    // The application's window icon; an empty icon draws nothing.
    QIcon icon() const;

    QSize sizeHint() const override { return QSize(side, side); }

    static constexpr int side = 96;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kavelo
