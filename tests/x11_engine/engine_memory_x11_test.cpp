// The strip memory over real xterms under Xvfb and openbox: quitting and
// starting again brings back the columns and widths, as the server shows.

#include "engine/engine_probe.h"
#include "x11_engine/x11_engine_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavelo::testing {
namespace {

class EngineMemoryX11 : public X11EngineWorld {
protected:
    EngineMemoryX11() : X11EngineWorld({.mode = ArrangeMode::strip}) {}

    // The server's size against the strip's: snapped down by less than a
    // character cell. Columns waiting past an edge stand where openbox
    // lets them, so only the size is compared.
    bool sizedAs(WindowID id)
    {
        const auto got = serverFrame(id);
        const auto window = x11->serverWindow(id);
        const auto target = engine->stripFrames().find(id);
        if (!got || !window || target == engine->stripFrames().end())
            return false;
        const Size step = session->resizeIncrements(*window);
        const Rect& want = target->second;
        return got->width() <= want.width() + 0.5 && got->width() > want.width() - step.width - 0.5 &&
               got->height() <= want.height() + 0.5 && got->height() > want.height() - step.height - 0.5;
    }

    // The strip's columns, one window each, every one sized by the server.
    std::vector<WindowID> columns()
    {
        std::vector<WindowID> out;
        if (engine->strips().size() != 1)
            return out;
        for (const auto& column : engine->strips().begin()->second.columns)
            out.push_back(column.ids.size() == 1 ? column.ids[0] : 0);
        return out;
    }

    bool laidOut(std::size_t count)
    {
        const auto ids = columns();
        if (ids.size() != count || xterms().size() != count)
            return false;
        for (WindowID id : ids)
            if (!id || !sizedAs(id))
                return false;
        return true;
    }

    std::vector<double> widths() const
    {
        std::vector<double> out;
        for (const auto& column : engine->strips().begin()->second.columns)
            out.push_back(column.width);
        return out;
    }
};

TEST_F(EngineMemoryX11, AStripComesBackAfterQuittingWithItsColumnsAndWidths)
{
    startEngine();
    for (std::size_t n = 1; n <= 3; ++n) {
        clients.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return laidOut(n); })) << n << " xterms are not laid out as columns";
    }
    const std::string key = engine->strips().begin()->first;

    // The middle column narrowed, as the width commands leave it.
    EngineProbe::strips(*engine)[key].columns[1].width = 0.3;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(until([&] { return laidOut(3); }));
    const auto ids = columns();
    const auto before = widths();
    const Rect narrowed = *serverFrame(ids[1]);
    ASSERT_LT(narrowed.width(), serverFrame(ids[2])->width() - 100);
    const auto saved = readFile(engine->memoryFile());
    ASSERT_TRUE(saved);
    EXPECT_NE(saved->find("0.3"), std::string::npos) << *saved;

    // Quit: the windows are laid out as a grid and the engine is gone.
    engine->release();
    engine.reset();
    x11->processEvents();

    startEngine();
    ASSERT_TRUE(until([&] { return laidOut(3) && columns() == ids; })) << "the strip did not come back";
    EXPECT_EQ(widths(), before);
    const auto back = serverFrame(ids[1]);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width(), narrowed.width());
    EXPECT_EQ(back->height(), narrowed.height());
}

} // namespace
} // namespace kavelo::testing
