#include "app/switcher/views/overview_grid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

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
      layoutSpring_(Spring(layoutResponse, layoutDamping), time, [this](double) { update(); }, 1)
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
    const int columns = std::max(1, model_.columns());
    const double inner = std::min(double(width()), maximumWidth) - 2 * padding;
    return std::max(10.0, (inner - columnSpacing * (columns - 1)) / columns);
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
    return QRectF(left + column * (w + columnSpacing), padding + row * (h + rowSpacing), w, h);
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
    offset = std::clamp(offset, 0.0, maximumOffset());
    if (offset == offset_)
        return;
    offset_ = offset;
    rebuild();
    update();
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

const QImage* OverviewGrid::picture(WindowID window) const
{
    const auto it = pictures_.find(window);
    return it == pictures_.end() ? nullptr : &it->second;
}

const QImage* OverviewGrid::icon(std::int32_t pid) const
{
    auto it = icons_.find(pid);
    if (it == icons_.end()) {
        // Read once per application per opening.
        const auto image = actions_.icon ? actions_.icon(pid) : std::nullopt;
        // Scaled once to the size the cards show it at.
        QImage converted = image ? toQImage(*image) : QImage();
        if (!converted.isNull() && converted.size() != QSize(int(WindowCard::iconSide), int(WindowCard::iconSide)))
            converted = converted.scaled(int(WindowCard::iconSide), int(WindowCard::iconSide), Qt::IgnoreAspectRatio,
                                         Qt::SmoothTransformation);
        it = icons_.emplace(pid, std::move(converted)).first;
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

const QImage* OverviewGrid::preparedPicture(WindowID window) const
{
    const QImage* source = picture(window);
    if (!source || source->isNull())
        return nullptr;
    // The size the card fits it to, in whole pixels.
    const double w = cardWidth();
    const QSizeF box(w - 2 * WindowCard::pictureInset, w / WindowCard::aspectRatio - 2 * WindowCard::pictureInset);
    const double scale = std::min(box.width() / source->width(), box.height() / source->height());
    const QSize size(std::max(1, int(std::lround(source->width() * scale))),
                     std::max(1, int(std::lround(source->height() * scale))));
    QImage& prepared = prepared_[window];
    if (prepared.size() != size)
        prepared = WindowCard::roundedPicture(*source, size);
    return &prepared;
}

WindowCard OverviewGrid::card(int index) const
{
    const WindowEntry& window = model_.results()[std::size_t(index)];
    const QImage* prepared = preparedPicture(window.id);
    return WindowCard{.window = window,
                      .picture = prepared,
                      .icon = icon(window.pid),
                      .selected = index == model_.selection(),
                      .cornerRadius = cornerRadius,
                      .emphasis = emphasis(window.id),
                      .pictureIsPrepared = prepared != nullptr};
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
    cards_.clear();
    cards_.reserve(std::size_t(built_.second - built_.first));
    for (int i = built_.first; i < built_.second; ++i)
        cards_.push_back(card(i));
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
        setScrollOffset(offset_);
        rebuild();
        update();
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
    if (animate) {
        // Where the cards in view stand now, by window: the new places are
        // reached from there.
        std::unordered_map<WindowID, QRectF> from;
        for (int i = built_.first; i < built_.second && i - built_.first < int(cards_.size()); ++i) {
            const WindowID id = cards_[std::size_t(i - built_.first)].window.id;
            from.emplace(id, movingFrame(id, i));
        }
        from_ = std::move(from);
        layoutSpring_.set(0);
        layoutSpring_.animate(1);
    } else {
        from_.clear();
        layoutSpring_.set(1);
    }
    hovered_ = -1;
    offset_ = std::clamp(offset_, 0.0, maximumOffset());
    rebuild();
    update();
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
            if (!animation)
                animation = std::make_unique<SpringAnimation>(
                    Spring(WindowCard::springResponse, WindowCard::springDamping), time_,
                    [this, id](double) { updateCard(id); }, from);
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
            const double room = cardRoom;
            update(cardRect(i).adjusted(-room, -room, room, room).toAlignedRect());
            return;
        }
}

void OverviewGrid::scrollIntoView(int index)
{
    const QRectF frame = cardFrame(index);
    double offset = offset_;
    if (frame.top() < offset)
        offset = frame.top();
    else if (frame.bottom() > offset + height())
        offset = frame.bottom() - height();
    setScrollOffset(offset);
}

void OverviewGrid::thumbnailsChanged()
{
    const auto& thumbnails = model_.thumbnails();
    if (thumbnails.empty()) {
        pictures_.clear();
        prepared_.clear();
    } else {
        // Each picture is converted once, when it arrives.
        for (const auto& [id, image] : thumbnails)
            if (!pictures_.count(id))
                pictures_.emplace(id, toQImage(image));
    }
    rebuild();
    update();
}

void OverviewGrid::newOpening()
{
    icons_.clear();
    emphasis_.clear();
    from_.clear();
    layoutSpring_.set(1);
    const auto& results = model_.results();
    const int index = model_.selection();
    selected_ = index >= 0 && index < int(results.size()) ? std::optional(results[std::size_t(index)].id)
                                                          : std::nullopt;
    hovered_ = -1;
    pressed_ = -1;
    offset_ = 0;
    rebuild();
    update();
}

void OverviewGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const auto& results = model_.results();
    // The selected card goes last, over its neighbours' shadows.
    int selectedIndex = -1;
    for (int i = built_.first; i < built_.second && i < int(results.size()); ++i) {
        if (i == model_.selection()) {
            selectedIndex = i;
            continue;
        }
        WindowCard& c = cards_[std::size_t(i - built_.first)];
        c.emphasis = emphasis(c.window.id);
        c.selected = false;
        c.paint(painter, cardRect(i));
    }
    if (selectedIndex >= 0) {
        WindowCard& c = cards_[std::size_t(selectedIndex - built_.first)];
        c.emphasis = emphasis(c.window.id);
        c.selected = true;
        c.paint(painter, cardRect(selectedIndex));
    }
}

void OverviewGrid::resizeEvent(QResizeEvent*)
{
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
