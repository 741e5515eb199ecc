#include "app/shell/kavelo_url.h"

#include "core/raw_value.h"
#include "core/text.h"

#include <array>

namespace kavelo {

namespace {

constexpr std::array<UrlVerb, 4> verbs{UrlVerb::run, UrlVerb::switchTo, UrlVerb::mode, UrlVerb::layout};

// Well-formed UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool isUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t length = 0;
        char32_t value = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            value = c & 0x07;
        } else {
            return false;
        }
        if (i + length > s.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (d & 0x3F);
        }
        if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (length == 4 && (value < 0x10000 || value > 0x10FFFF)))
            return false;
        i += length;
    }
    return true;
}

// One pass of percent-decoding; none for a broken escape or a NUL.
std::optional<std::string> percentDecoded(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '%') {
            if (i + 2 >= s.size())
                return std::nullopt;
            const int high = text::hexValue(static_cast<unsigned char>(s[i + 1]));
            const int low = text::hexValue(static_cast<unsigned char>(s[i + 2]));
            if (high < 0 || low < 0)
                return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (c == '\0')
            return std::nullopt;
        out.push_back(c);
    }
    return out;
}

std::string_view trimmedSlashes(std::string_view s)
{
    while (!s.empty() && s.front() == '/')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == '/')
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string_view rawValue(UrlVerb verb)
{
    switch (verb) {
    case UrlVerb::run: return "run";
    case UrlVerb::switchTo: return "switch";
    case UrlVerb::mode: return "mode";
    case UrlVerb::layout: return "layout";
    }
    return "run";
}

std::optional<UrlVerb> UrlVerb_from(std::string_view raw) { return caseNamed(verbs, raw); }

std::variant<KaveloUrl, KaveloUrl::Fault> KaveloUrl::parse(std::string_view text)
{
    if (text.size() > maxLength)
        return Fault::tooLong;
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || text.substr(0, colon) != scheme)
        return Fault::otherScheme;
    std::string_view rest = text.substr(colon + 1);
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (!rest.starts_with("//"))
        return Fault::noVerb;
    rest.remove_prefix(2);
    const auto slash = rest.find('/');
    const std::string_view host = rest.substr(0, slash);
    if (host.empty())
        return Fault::noVerb;
    const std::string_view path = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    const auto decoded = percentDecoded(path);
    if (!decoded || !isUtf8(*decoded) || !isUtf8(text))
        return Fault::badEscape;
    return KaveloUrl{.verb = std::string(host), .argument = std::string(trimmedSlashes(*decoded))};
}

namespace KaveloUrls {

std::optional<UrlAction> action(std::string_view text)
{
    const auto parsed = KaveloUrl::parse(text);
    const auto* url = std::get_if<KaveloUrl>(&parsed);
    if (!url)
        return std::nullopt;
    const auto verb = UrlVerb_from(url->verb);
    if (!verb)
        return std::nullopt;
    switch (*verb) {
    case UrlVerb::run:
        if (const auto command = Command_from(url->argument))
            return UrlAction{UrlAction::Run{*command}};
        return std::nullopt;
    case UrlVerb::switchTo:
        if (url->argument.empty())
            return std::nullopt;
        return UrlAction{UrlAction::Switch{url->argument}};
    case UrlVerb::mode:
        if (const auto mode = ArrangeMode_from(url->argument))
            return UrlAction{UrlAction::Mode{*mode}};
        return std::nullopt;
    case UrlVerb::layout:
        if (const auto layout = TidyLayout_from(url->argument))
            return UrlAction{UrlAction::Layout{*layout}};
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> problem(std::string_view text, const std::function<bool(std::string_view)>& workflowExists)
{
    const auto parsed = KaveloUrl::parse(text);
    if (const auto* fault = std::get_if<KaveloUrl::Fault>(&parsed)) {
        switch (*fault) {
        case KaveloUrl::Fault::tooLong:
            return "URL of " + std::to_string(text.size()) + " bytes is longer than " +
                   std::to_string(KaveloUrl::maxLength);
        case KaveloUrl::Fault::otherScheme: return "not a kavelo URL: " + text::printable(text);
        case KaveloUrl::Fault::noVerb: return "no verb in " + text::printable(text);
        case KaveloUrl::Fault::badEscape: return "malformed URL " + text::printable(text);
        }
    }
    const auto& url = std::get<KaveloUrl>(parsed);
    const std::string in = " in " + text::printable(text);
    const auto verb = UrlVerb_from(url.verb);
    if (!verb)
        return "unknown verb " + text::quoted(url.verb) + in;
    const auto found = action(text);
    switch (*verb) {
    case UrlVerb::run:
        if (!found)
            return "unknown command " + text::quoted(url.argument) + in;
        return std::nullopt;
    case UrlVerb::switchTo:
        if (url.argument.empty() || !workflowExists || !workflowExists(url.argument))
            return "no workflow named " + text::quoted(url.argument) + in;
        return std::nullopt;
    case UrlVerb::mode:
        if (!found)
            return "unknown mode " + text::quoted(url.argument) + in;
        return std::nullopt;
    case UrlVerb::layout:
        if (!found)
            return "unknown layout " + text::quoted(url.argument) + in;
        return std::nullopt;
    }
    return std::nullopt;
}

bool looksLikeUrl(std::string_view argument)
{
    return argument.find("://") != std::string_view::npos || argument.starts_with("kavelo:");
}

} // namespace KaveloUrls

} // namespace kavelo
