// The workflow folder. The input is a handful of files, each a line with
// its name followed by its bytes, separated by lines "%%"; a name starting
// with "|" makes a fifo of the rest. Whatever the folder holds, listing
// never blocks or fails, lists each name once, loads every listed name as
// listed, and every listed workflow saves (or is refused out loud) and is
// listed again after its save.

#include "core/workspace_store.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <fstream>

#include <sys/stat.h>

using namespace kavelo;

namespace {

std::vector<std::string> listedNames(const WorkspaceStore& store)
{
    std::vector<std::string> names;
    for (const Workspace& w : store.named())
        names.push_back(w.name);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    fuzz::clearScratch();
    const WorkspaceStore store(fuzz::scratch() / "Layouts");
    std::filesystem::create_directories(store.directory);

    std::string_view rest = fuzz::text(data, size);
    for (int files = 0; !rest.empty() && files < 8; ++files) {
        const size_t end = rest.find("\n%%\n");
        const std::string_view chunk = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 4);
        const size_t nameEnd = chunk.find('\n');
        std::string name(chunk.substr(0, std::min<size_t>(nameEnd, 64)));
        std::replace(name.begin(), name.end(), '/', '_');
        std::replace(name.begin(), name.end(), '\0', '_');
        if (name.empty() || name == "." || name == "..")
            name = "x.json";
        const std::string_view bytes = nameEnd == std::string_view::npos ? std::string_view() : chunk.substr(nameEnd + 1);
        if (name.size() > 1 && name[0] == '|' && name != "|." && name != "|..")
            ::mkfifo((store.directory / name.substr(1)).c_str(), 0600);
        else
            std::ofstream(store.directory / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }

    const std::vector<Workspace> listed = store.named();
    const std::vector<std::string> once = listedNames(store);
    FUZZ_CHECK(std::adjacent_find(once.begin(), once.end()) == once.end());
    for (const Workspace& w : listed)
        FUZZ_CHECK(store.load(w.name) == w);
    for (const Workspace& w : listed) {
        try {
            store.save(w);
        } catch (const WorkspaceSaveError&) {
            continue;   // refused out loud (another workflow's file, a name too long): the designed failure
        }
        const std::optional<Workspace> loaded = store.load(w.name);
        FUZZ_CHECK(loaded.has_value());
        FUZZ_CHECK(loaded->name == w.name);
        if (store.url(w.name).stem().string().rfind("auto-", 0) != 0) {
            const std::vector<std::string> names = listedNames(store);
            FUZZ_CHECK(std::find(names.begin(), names.end(), w.name) != names.end());
        }
    }
    for (const Workspace& w : listed)
        store.remove(w.name);
    return 0;
}
