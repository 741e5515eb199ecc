// Grid plans: a stored plan either is no plan or a valid one whose cells,
// frames and editing stay sane for any window count, and which writes back
// as itself.

#include "core/grid_plan.h"
#include "fuzz/fuzz_support.h"

#include <cmath>

using namespace kavelo;

namespace {

void checkFrames(const GridPlan& plan, int count, const Rect& in, double gap)
{
    const std::vector<GridCell> cells = plan.cellsForCount(count);
    FUZZ_CHECK(!cells.empty());
    FUZZ_CHECK(cells.size() <= plan.cells.size());
    const std::vector<Rect> frames = plan.frames(count, in, gap);
    FUZZ_CHECK(frames.size() == cells.size());
    for (const Rect& f : frames)
        FUZZ_CHECK(f.isFinite() && f.width() >= 0 && f.height() >= 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::optional<Json> j = json::parse(fuzz::text(data, size));
    if (!j)
        return 0;
    const std::optional<GridPlan> plan = GridPlan_fromJson(*j);
    if (!plan)
        return 0;
    FUZZ_CHECK(plan->isValid());
    FUZZ_CHECK(plan->cells.size() <= static_cast<size_t>(plan->columns * plan->rows));
    const std::optional<Json> again = json::parse(toJson(*plan).dump());
    FUZZ_CHECK(again && GridPlan_fromJson(*again) == plan);

    for (int count = -1; count <= 26; ++count) {
        checkFrames(*plan, count, Rect(0, 25, 1440, 875), 10);
        checkFrames(plan->simplified(count), count, Rect(-1920, 0, 1920, 1080), 0);
    }
    checkFrames(*plan, 3, Rect(0, 0, 100, 40), 500);

    // The editor's operations keep a valid plan valid.
    GridPlan edited = *plan;
    for (int r = 0; r < edited.rows; ++r)
        for (int c = 0; c < edited.columns; ++c) {
            GridPlan merged = edited;
            merged.merge({0, 0}, {c, r});
            FUZZ_CHECK(merged.isValid());
            GridPlan split = edited;
            split.split(c, r);
            FUZZ_CHECK(split.isValid());
        }
    edited.moveColumnLine(0, 0.3);
    edited.moveRowLine(0, 0.7);
    FUZZ_CHECK(edited.isValid());
    checkFrames(edited, 4, Rect(0, 0, 2560, 1440), 8);
    return 0;
}
