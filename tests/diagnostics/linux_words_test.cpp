// Every word a person reads is the Linux desktop's: no key sign of the
// other platform (⌃ ⌥ ⌘ ⇧), no "Mac", no sizes in points. Two nets: what
// every rendered screen draws or holds, in each arrange mode; and every
// string literal of the program's sources, which also catches toasts,
// logs and screens the renderer does not draw.

#include "app/diagnostics/previews.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/ui/key_cap.h"
#include "services/temp_home.h"
#include "support/ui_app.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QRegularExpression>
#include <QScrollArea>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace kavelo;
namespace fs = std::filesystem;

namespace {

// The other platform's signs and places, and sizes in points.
bool otherPlatform(const QString& text)
{
    static const QRegularExpression words(QStringLiteral(
        u"[\u2303\u2325\u2318\u21E7]|\\\\u2303|\\\\u2325|\\\\u2318|\\\\u21[eE]7|\\bMac\\b|macOS|System Settings|"
        u"System Preferences|\\d ?pt\\b|\\d points\\b"));
    return words.match(text).hasMatch();
}

// A paint engine that keeps the texts drawn through it and nothing else.
class TextEngine : public QPaintEngine {
public:
    explicit TextEngine(std::vector<QString>& texts) : QPaintEngine(AllFeatures), texts_(texts) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawRects(const QRectF*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawEllipse(const QRectF&) override {}
    void drawTextItem(const QPointF&, const QTextItem& item) override { texts_.push_back(item.text()); }
    Type type() const override { return User; }

private:
    std::vector<QString>& texts_;
};

class TextDevice : public QPaintDevice {
public:
    TextDevice(QSize size, std::vector<QString>& texts) : size_(size), engine_(texts) {}
    ~TextDevice() override = default;
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return size_.width();
        case PdmHeight: return size_.height();
        case PdmWidthMM: return size_.width() * 254 / 960;
        case PdmHeightMM: return size_.height() * 254 / 960;
        case PdmNumColors: return INT_MAX;
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QSize size_;
    mutable TextEngine engine_;
};

// What the view draws (also the parts of scrolled pages out of view) and
// the texts its widgets hold, shown or not.
std::vector<QString> textsOf(QWidget& view)
{
    std::vector<QString> texts;
    const auto draw = [&texts](QWidget& widget) {
        TextDevice device(widget.size().expandedTo(QSize(1, 1)), texts);
        widget.render(&device);
    };
    draw(view);
    for (QScrollArea* area : view.findChildren<QScrollArea*>())
        if (area->widget())
            draw(*area->widget());
    QList<QWidget*> widgets = view.findChildren<QWidget*>();
    widgets.push_back(&view);
    for (QWidget* w : widgets) {
        texts.push_back(w->accessibleName());
        texts.push_back(w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w))
            texts.push_back(label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            texts.push_back(button->text());
        if (auto* line = qobject_cast<QLineEdit*>(w))
            texts.push_back(line->placeholderText());
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i)
                texts.push_back(combo->itemText(i));
        if (auto* cap = dynamic_cast<KeyCap*>(w))
            texts.push_back(cap->text());
    }
    return texts;
}

// The string literals of C++ source text, comments left out.
std::vector<std::string> stringLiterals(const std::string& src)
{
    std::vector<std::string> out;
    const auto identifier = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t i = 0; i < src.size();) {
        const char c = src[i];
        if (src.compare(i, 2, "//") == 0) {
            i = src.find('\n', i);
        } else if (src.compare(i, 2, "/*") == 0) {
            i = src.find("*/", i + 2);
            i = i == std::string::npos ? i : i + 2;
        } else if (c == 'R' && i + 1 < src.size() && src[i + 1] == '"' && (i == 0 || !identifier(src[i - 1]) ||
                                                                            src[i - 1] == '8' || src[i - 1] == 'u' ||
                                                                            src[i - 1] == 'U' || src[i - 1] == 'L')) {
            const std::size_t open = src.find('(', i + 2);
            if (open == std::string::npos)
                break;
            const std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
            const std::size_t end = src.find(close, open);
            if (end == std::string::npos)
                break;
            out.push_back(src.substr(open + 1, end - open - 1));
            i = end + close.size();
        } else if (c == '"' || (c == '\'' && (i == 0 || !identifier(src[i - 1])))) {
            std::size_t j = i + 1;
            while (j < src.size() && src[j] != c && src[j] != '\n')
                j += src[j] == '\\' ? 2 : 1;
            if (c == '"')
                out.push_back(src.substr(i + 1, j - i - 1));
            i = j + 1;
        } else {
            ++i;
        }
        if (i == std::string::npos)
            break;
    }
    return out;
}

} // namespace

TEST(LinuxWords, NoRenderedScreenShowsTheOtherPlatformsSignsOrPlaces)
{
    test::TempHome home;
    const fs::path folder = home.root() / "pictures";
    fs::create_directories(folder);
    std::set<std::string> screens;
    std::size_t texts = 0;
    SimDesktop desktop;
    // Each arrange mode shows other rows on the arrange page and the panel.
    for (const char* mode : {"off", "auto", "strip"}) {
        fs::create_directories(home.paths().userDefaults.parent_path());
        std::ofstream(home.paths().userDefaults) << R"({"arrangeMode": ")" << mode << R"("})";
        const auto unwritten =
            kavelo::Previews::render(folder.string(), home.paths().userDefaults, desktop.multitouch(),
                                     [&](const kavelo::Previews::Screen& screen, QWidget& view) {
                                         screens.insert(screen.file);
                                         for (const QString& text : textsOf(view)) {
                                             ++texts;
                                             EXPECT_FALSE(otherPlatform(text))
                                                 << screen.file << " in " << mode << " mode: " << text.toStdString();
                                         }
                                     });
        EXPECT_TRUE(unwritten.empty());
    }
    EXPECT_EQ(screens.size(), kavelo::Previews::screens().size());
    EXPECT_GT(texts, 1000u) << "the texts were read";
}

TEST(LinuxWords, NoStringOfTheProgramNamesTheOtherPlatformsSignsOrPlaces)
{
    std::size_t literals = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(KAVELO_SOURCE_DIR) / "app")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h")
            continue;
        std::ifstream in(entry.path());
        std::stringstream src;
        src << in.rdbuf();
        for (const std::string& literal : stringLiterals(src.str())) {
            ++literals;
            EXPECT_FALSE(otherPlatform(QString::fromStdString(literal)))
                << entry.path().lexically_relative(KAVELO_SOURCE_DIR).string() << ": \"" << literal << "\"";
        }
    }
    EXPECT_GT(literals, 2000u) << "the sources were read";
}

TEST(LinuxWords, TheScanSeesSignsInTextsAndLiteralsButNotInComments)
{
    EXPECT_TRUE(otherPlatform(QString::fromUtf8("Press \u2325Tab")));
    EXPECT_TRUE(otherPlatform(QStringLiteral("Previews stay on this Mac.")));
    EXPECT_TRUE(otherPlatform(QStringLiteral("10 points")));
    EXPECT_TRUE(otherPlatform(QStringLiteral("16 pt")));
    EXPECT_FALSE(otherPlatform(QStringLiteral("Ctrl+Alt+Space, 16 px, macwindow, com.apple.Safari")));
    const auto found = stringLiterals("a = \"one \\\" two\"; // \"not\"\n/* \"nor\" */ b = R\"x(raw \"q\")x\"; c = "
                                      "'\"'; d = 1'000; e = u8\"three\";");
    EXPECT_EQ(found, (std::vector<std::string>{"one \\\" two", "raw \"q\"", "three"}));
    EXPECT_TRUE(otherPlatform(QString::fromStdString(stringLiterals("x = \"\\u2318K\";").at(0))));
}
