#pragma once

// A start with "kavelo:" URLs while Kavelo already runs: the client checks
// each URL itself, names every bad one on standard error, and hands the
// good ones, in order and in one request, to the running instance, which
// does all of them or none and acts without a word. The client makes no
// toolkit application: it only checks, sends and ends.

#include "app/shell/single_instance.h"
#include "core/workspace_store.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::UrlForwarding {

struct Sorted {
    std::vector<std::string> valid;      // in the given order
    std::vector<std::string> problems;   // one line each, without the program's name
    friend bool operator==(const Sorted&, const Sorted&) = default;
};

// Switches are checked against the workflows `store` can load.
Sorted sort(const std::vector<std::string>& urls, const WorkspaceStore& store);

// Prints each problem as "kavelo: <problem>" on `err`.
void report(const Sorted& sorted, std::ostream& err);

// Status of a client run: 0, or 2 when any URL was refused, or when the
// good ones are too many for one request (then none is done); 1, with the
// reason on `err`, when the instance did not do the good ones or could not
// keep what they changed (`send` answers why, or nothing when all is done).
int forward(const Sorted& sorted, std::ostream& err,
            const std::function<std::optional<std::string>(const InstanceRequest&)>& send);

} // namespace kavelo::UrlForwarding
