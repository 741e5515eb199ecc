#include "app/switcher/views/overview_grid.h"

#include "app/ui/capture.h"

#include "app/ui/shadows.h"

#include <QBackingStore>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace kavelo {

namespace {

QImage toQImage(const Image& image)
{
    if (!image.isValid())
        return {};
    const QImage view(image.rgba.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888);
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

OverviewGrid::OverviewGrid(OverviewModel& model, Actions actions, AnimationTime time, QWidget* parent)
    : QWidget(parent), model_(model), actions_(std::move(actions)), time_(time),
      layoutSpring_(Spring(layoutResponse, layoutDamping), time,
                    [this](double) { invalidate(sweep_.translated(0, -offset_).toAlignedRect()); }, 1)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    // A model that already has a selection shows it at once, without a spring.
    const auto& results = model_.results();
    const int index = model_.selection();
    if (index >= 0 && index < int(results.size()))
        selected_ = results[std::size_t(index)].id;
}

OverviewGrid::~OverviewGrid() = default;

double OverviewGrid::cardWidth() const
{
    return CardSizes::overviewCardWidth(width(), model_.columns());
}

double OverviewGrid::cardHeight() const
{
    return WindowCard::height(cardWidth());
}

QRectF OverviewGrid::cardFrame(int index) const
{
    const int columns = std::max(1, model_.columns());
    const double w = cardWidth(), h = cardHeight();
    // The grid is centred in the width it may fill.
    const double gridWidth = columns * w + (columns - 1) * columnSpacing;
    const double left = (width() - gridWidth) / 2;
    const int row = index / columns, column = index % columns;
    // On whole pixels, so that a card drawn once can be copied in place.
    return QRectF(snapped(left + column * (w + columnSpacing)), snapped(padding + row * (h + rowSpacing)), w, h);
}

double OverviewGrid::contentHeight() const
{
    const int columns = std::max(1, model_.columns());
    const int count = int(model_.results().size());
    const int rows = (count + columns - 1) / columns;
    return 2 * padding + rows * cardHeight() + std::max(0, rows - 1) * rowSpacing;
}

double OverviewGrid::maximumOffset() const
{
    return std::max(0.0, contentHeight() - height());
}

void OverviewGrid::setScrollOffset(double offset)
{
    offset = snapped(std::clamp(offset, 0.0, maximumOffset()));
    if (offset == offset_)
        return;
    offset_ = offset;
    rebuild();
    invalidate(rect());
}

QRectF OverviewGrid::movingFrame(WindowID window, int index) const
{
    QRectF frame = cardFrame(index);
    if (!layoutSpring_.isAnimating())
        return frame;
    const auto it = from_.find(window);
    if (it == from_.end())
        return frame;
    const double p = layoutSpring_.value();
    const QRectF& a = it->second;
    return QRectF(a.x() + (frame.x() - a.x()) * p, a.y() + (frame.y() - a.y()) * p,
                  a.width() + (frame.width() - a.width()) * p, a.height() + (frame.height() - a.height()) * p);
}

QRectF OverviewGrid::cardRect(int index) const
{
    const auto& results = model_.results();
    if (index < 0 || index >= int(results.size()))
        return cardFrame(index).translated(0, -offset_);
    return movingFrame(results[std::size_t(index)].id, index).translated(0, -offset_);
}

int OverviewGrid::cardAt(QPointF point) const
{
    for (int i = built_.first; i < built_.second; ++i)
        if (cardRect(i).contains(point))
            return i;
    return -1;
}

const QImage* OverviewGrid::icon(const WindowEntry& window) const
{
    // Read once per application per opening: the processes of one
    // application (one class) share its icon.
    const std::string key = window.bundleID.empty() ? "pid " + std::to_string(window.pid) : window.bundleID;
    auto it = icons_.find(key);
    if (it == icons_.end()) {
        const auto image = actions_.icon ? actions_.icon(window.pid) : std::nullopt;
        // Scaled once to the size the cards show it at.
        QImage converted = image ? toQImage(*image) : QImage();
        if (!converted.isNull() && converted.size() != QSize(int(WindowCard::iconSide), int(WindowCard::iconSide)))
            converted = converted.scaled(int(WindowCard::iconSide), int(WindowCard::iconSide), Qt::IgnoreAspectRatio,
                                         Qt::SmoothTransformation);
        it = icons_.emplace(key, std::move(converted)).first;
    }
    return it->second.isNull() ? nullptr : &it->second;
}

double OverviewGrid::emphasis(WindowID window) const
{
    const auto it = emphasis_.find(window);
    if (it != emphasis_.end())
        return it->second->value();
    return selected_ == window ? 1 : 0;
}

QSize OverviewGrid::pictureSize(const Image& source) const
{
    // The size the card fits it to, in whole device pixels.
    const double ratio = Capture::pixelRatio(*this);
    const Size box = CardSizes::overviewPicture(cardWidth());
    const double scale = std::min(box.width * ratio / source.width, box.height * ratio / source.height);
    QSize size(std::max(1, int(std::lround(source.width * scale))), std::max(1, int(std::lround(source.height * scale))));
    // A picture captured for this card is drawn as it is, not resampled for
    // the last pixel that rounding gives or takes.
    if (std::abs(size.width() - source.width) <= 1 && std::abs(size.height() - source.height) <= 1)
        size = QSize(source.width, source.height);
    return size;
}

const QImage* OverviewGrid::preparedPicture(WindowID window) const
{
    const auto it = model_.thumbnails().find(window);
    if (it == model_.thumbnails().end() || !it->second->isValid())
        return nullptr;
    return pictures_.get(window, it->second, pictureSize(*it->second), Capture::pixelRatio(*this));
}

void OverviewGrid::preparePictures(std::optional<WindowID> only)
{
    // Before the grid has its size there is nothing to fit them to.
    if (!isVisible() || width() <= 0)
        return;
    std::vector<CardPictures::Job> jobs;
    const auto& results = model_.results();
    for (int i = built_.first; i < built_.second && i < int(results.size()); ++i) {
        const WindowID id = results[std::size_t(i)].id;
        if (only && id != *only)
            continue;
        const auto it = model_.thumbnails().find(id);
        if (it == model_.thumbnails().end() || !it->second->isValid())
            continue;
        CardPictures::Job job{.window = id,
                              .source = it->second,
                              .size = pictureSize(*it->second),
                              .ratio = Capture::pixelRatio(*this),
                              .resting = {}};
        // Cards at rest are drawn whole as well; moving ones are drawn as
        // they move.
        if (i != model_.selection() && emphasis(id) == 0 && !layoutSpring_.isAnimating())
            job.resting = atRest(cards_[std::size_t(i - built_.first)], cardRect(i).size());
        jobs.push_back(std::move(job));
    }
    pictures_.prepare(jobs);
}

CardPictures::Resting OverviewGrid::atRest(const WindowCard& built, QSizeF size) const
{
    const QRect area = restingArea(size);
    const double ratio = Capture::pixelRatio(*this);
    const WindowCard card{.window = built.window, .cornerRadius = built.cornerRadius};
    return {.card = card,
            .icon = built.icon ? *built.icon : QImage(),
            .cell = QRectF(-QPointF(area.topLeft()), size),
            .pixels = area.size() * ratio,
            .ratio = ratio};
}

void OverviewGrid::release()
{
    preparing_.cancel();
    pictures_.clear();
    // Nothing drawn ahead fills the caches emptied below.
    pictures_.waitForDrawing();
    resting_ = {};
    // The cards point at the icons: none is painted until the next opening
    // builds them again.
    cards_ = {};
    built_ = {0, 0};
    icons_ = {};
    emphasis_.clear();
    WindowCard::releasePlates();
    Shadows::releaseAssembled();
}

WindowCard OverviewGrid::card(int index) const
{
    const WindowEntry& window = model_.results()[std::size_t(index)];
    const QImage* prepared = preparedPicture(window.id);
    return WindowCard{.window = window,
                      .picture = prepared,
                      .icon = icon(window),
                      .selected = index == model_.selection(),
                      .cornerRadius = cornerRadius,
                      .emphasis = emphasis(window.id),
                      .pictureIsPrepared = prepared != nullptr};
}

QRect OverviewGrid::paintArea(const QRectF& rect) const
{
    return rect.adjusted(-cardRoom, -cardRoom, cardRoom, cardRoom).toAlignedRect();
}

double OverviewGrid::snapped(double value) const
{
    const double ratio = Capture::pixelRatio(*this);
    return std::round(value * ratio) / ratio;
}

QRect OverviewGrid::restingArea(QSizeF card) const
{
    return QRectF(QPointF(0, 0), card)
        .adjusted(-restingRoom, -restingRoom, restingRoom, restingRoom + restingDrop)
        .toAlignedRect();
}

const QImage* OverviewGrid::restingCard(const WindowCard& card, const QRectF& rect, bool ahead) const
{
    if (card.selected || card.emphasis != 0)
        return nullptr;
    const double ratio = Capture::pixelRatio(*this);
    const QRect area = restingArea(rect.size());
    Resting& resting = resting_[card.window.id];
    QImage& image = resting.image;
    if (image.isNull() || image.size() != area.size() * ratio) {
        const CardPictures::Resting now = atRest(card, rect.size());
        // Drawn ahead by a worker, as this card is now?
        const auto picture = model_.thumbnails().find(card.window.id);
        if (picture != model_.thumbnails().end() && picture->second->isValid() && card.pictureIsPrepared) {
            image = pictures_.takeResting(card.window.id, picture->second, pictureSize(*picture->second), now);
            if (!image.isNull())
                return &image;
        }
        if (!ahead && ++resting.paints < 2)
            return nullptr;
        image = card.painted(now.cell, now.pixels, now.ratio);
    }
    return &image;
}

void OverviewGrid::settleWithin(SpringAnimation& spring, double distance) const
{
    // Half a device pixel of the farthest move, and no more than half a
    // pixel a frame.
    const double pixels = std::max(1.0, distance * Capture::pixelRatio(*this));
    spring.restThreshold = 0.5 / pixels;
    spring.restVelocity = 0.5 / pixels / SpringAnimation::frameInterval;
}

void OverviewGrid::rebuild()
{
    const int count = int(model_.results().size());
    const int columns = std::max(1, model_.columns());
    const int rows = (count + columns - 1) / columns;
    const double pitch = cardHeight() + rowSpacing;
    // The rows in view, and one more below them.
    const int first = std::clamp(int(std::floor((offset_ - padding + rowSpacing) / pitch)), 0, rows);
    const int lastInView = int(std::ceil((offset_ + height() - padding) / pitch)) - 1;
    const int end = std::clamp(lastInView + 2, first, rows);
    built_ = {std::min(count, first * columns), std::min(count, end * columns)};
    // Drawn cards are kept only while they are built.
    std::unordered_set<WindowID> kept;
    for (int i = built_.first; i < built_.second; ++i)
        kept.insert(model_.results()[std::size_t(i)].id);
    std::erase_if(resting_, [&](const auto& item) { return !kept.count(item.first); });
    cards_.clear();
    cards_.reserve(std::size_t(built_.second - built_.first));
    const auto& results = model_.results();
    for (int i = built_.first; i < built_.second; ++i) {
        const WindowEntry& window = results[std::size_t(i)];
        cards_.push_back(WindowCard{.window = window,
                                    .icon = icon(window),
                                    .selected = i == model_.selection(),
                                    .cornerRadius = cornerRadius,
                                    .emphasis = emphasis(window.id)});
    }
    // Cards scrolled into view or resized have their pictures made ahead.
    preparePictures();
}

void OverviewGrid::modelChanged(OverviewModel::Property property)
{
    using P = OverviewModel::Property;
    switch (property) {
    case P::query:
    case P::scope:
        resultsChanged(isVisible());
        break;
    case P::windows:
        resultsChanged(false);
        break;
    case P::columns:
        resting_.clear();
        setScrollOffset(offset_);
        rebuild();
        invalidate(rect());
        break;
    case P::selection:
        selectionChanged();
        break;
    case P::thumbnails:
        thumbnailsChanged();
        break;
    case P::focusRequest:
        newOpening();
        break;
    case P::missingPermission:
    case P::workflows:
        break;
    }
}

void OverviewGrid::resultsChanged(bool animate)
{
    const auto& results = model_.results();
    std::vector<WindowID> ids;
    ids.reserve(results.size());
    for (const WindowEntry& w : results)
        ids.push_back(w.id);
    hovered_ = -1;
    if (ids == laidOut_ && animate) {
        // The same cards in the same places: nothing to lay out or paint.
        return;
    }
    const double offset = std::clamp(offset_, 0.0, maximumOffset());
    if (!animate || offset != offset_) {
        from_.clear();
        sweep_ = QRectF();
        layoutSpring_.set(1);
        laidOut_ = std::move(ids);
        offset_ = offset;
        rebuild();
        invalidate(rect());
        return;
    }

    // Where the cards in view stand now, by window: cards that change place
    // move there from here; the others are painted again only where they
    // came or went.
    std::unordered_map<WindowID, QRectF> now;
    for (int i = built_.first; i < built_.second && i < int(laidOut_.size()); ++i)
        now.emplace(laidOut_[std::size_t(i)], movingFrame(laidOut_[std::size_t(i)], i));
    std::unordered_map<WindowID, int> index;
    for (std::size_t i = 0; i < ids.size(); ++i)
        index.emplace(ids[i], int(i));

    std::unordered_map<WindowID, QRectF> from;
    // Cards that went or came, each on its own: their bounding rectangle
    // would be most of the grid.
    std::vector<QRectF> dirty;
    QRectF sweep;
    double farthest = 0;
    for (const auto& [id, was] : now) {
        const auto it = index.find(id);
        if (it == index.end()) {
            dirty.push_back(was);
            continue;
        }
        const QRectF to = cardFrame(it->second);
        if (to == was)
            continue;
        from.emplace(id, was);
        sweep |= was | to;
        farthest = std::max({farthest, std::abs(to.x() - was.x()), std::abs(to.y() - was.y()),
                             std::abs(to.width() - was.width()), std::abs(to.height() - was.height())});
    }
    laidOut_ = std::move(ids);
    rebuild();
    // Cards that came into view appear in their places.
    for (int i = built_.first; i < built_.second; ++i)
        if (!now.count(laidOut_[std::size_t(i)]))
            dirty.push_back(cardFrame(i));

    const auto grown = [](const QRectF& r) {
        return r.isNull() ? r : r.adjusted(-cardRoom, -cardRoom, cardRoom, cardRoom);
    };
    from_ = std::move(from);
    sweep_ = grown(sweep);
    if (from_.empty()) {
        layoutSpring_.set(1);
    } else {
        layoutSpring_.set(0);
        settleWithin(layoutSpring_, farthest);
        layoutSpring_.animate(1);
    }
    // The moving cards still stand where they stood: at once only where
    // cards went or came is painted, the sweep from the spring's first step.
    QRegion changed;
    for (const QRectF& card : dirty)
        changed += grown(card).translated(0, -offset_).toAlignedRect();
    if (changed.isEmpty() && !sweep_.isNull())
        changed = sweep_.translated(0, -offset_).toAlignedRect();
    if (!changed.isEmpty())
        invalidate(changed);
}

void OverviewGrid::selectionChanged()
{
    const auto& results = model_.results();
    const int index = model_.selection();
    const bool valid = index >= 0 && index < int(results.size());
    const std::optional<WindowID> now = valid ? std::optional(results[std::size_t(index)].id) : std::nullopt;
    if (now != selected_) {
        const auto spring = [&](WindowID id, double from, double to) {
            auto& animation = emphasis_[id];
            if (!animation) {
                animation = std::make_unique<SpringAnimation>(
                    Spring(WindowCard::springResponse, WindowCard::springDamping), time_,
                    [this, id](double) { updateCard(id); }, from);
                // The card's edges grow by a fortieth of its width; its
                // opacity and glow change by up to a hundred levels.
                settleWithin(*animation, std::max(cardWidth() * (WindowCard::selectedScale - 1) / 2, 100.0));
            }
            animation->animate(to);
        };
        if (selected_) {
            spring(*selected_, 1, 0);
            updateCard(*selected_);
        }
        if (now) {
            spring(*now, 0, 1);
            updateCard(*now);
        }
        selected_ = now;
    }
    if (valid)
        scrollIntoView(index);
}

void OverviewGrid::updateCard(WindowID window)
{
    // Only the springing card is painted again, with room for its glow.
    const auto& results = model_.results();
    for (int i = built_.first; i < built_.second && i < int(results.size()); ++i)
        if (results[std::size_t(i)].id == window) {
            invalidate(paintArea(cardRect(i)));
            return;
        }
}

void OverviewGrid::scrollIntoView(int index)
{
    const QRectF frame = cardFrame(index);
    const double ratio = Capture::pixelRatio(*this);
    double offset = offset_;
    // Whole pixels that show all of the card.
    if (frame.top() < offset)
        offset = std::floor(frame.top() * ratio) / ratio;
    else if (frame.bottom() > offset + height())
        offset = std::ceil((frame.bottom() - height()) * ratio) / ratio;
    setScrollOffset(offset);
}

void OverviewGrid::thumbnailsChanged()
{
    if (const auto window = model_.changedThumbnail()) {
        // One picture came or went: only its card is painted again.
        pictures_.erase(*window);
        resting_.erase(*window);
        preparePictures(*window);
        updateCard(*window);
        return;
    }
    pictures_.clear();
    resting_.clear();
    preparePictures();
    invalidate(rect());
}

void OverviewGrid::newOpening()
{
    icons_.clear();
    resting_.clear();
    emphasis_.clear();
    from_.clear();
    sweep_ = QRectF();
    layoutSpring_.set(1);
    laidOut_.clear();
    for (const WindowEntry& w : model_.results())
        laidOut_.push_back(w.id);
    const auto& results = model_.results();
    const int index = model_.selection();
    selected_ = index >= 0 && index < int(results.size()) ? std::optional(results[std::size_t(index)].id)
                                                          : std::nullopt;
    hovered_ = -1;
    pressed_ = -1;
    offset_ = 0;
    rebuild();
    invalidate(rect());
}

void OverviewGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const auto& results = model_.results();
    const QRegion& region = event->region();
    std::vector<std::pair<WindowID, Shown>> painted;
    const auto paint = [&](int i, bool selected) {
        const QRectF rect = cardRect(i);
        if (!region.intersects(paintArea(rect)))
            return;
        WindowCard& c = builtCard(i, selected);
        if (const QImage* drawn = restingCard(c, rect))
            painter.drawImage(QPointF(std::round(rect.x()), std::round(rect.y())) + restingArea(rect.size()).topLeft(),
                              *drawn);
        else
            c.paint(painter, rect);
        painted.emplace_back(c.window.id, look(i, selected));
    };
    // The selected card goes last, over its neighbours' shadows.
    int selectedIndex = -1;
    for (int i = built_.first; i < built_.second && i < int(results.size()); ++i) {
        if (i == model_.selection())
            selectedIndex = i;
        else
            paint(i, false);
    }
    if (selectedIndex >= 0)
        paint(selectedIndex, true);
    // A picture taken of the grid (a render) leaves the window as it was,
    // but what it shows there is no longer known for sure.
    QBackingStore* store = window()->backingStore();
    if (store && redirected(nullptr) == store->paintDevice())
        remember(region, std::move(painted));
    else
        forget(region);
    if (!preparing_.pending())
        preparing_ = time_.scheduler.after(0, [this] { prepareResting(); });
}

OverviewGrid::Shown OverviewGrid::look(int index, bool selected) const
{
    const WindowCard& built = cards_[std::size_t(index - built_.first)];
    const QRectF rect = cardRect(index);
    Shown shown{.area = paintArea(rect) & this->rect(),
                .rect = rect,
                .appName = built.window.appName,
                .title = built.window.title,
                .state = built.window.state,
                .icon = built.icon ? *built.icon : QImage(),
                .selected = selected,
                .emphasis = emphasis(built.window.id)};
    const auto picture = model_.thumbnails().find(built.window.id);
    if (picture != model_.thumbnails().end() && picture->second->isValid()) {
        shown.source = picture->second;
        shown.picture = pictureSize(*picture->second);
    }
    return shown;
}

bool OverviewGrid::Shown::same(const Shown& other) const
{
    const auto sameSource = [](const std::weak_ptr<const Image>& a, const std::weak_ptr<const Image>& b) {
        return !a.owner_before(b) && !b.owner_before(a) && (a.expired() == b.expired());
    };
    // The area follows from the rectangle.
    return rect == other.rect && appName == other.appName && title == other.title &&
           state == other.state && sameSource(source, other.source) && picture == other.picture &&
           selected == other.selected && emphasis == other.emphasis && icon == other.icon;
}

void OverviewGrid::remember(const QRegion& region, std::vector<std::pair<WindowID, Shown>> painted)
{
    // What was painted now is as it should be; a card painted in part shows
    // its old self beside its new one, and is painted whole again at the
    // next showing.
    smudged_ -= region;
    std::unordered_map<WindowID, const Shown*> now;
    for (const auto& [id, shown] : painted)
        now.emplace(id, &shown);
    for (auto it = shown_.begin(); it != shown_.end();) {
        const auto p = now.find(it->first);
        const bool unchanged = p != now.end() && p->second->same(it->second);
        if (!unchanged && (p != now.end() || region.intersects(it->second.area))) {
            // Outside the paint it still shows its old self.
            smudged_ += QRegion(it->second.area) - region;
            it = shown_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [id, shown] : painted) {
        if (shown_.count(id))
            continue;
        if ((QRegion(shown.area) - region).isEmpty())
            shown_.emplace(id, std::move(shown));
        else
            smudged_ += shown.area;
    }
}

void OverviewGrid::forget(const QRegion& region)
{
    for (auto it = shown_.begin(); it != shown_.end();) {
        if (region.intersects(it->second.area)) {
            smudged_ += it->second.area;
            it = shown_.erase(it);
        } else {
            ++it;
        }
    }
    smudged_ += region;
}

void OverviewGrid::invalidate(const QRegion& region)
{
    // Held, what the panel will show is found by `reveal`.
    if (!held_)
        update(region);
}

void OverviewGrid::hold()
{
    held_ = true;
}

void OverviewGrid::reveal()
{
    if (!held_)
        return;
    held_ = false;
    if (!isVisible())
        return;
    // Only what differs from what the panel still shows is painted.
    QRegion changed = smudged_;
    std::unordered_set<WindowID> kept;
    const int count = int(model_.results().size());
    for (int i = built_.first; i < built_.second && i < count; ++i) {
        const Shown now = look(i, i == model_.selection());
        const WindowID id = model_.results()[std::size_t(i)].id;
        const auto it = shown_.find(id);
        if (it != shown_.end() && it->second.same(now))
            kept.insert(id);
        else
            changed += now.area;
    }
    for (const auto& [id, shown] : shown_)
        if (!kept.count(id))
            changed += shown.area;
    update(changed);
}

void OverviewGrid::forgetShown()
{
    shown_.clear();
    smudged_ = {};
}

void OverviewGrid::hideEvent(QHideEvent*)
{
    forgetShown();
}

WindowCard& OverviewGrid::builtCard(int index, bool selected)
{
    WindowCard& c = cards_[std::size_t(index - built_.first)];
    c.emphasis = emphasis(c.window.id);
    c.selected = selected;
    c.picture = preparedPicture(c.window.id);
    c.pictureIsPrepared = c.picture != nullptr;
    return c;
}

void OverviewGrid::prepareResting()
{
    // Moving cards are copied as they are; nothing is drawn ahead meanwhile.
    if (!isVisible() || layoutSpring_.isAnimating())
        return;
    const int count = int(model_.results().size());
    int drawn = 0;
    for (int i = built_.first; i < built_.second && i < count; ++i) {
        const WindowID id = model_.results()[std::size_t(i)].id;
        if (i == model_.selection() || emphasis(id) != 0)
            continue;
        if (const auto it = resting_.find(id); it != resting_.end() && !it->second.image.isNull())
            continue;
        if (drawn == restingPerSlice) {
            preparing_ = time_.scheduler.after(0, [this] { prepareResting(); });
            return;
        }
        restingCard(builtCard(i, false), cardRect(i), true);
        ++drawn;
    }
}

void OverviewGrid::resizeEvent(QResizeEvent*)
{
    // Painted anew whole.
    forgetShown();
    resting_.clear();
    offset_ = std::clamp(offset_, 0.0, maximumOffset());
    rebuild();
}

void OverviewGrid::mouseMoveEvent(QMouseEvent* event)
{
    const int index = cardAt(event->position());
    if (index == hovered_)
        return;
    hovered_ = index;
    if (index < 0)
        return;
    // The pointer resting where it was when the overview opened selects
    // nothing: the opening itself produced this hover.
    const Point now = actions_.pointer ? actions_.pointer() : Point();
    const Point atOpen = model_.pointerAtOpen();
    if (now.x != atOpen.x || now.y != atOpen.y)
        model_.setSelection(index);
}

void OverviewGrid::leaveEvent(QEvent*)
{
    hovered_ = -1;
}

void OverviewGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = cardAt(event->position());
    pressedOutside_ = pressed_ < 0;
}

void OverviewGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int index = cardAt(event->position());
    const int pressed = pressed_;
    const bool outside = pressedOutside_;
    pressed_ = -1;
    pressedOutside_ = false;
    if (index >= 0 && index == pressed) {
        const WindowEntry entry = model_.results()[std::size_t(index)];
        if (actions_.open)
            actions_.open(entry);
    } else if (index < 0 && outside) {
        // Between the cards lies the backdrop.
        if (actions_.close)
            actions_.close();
    }
}

void OverviewGrid::wheelEvent(QWheelEvent* event)
{
    const QPoint pixels = event->pixelDelta();
    const double delta = !pixels.isNull() ? pixels.y() : event->angleDelta().y() * wheelStep;
    setScrollOffset(offset_ - delta);
    event->accept();
}

} // namespace kavelo
