#pragma once

// Starting helper programs that outlive this process: the restart watcher
// and the relaunch after a permission change.

#include <cstdint>
#include <string>
#include <vector>

namespace kavelo {

// This process as the helpers see it: the pid they wait for and the
// executable they start again.
struct OwnProcess {
    std::int32_t pid = 0;
    std::string executable;
    friend bool operator==(const OwnProcess&, const OwnProcess&) = default;

    static OwnProcess current();
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts `program` with `arguments` after its own name. False when it
    // could not be started.
    virtual bool launch(const std::string& program, const std::vector<std::string>& arguments) = 0;
};

// Starts the program in a session of its own and not as a child of this
// process, so it lives on after this one ends and is never left a zombie.
// It inherits no file descriptor beyond standard input and output.
class DetachedLauncher : public ProcessLauncher {
public:
    bool launch(const std::string& program, const std::vector<std::string>& arguments) override;
};

} // namespace kavelo
