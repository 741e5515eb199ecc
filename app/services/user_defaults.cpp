#include "app/services/user_defaults.h"

#include <cctype>
#include <cerrno>
#include <cmath>

namespace kavelo {

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file))
{
    std::error_code ec;
    const bool exists = std::filesystem::exists(file_, ec);
    if (!exists && !ec)
        return;
    const std::optional<std::string> bytes = readFile(file_);
    std::optional<Json> parsed = bytes ? json::parse(*bytes) : std::nullopt;
    if (parsed && parsed->is_object())
        values_ = std::move(*parsed);
    else
        unreadable_ = true;
}

UserDefaults::~UserDefaults() { flush(); }

void UserDefaults::deferWrites(Scheduler& scheduler, Seconds delay)
{
    scheduler_ = &scheduler;
    delay_ = delay;
}

void UserDefaults::keepInMemory()
{
    inMemory_ = true;
    pending_.cancel();
    unwritten_ = false;
}

void UserDefaults::changed()
{
    ++changes_;
    if (inMemory_)
        return;
    unwritten_ = true;
    if (!scheduler_) {
        write();
        return;
    }
    if (!pending_.pending())
        pending_ = scheduler_->after(delay_, [this] { flush(); });
}

std::error_code UserDefaults::flush()
{
    pending_.cancel();
    if (unwritten_)
        write();
    return lastError_;
}

std::string UserDefaults::plainReason(std::error_code error, const std::filesystem::path& folder)
{
    if (error == std::errc::no_space_on_device || error.value() == EDQUOT)
        return "the disk is full";
    if (error == std::errc::read_only_file_system)
        return "the disk is read-only";
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return "Kavelo may not write to " + folder.string();
    std::string why = error.message();
    if (!why.empty())
        why[0] = char(std::tolower(static_cast<unsigned char>(why[0])));
    return why;
}

const Json* UserDefaults::value(std::string_view key) const
{
    const auto it = values_.find(key);
    return it == values_.end() ? nullptr : &*it;
}

std::optional<bool> UserDefaults::boolean(std::string_view key) const
{
    const Json* v = value(key);
    if (!v)
        return std::nullopt;
    return json::decode([&] { return json::boolean(*v); });
}

std::optional<std::int64_t> UserDefaults::integer(std::string_view key) const
{
    const Json* v = value(key);
    if (!v)
        return std::nullopt;
    return json::decode([&] { return json::integer<std::int64_t>(*v); });
}

std::optional<double> UserDefaults::number(std::string_view key) const
{
    const Json* v = value(key);
    if (!v)
        return std::nullopt;
    return json::decode([&] { return json::number(*v); });
}

std::optional<std::string> UserDefaults::text(std::string_view key) const
{
    const Json* v = value(key);
    if (!v)
        return std::nullopt;
    return json::decode([&] { return json::text(*v); });
}

std::optional<std::vector<std::string>> UserDefaults::texts(std::string_view key) const
{
    const Json* v = value(key);
    if (!v)
        return std::nullopt;
    return json::decode([&] {
        std::vector<std::string> result;
        for (const Json& element : json::array(*v))
            result.push_back(json::text(element));
        return result;
    });
}

namespace {

bool encodableValue(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::number_float:
        return std::isfinite(value.get<double>());
    case Json::value_t::array:
        for (const Json& element : value)
            if (!encodableValue(element))
                return false;
        return true;
    case Json::value_t::object:
        for (const auto& [key, element] : value.items()) {
            if (!encodableValue(Json(key)) || !encodableValue(element))
                return false;
        }
        return true;
    case Json::value_t::string:
        try {
            (void)value.dump();
            return true;
        } catch (const Json::exception&) {
            return false;
        }
    case Json::value_t::binary:
    case Json::value_t::discarded:
        return false;
    default:
        return true;
    }
}

} // namespace

bool UserDefaults::encodable(const Json& value)
{
    // Stored inside the file's object, so one level less than a file may nest.
    return json::depth(value) < json::maxDepth && encodableValue(value);
}

bool UserDefaults::set(std::string_view key, Json value)
{
    if (!encodable(Json(std::string(key))))
        return false;
    if (!encodable(value)) {
        remove(key);
        return false;
    }
    values_[std::string(key)] = std::move(value);
    changed();
    return true;
}

void UserDefaults::remove(std::string_view key)
{
    if (const auto it = values_.find(key); it != values_.end())
        values_.erase(it);
    changed();
}

void UserDefaults::write()
{
    unwritten_ = false;
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    if (unreadable_) {
        // Keep what the user had; a later version or a hand may still read it.
        const MovedAside aside = moveAside(file_, ".unreadable", maxAsideCopies);
        if (aside.error) {
            failed(aside.error, "could not move the unreadable settings file aside");
            return;   // never overwrite a file that could not be moved aside
        }
        if (aside.movedTo)
            movedAside_ = aside.movedTo;
        unreadable_ = false;
    }
    if (const std::error_code error = writeFileAtomically(file_, values_.dump(2) + "\n")) {
        failed(error, "could not save the settings");
        return;
    }
    lastError_ = {};
    told_.clear();
    unwritten_ = false;
}

void UserDefaults::failed(std::error_code error, std::string_view what)
{
    lastError_ = error;
    // Still in memory: the next change, or a flush, tries again.
    unwritten_ = true;
    if (!told_.insert(std::string(what) + "\n" + error.category().name() + std::to_string(error.value())).second)
        return;
    if (onWriteFailure)
        onWriteFailure(std::string(what) + " (" + file_.string() + "): " + error.message(), error);
}

} // namespace kavelo
