#pragma once

// Reads Firefox's session files on a thread of its own, so that a large or
// hostile one never holds up the main loop: requests are read one after
// another, each result is posted back to the main thread through the
// scheduler, and nothing else is shared.

#include "app/platform/handle.h"
#include "app/platform/scheduler.h"
#include "app/workflows/browser_tabs.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kavelo {

class TabReader {
public:
    using Done = std::function<void(std::vector<BrowserTabs::FirefoxTabs>)>;

    explicit TabReader(Scheduler& scheduler) : scheduler_(scheduler) {}
    // Waits for the read in progress (the reader's bounds keep it short);
    // results not yet handed over are dropped.
    ~TabReader();
    TabReader(const TabReader&) = delete;
    TabReader& operator=(const TabReader&) = delete;

    // Main thread. `done` runs there later, with one result per request.
    void read(std::vector<BrowserTabs::FirefoxRead> requests, Done done);
    // Blocks until every read so far has ended and its result is posted.
    void wait();

private:
    struct Job {
        std::vector<BrowserTabs::FirefoxRead> requests;
        Done done;
    };
    void run();

    Scheduler& scheduler_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    Liveness liveness_;
    std::thread thread_;
};

} // namespace kavelo
