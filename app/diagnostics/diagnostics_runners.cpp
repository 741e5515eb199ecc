#include "app/diagnostics/diagnostics_runners.h"

#include "app/diagnostics/previews.h"
#include "app/diagnostics/self_test.h"
#include "app/platform/paths.h"

#include <memory>

namespace kavelo {

int runRender(const std::string& directory, const Multitouch& trackpads, std::ostream& err)
{
    const auto unwritten = Previews::render(directory, Paths::current().userDefaults, trackpads);
    for (const std::string& path : unwritten)
        err << "kavelo: could not write " << path << '\n';
    return unwritten.empty() ? 0 : 1;
}

void runSelfTest(const Desktop& desktop, Workflows& workflows, std::ostream& out, std::ostream& err,
                 std::function<void(int status)> done)
{
    // Kept alive by its own completion, which runs once.
    auto test = std::make_shared<SelfTest>(desktop, workflows, out, err);
    auto keep = std::make_shared<std::shared_ptr<SelfTest>>(test);
    // The test touches nothing of itself after its completion, which may
    // therefore end it.
    test->run([keep, done = std::move(done)](int status) {
        const auto self = std::move(*keep);
        if (done)
            done(status);
    });
}

} // namespace kavelo
