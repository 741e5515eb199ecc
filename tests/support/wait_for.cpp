#include "support/wait_for.h"

#include "support/seen.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <mutex>
#include <thread>

namespace kavelo::test {

namespace {

// Never destroyed: a session a suite keeps in a static ends after them.
std::mutex& witnessesMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::list<Witness::Entry>& witnesses()
{
    static auto* list = new std::list<Witness::Entry>;
    return *list;
}

double ownProcessorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

} // namespace

Waited::operator ::testing::AssertionResult() const
{
    if (happened_)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << report_;
}

Waited waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               const std::function<void()>& pump)
{
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + timeout;
    const double processorAtStart = ownProcessorSeconds();
    int tries = 0;
    for (;;) {
        if (pump)
            pump();
        ++tries;
        if (done())
            return Waited(true, {});
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    char head[160];
    std::snprintf(head, sizeof head, "gave up after %.1f s (%d tries, %.1f s of processor for the test itself)",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), tries,
                  ownProcessorSeconds() - processorAtStart);
    return Waited(false, std::string(head) + "; what it saw:\n" + witnessed());
}

void pumpFor(std::chrono::milliseconds span, const std::function<void()>& pump)
{
    const auto end = std::chrono::steady_clock::now() + span;
    do {
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
}

Witness::Witness(std::string name, std::function<std::string()> describe)
{
    std::lock_guard lock(witnessesMutex());
    entry_ = witnesses().insert(witnesses().end(), Entry{std::move(name), std::move(describe)});
}

Witness::~Witness()
{
    std::lock_guard lock(witnessesMutex());
    witnesses().erase(entry_);
}

std::string witnessed()
{
    // Copied out, so that a description may itself register or wait.
    std::list<Witness::Entry> now;
    {
        std::lock_guard lock(witnessesMutex());
        now = witnesses();
    }
    std::string out = "  " + describeLoad() + "\n";
    for (const auto& w : now)
        out += "  " + w.name + ": " + w.describe() + "\n";
    return out;
}

} // namespace kavelo::test
