#pragma once

// What the fuzz targets share: a scratch folder that lives as long as the
// process, and a check that stops the run with a message when a decoder
// breaks one of its promises.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace kavelo::fuzz {

[[noreturn]] inline void broken(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: promise broken: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::kavelo::fuzz::broken(#condition, __FILE__, __LINE__))

// A fresh, empty folder for this process (in memory when /dev/shm exists),
// removed when the run ends normally.
class Scratch {
public:
    Scratch()
    {
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string pattern = (base / "kavelo-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder_ = pattern;
    }
    ~Scratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

inline const std::filesystem::path& scratch()
{
    static const Scratch instance;
    return instance.folder();
}

// Empties the scratch folder between inputs.
inline void clearScratch()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(scratch(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

inline std::string_view text(const unsigned char* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace kavelo::fuzz
