#include "app/shell/url_forwarding.h"

#include "app/shell/kavelo_url.h"
#include "core/text.h"

#include <ostream>

namespace kavelo::UrlForwarding {

Sorted sort(const std::vector<std::string>& urls, const WorkspaceStore& store)
{
    Sorted sorted;
    const auto exists = [&store](std::string_view name) { return store.load(name).has_value(); };
    for (const std::string& url : urls) {
        if (auto problem = KaveloUrls::problem(url, exists))
            sorted.problems.push_back(std::move(*problem));
        else
            sorted.valid.push_back(url);
    }
    return sorted;
}

void report(const Sorted& sorted, std::ostream& err)
{
    for (const std::string& problem : sorted.problems)
        err << "kavelo: " << problem << '\n';
    err.flush();
}

int forward(const Sorted& sorted, std::ostream& err,
            const std::function<std::optional<std::string>(const InstanceRequest&)>& send)
{
    report(sorted, err);
    const auto said = [&err](const std::string& failure, int status) {
        err << "kavelo: " << text::printable(failure) << '\n';
        err.flush();
        return status;
    };
    if (!sorted.valid.empty()) {
        // One request, so that the instance does all of it or none.
        const InstanceRequest request = InstanceRequest::opening(sorted.valid);
        if (const auto tooLong = request.tooLong())
            return said(nothingDone(*tooLong), 2);
        if (const auto failure = send(request))
            return said(*failure, 1);
    }
    return sorted.problems.empty() ? 0 : 2;
}

} // namespace kavelo::UrlForwarding
