// The queue of second starts' requests: over any sequence of requests and
// runs it stays within its bounds, settles in order, and what runs leaves
// the program as running every request would have (the panel's toggles, the
// last mode and layout, every other URL once and in order).

#include "app/shell/instance_queue.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

using namespace kavelo;

namespace {

// What running actions leaves behind.
struct Outcome {
    bool panelOpen = false;
    std::string mode, layout;
    std::vector<std::string> others;
    friend bool operator==(const Outcome&, const Outcome&) = default;

    void run(const InstanceAction& action)
    {
        if (action.kind == InstanceAction::Kind::reopen)
            panelOpen = !panelOpen;
        else if (action.url.starts_with("kavelo://mode/"))
            mode = action.url;
        else if (action.url.starts_with("kavelo://layout/"))
            layout = action.url;
        else
            others.push_back(action.url);
    }
};

rc::Gen<std::string> someUrl()
{
    return rc::gen::element<std::string>("kavelo://mode/auto", "kavelo://mode/strip", "kavelo://mode/off",
                                         "kavelo://layout/grid", "kavelo://layout/rows", "kavelo://run/tidy",
                                         "kavelo://run/focusLeft", "kavelo://switch/Desk", "kavelo://mode/Auto");
}

} // namespace

RC_GTEST_PROP(InstanceQueueProperties, RunningTheQueueIsRunningEveryRequest, ())
{
    InstanceQueue queue;
    Outcome asked, ran;
    InstanceQueue::Ticket settled = 0;
    const int steps = *rc::gen::inRange(1, 200);
    for (int step = 0; step < steps; ++step) {
        if (*rc::gen::inRange(0, 3) == 0) {
            if (const auto action = queue.take())
                ran.run(*action);
        } else {
            InstanceRequest request;
            if (*rc::gen::arbitrary<bool>()) {
                request.kind = InstanceRequest::Kind::open;
                request.urls = *rc::gen::resize(4, rc::gen::nonEmpty(rc::gen::container<std::vector<std::string>>(someUrl())));
            }
            const auto before = queue.added();
            const auto ticket = queue.add(request);
            if (!ticket) {
                RC_ASSERT(queue.added() == before);
                continue;
            }
            RC_ASSERT(*ticket == before + (request.kind == InstanceRequest::Kind::reopen ? 1 : request.urls.size()));
            if (request.kind == InstanceRequest::Kind::reopen) {
                asked.run(InstanceAction{});
            } else {
                for (const std::string& url : request.urls)
                    asked.run(InstanceAction{.kind = InstanceAction::Kind::url, .url = url});
            }
        }
        RC_ASSERT(queue.size() <= InstanceQueue::maxActions);
        RC_ASSERT(queue.settled() >= settled);
        RC_ASSERT(queue.settled() >= queue.taken());
        settled = queue.settled();
    }
    while (const auto action = queue.take())
        ran.run(*action);
    RC_ASSERT(queue.settled() == queue.added());
    RC_ASSERT(ran == asked);
}

TEST(InstanceQueue, TogglesCancelModesReplaceAndAFullQueueRefusesWhole)
{
    InstanceQueue queue;
    EXPECT_EQ(queue.add(InstanceRequest{}), 1u);
    EXPECT_EQ(queue.add(InstanceRequest{}), 2u);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.settled(), 2u);

    const auto open = [](std::vector<std::string> urls) {
        return InstanceRequest{.kind = InstanceRequest::Kind::open, .urls = std::move(urls)};
    };
    queue.add(open({"kavelo://mode/auto", "kavelo://mode/strip"}));
    queue.add(open({"kavelo://mode/off"}));
    EXPECT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue.take()->url, "kavelo://mode/off");

    for (std::size_t i = 0; i < InstanceQueue::maxActions; ++i)
        ASSERT_TRUE(queue.add(open({"kavelo://run/tidy"})));
    EXPECT_EQ(queue.add(open({"kavelo://run/tidy"})), std::nullopt);
    EXPECT_EQ(queue.size(), InstanceQueue::maxActions);
    queue.take();
    EXPECT_EQ(queue.add(open({"kavelo://run/tidy", "kavelo://run/tidy"})), std::nullopt) << "refused whole";
    EXPECT_TRUE(queue.add(open({"kavelo://run/tidy"})));
    EXPECT_EQ(queue.add(open({std::string(InstanceQueue::maxBytes, 'x')})), std::nullopt);
}
