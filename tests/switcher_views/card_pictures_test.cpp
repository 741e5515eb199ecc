// Card pictures made ahead on workers: whatever is asked, in any order with
// pictures replaced, resized, dropped and made again meanwhile, what the
// card gets is its current picture at its current size.

#include "app/switcher/views/card_pictures.h"
#include "app/switcher/views/window_card.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <memory>
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

RC_GTEST_PROP(CardPictures, ACardAlwaysGetsItsCurrentPictureAtItsCurrentSize, ())
{
    const std::vector<SharedImage> sources{picture(120, 80, 1), picture(120, 80, 2), picture(64, 90, 3)};
    const std::vector<QSize> sizes{{120, 80}, {60, 40}, {30, 20}};
    CardPictures pictures;
    const int steps = *rc::gen::inRange(1, 40);
    for (int step = 0; step < steps; ++step) {
        const WindowID window = WindowID(*rc::gen::inRange(1, 4));
        const SharedImage& source = sources[std::size_t(*rc::gen::inRange(0, int(sources.size())))];
        const QSize size = sizes[std::size_t(*rc::gen::inRange(0, int(sizes.size())))];
        switch (*rc::gen::inRange(0, 4)) {
        case 0: {
            std::vector<CardPictures::Job> jobs;
            for (WindowID w = 1; w < 4; ++w)
                if (*rc::gen::arbitrary<bool>())
                    jobs.push_back({.window = w, .source = source, .size = size});
            pictures.prepare(jobs);
            break;
        }
        case 1: {
            const QImage* got = pictures.get(window, source, size);
            RC_ASSERT(got != nullptr);
            RC_ASSERT(*got == expected(*source, size));
            break;
        }
        case 2:
            pictures.erase(window);
            break;
        case 3:
            pictures.clear();
            break;
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
