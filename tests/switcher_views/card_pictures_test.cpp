// Card pictures and cards at rest made ahead on workers: whatever is asked,
// in any order with pictures and cards replaced, resized, dropped and made
// again meanwhile, what the card gets is its current picture at its current
// size, and a card drawn ahead only when it is the card asked for.

#include "app/switcher/views/card_pictures.h"
#include "app/switcher/views/window_card.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace kavelo::testing {
namespace {

SharedImage picture(int width, int height, std::uint8_t seed)
{
    auto image = std::make_shared<Image>(Image{.width = width, .height = height});
    image->rgba.resize(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < image->rgba.size(); ++i)
        image->rgba[i] = std::uint8_t(i % 4 == 3 ? 255 : seed + i * 7);
    return image;
}

QImage expected(const Image& source, QSize size)
{
    const QImage view(source.rgba.data(), source.width, source.height, source.width * 4, QImage::Format_RGBA8888);
    return WindowCard::roundedPicture(view, size);
}

std::vector<CardPictures::Resting> restingCards()
{
    QImage icon(22, 22, QImage::Format_ARGB32_Premultiplied);
    icon.fill(QColor(200, 40, 40));
    const auto card = [&](WindowID id, const char* title, QSizeF size, bool withIcon) {
        const QRect area = QRectF(QPointF(0, 0), size).adjusted(-24, -24, 24, 32).toAlignedRect();
        return CardPictures::Resting{.card = {.window = {.id = id, .appName = "App", .title = title}},
                                     .icon = withIcon ? icon : QImage(),
                                     .cell = QRectF(-QPointF(area.topLeft()), size),
                                     .pixels = area.size(),
                                     .ratio = 1};
    };
    return {card(1, "One", {160, 140}, true), card(1, "Two", {160, 140}, true), card(1, "One", {120, 110}, false)};
}

RC_GTEST_PROP(CardPictures, ACardAlwaysGetsItsCurrentPictureAtItsCurrentSize, ())
{
    const std::vector<SharedImage> sources{picture(120, 80, 1), picture(120, 80, 2), picture(64, 90, 3)};
    const std::vector<QSize> sizes{{120, 80}, {60, 40}, {30, 20}};
    const std::vector<CardPictures::Resting> cards = restingCards();
    // What each window holds: its picture, and the card drawn around it.
    struct Held {
        SharedImage source;
        QSize size;
        std::optional<std::size_t> card;
        bool taken = false;
    };
    std::map<WindowID, Held> held;
    CardPictures pictures;
    const int steps = *rc::gen::inRange(1, 60);
    for (int step = 0; step < steps; ++step) {
        const WindowID window = WindowID(*rc::gen::inRange(1, 3));
        // Mostly the picture a window has, so that cards change around it.
        const auto pick = [&](WindowID w) {
            if (held.count(w) && *rc::gen::inRange(0, 4) != 0)
                return std::pair(held[w].source, held[w].size);
            return std::pair(sources[std::size_t(*rc::gen::inRange(0, int(sources.size())))],
                             sizes[std::size_t(*rc::gen::inRange(0, int(sizes.size())))]);
        };
        const auto [source, size] = pick(window);
        const std::size_t card = std::size_t(*rc::gen::inRange(0, int(cards.size())));
        const bool same = held.count(window) && held[window].source == source && held[window].size == size;
        // Mostly making and asking; now and then dropping.
        const int op = *rc::gen::inRange(0, 20);
        switch (op < 7 ? 0 : op < 11 ? 1 : op < 18 ? 4 : op < 19 ? 2 : 3) {
        case 0: {
            std::vector<CardPictures::Job> jobs;
            for (WindowID w = 1; w < 3; ++w) {
                if (!*rc::gen::arbitrary<bool>())
                    continue;
                const auto [wSource, wSize] = pick(w);
                const std::size_t wCard = std::size_t(*rc::gen::inRange(0, int(cards.size())));
                CardPictures::Job job{.window = w, .source = wSource, .size = wSize, .resting = {}};
                const bool drawn = *rc::gen::arbitrary<bool>();
                if (drawn)
                    job.resting = cards[wCard];
                Held& h = held[w];
                if (h.source != wSource || h.size != wSize)
                    h = Held{.source = wSource, .size = wSize, .card = {}};
                // A card asked for again once handed over is not drawn again.
                if (drawn && !(h.card && cards[*h.card].same(cards[wCard]))) {
                    h.card = wCard;
                    h.taken = false;
                }
                jobs.push_back(job);
            }
            pictures.prepare(jobs);
            break;
        }
        case 1: {
            const QImage* got = pictures.get(window, source, size);
            RC_ASSERT(got != nullptr);
            RC_ASSERT(*got == expected(*source, size));
            if (!same)
                held[window] = Held{.source = source, .size = size, .card = {}};
            break;
        }
        case 2:
            pictures.erase(window);
            held.erase(window);
            break;
        case 3:
            pictures.clear();
            held.clear();
            break;
        case 4: {
            // Half the time the card it holds, if any.
            const int holds = held.count(window) && held[window].card ? int(*held[window].card) : -1;
            const std::size_t asked = holds >= 0 && *rc::gen::arbitrary<bool>() ? std::size_t(holds) : card;
            const QImage got = pictures.takeResting(window, source, size, cards[asked]);
            const bool kept =
                same && holds >= 0 && !held[window].taken && cards[std::size_t(holds)].same(cards[asked]);
            RC_ASSERT(!got.isNull() == kept);
            if (kept) {
                RC_ASSERT(got == cards[asked].drawn(expected(*source, size)));
                held[window].taken = true;
            }
            break;
        }
        }
    }
}

TEST(CardPictures, NothingIsMadeOfAMissingOrEmptyPicture)
{
    CardPictures pictures;
    pictures.prepare({{.window = 1, .source = nullptr, .size = {10, 10}},
                      {.window = 2, .source = std::make_shared<Image>(), .size = {10, 10}},
                      {.window = 3, .source = picture(10, 10, 1), .size = {}}});
    EXPECT_EQ(pictures.queued(), 0u);
    EXPECT_EQ(pictures.get(1, nullptr, {10, 10}), nullptr);
    EXPECT_EQ(pictures.get(2, std::make_shared<Image>(), {10, 10}), nullptr);
}

} // namespace
} // namespace kavelo::testing
