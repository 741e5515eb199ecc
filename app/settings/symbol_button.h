#pragma once

// A plain button that is only a symbol, in the secondary colour, with its
// help text as tool tip and accessible name.

#include <QAbstractButton>

#include <string>

namespace kavelo {

class SymbolButton : public QAbstractButton {
public:
    SymbolButton(std::string symbol, const QString& help, QWidget* parent = nullptr);

    const std::string& symbol() const { return symbol_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr double size = 13;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string symbol_;
};

} // namespace kavelo
