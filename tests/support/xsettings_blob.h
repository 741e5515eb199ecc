#pragma once

// An XSETTINGS property as a settings manager writes it, in either byte
// order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::test {

class XSettingsBlob {
public:
    explicit XSettingsBlob(bool bigEndian = false) : big_(bigEndian) {}

    XSettingsBlob& integer(std::string_view name, std::int32_t value)
    {
        head(0, name);
        card(std::uint32_t(value), 4);
        return *this;
    }
    XSettingsBlob& text(std::string_view name, std::string_view value)
    {
        head(1, name);
        card(std::uint32_t(value.size()), 4);
        body_.insert(body_.end(), value.begin(), value.end());
        pad();
        return *this;
    }
    XSettingsBlob& colour(std::string_view name)
    {
        head(2, name);
        card(0xffff, 2), card(0, 2), card(0, 2), card(0xffff, 2);
        return *this;
    }
    std::vector<std::uint8_t> bytes(std::uint32_t serial = 1) const
    {
        std::vector<std::uint8_t> out{std::uint8_t(big_ ? 1 : 0), 0, 0, 0};
        put(out, serial, 4);
        put(out, count_, 4);
        out.insert(out.end(), body_.begin(), body_.end());
        return out;
    }

private:
    void head(std::uint8_t type, std::string_view name)
    {
        ++count_;
        body_.push_back(type);
        body_.push_back(0);
        card(std::uint32_t(name.size()), 2);
        body_.insert(body_.end(), name.begin(), name.end());
        pad();
        card(0, 4);   // last-change serial
    }
    void pad()
    {
        while (body_.size() % 4)
            body_.push_back(0);
    }
    void card(std::uint32_t v, int width) { put(body_, v, width); }
    void put(std::vector<std::uint8_t>& to, std::uint32_t v, int width) const
    {
        for (int i = 0; i < width; ++i) {
            const int shift = big_ ? 8 * (width - 1 - i) : 8 * i;
            to.push_back(std::uint8_t(v >> shift));
        }
    }

    bool big_;
    std::uint32_t count_ = 0;
    std::vector<std::uint8_t> body_;
};

} // namespace kavelo::test
