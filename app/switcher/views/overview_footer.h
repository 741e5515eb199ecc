#pragma once

// The overview's footer: four key hints ("Return Open", "←→↑↓ Choose",
// "Super+1–4 Filter", "Esc Close") and, while a permission is missing, the
// button "Some windows may be missing". Centred, 18 apart.

#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace kavelo {

class KeyCap;

class OverviewFooter : public QWidget {
public:
    static constexpr double spacing = 18;
    static constexpr double hintSpacing = 6;
    static constexpr double fontSize = 12.5;
    static constexpr double buttonLeading = 6;

    OverviewFooter(std::function<void()> fixPermissions, QWidget* parent = nullptr);

    // Key label and action label of each hint.
    static const std::vector<std::pair<QString, QString>>& hints();
    static QString permissionTitle();

    void setShowsPermission(bool shows);
    bool showsPermission() const { return showsPermission_; }
    // The button's frame while shown, else empty.
    QRectF permissionButton() const { return button_; }
    const std::vector<KeyCap*>& keyCaps() const { return caps_; }
    // Where each action label is drawn.
    const std::vector<QRectF>& labels() const { return labels_; }

    int preferredHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void relayout();

    std::function<void()> fixPermissions_;
    std::vector<KeyCap*> caps_;
    std::vector<QRectF> labels_;
    QRectF button_;
    bool showsPermission_ = false;
    bool pressed_ = false;
};

} // namespace kavelo
