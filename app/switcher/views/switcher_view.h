#pragma once

// The whole content of the switcher panel: a header with the search state
// and a position counter, then the display map with its shelf while nothing
// is typed, the row of result cards while searching, or a no-match message.
// Dark glass in a rounded rectangle; it draws the model, never holds one.

#include "app/platform/handle.h"
#include "app/switcher/switcher_model.h"
#include "app/switcher/switcher_panel.h"
#include "app/switcher/views/switcher_card_row.h"
#include "app/switcher/views/switcher_map_view.h"
#include "app/switcher/views/switcher_pictures.h"
#include "app/switcher/views/switcher_shelf.h"
#include "app/ui/spring.h"

#include <QString>
#include <QWidget>

namespace kavelo {

class SwitcherView : public QWidget {
public:
    enum class Content { map, results, noMatch };

    static constexpr double padding = 14;
    static constexpr double spacing = 12;
    static constexpr double cornerRadius = 24;
    static constexpr double headerPadding = 6;
    static constexpr double headerSpacing = 8;
    static constexpr double symbolSize = 13;
    static constexpr double promptSize = 14;
    static constexpr double counterSize = 12;
    static constexpr double messageSize = 13;
    static constexpr double nightOpacity = 0.84;

    SwitcherView(SwitcherModel& model, SwitcherPictures::IconSource icons, AnimationTime time, SwitcherOpen open,
                 QWidget* parent = nullptr);

    // Without real translucency the glass is drawn opaque.
    void setOpaque(bool opaque);
    bool opaque() const { return opaque_; }

    // The panel went away: every picture made for drawing goes.
    void release();

    // Lays the content out for the model as it is now (done lazily after a
    // change; the panel asks before it shows).
    void ensureLayout();

    Content content();
    QString prompt() const;    // the header's text
    QString counter() const;   // "1 of 3", "No matches"
    QString message() const;   // the no-match text
    QRectF headerRect();

    SwitcherMapView* mapView() { return map_; }
    SwitcherShelf* shelf() { return shelf_; }
    SwitcherCardRow* row() { return row_; }
    SwitcherPictures& pictures() { return pictures_; }
    // Whether a part of the view is in use: parts not in use stay visible
    // at no size.
    static bool shows(const QWidget* part);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void changed(const SwitcherChange& change);
    static void place(QWidget* part, const QRect& area);
    double headerHeight() const;
    QRectF contentRect() const;   // below the header, for the row and the message

    SwitcherModel& model_;
    SwitcherPictures pictures_;
    SwitcherMapView* map_;
    SwitcherShelf* shelf_;
    SwitcherCardRow* row_;
    Handle subscription_;
    bool opaque_ = false;
    bool dirty_ = true;
    bool jump_ = true;
    Content content_ = Content::map;
    QRectF header_;
};

} // namespace kavelo
