#include "FaultNames.h"

#include <array>
#include <charconv>
#include <utility>

namespace sim {

namespace {

constexpr std::array<std::pair<std::string_view, Fault>, 10> Names{{
    {"no-reply", Fault::NoReply},
    {"short-reply", Fault::ShortReply},
    {"long-reply", Fault::LongReply},
    {"bad-checksum", Fault::BadChecksum},
    {"wrong-header", Fault::WrongHeader},
    {"late-reply", Fault::LateReply},
    {"bad-ack", Fault::BadAck},
    {"ack-extra", Fault::AckWithExtra},
    {"lost-write", Fault::LostWrite},
    {"split-reply", Fault::SplitReply},
}};

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<FaultRule> ParseFaultRule(std::string_view text) {
    FaultRule rule{Fault::NoReply};
    // An "x" followed by digits counts; "ack-extra" keeps its own.
    if (const auto x = text.rfind('x'); x != std::string_view::npos) {
        if (const auto times = Number(text.substr(x + 1))) {
            if (*times == 0) {
                return std::nullopt;
            }
            rule.times = *times;
            text = text.substr(0, x);
        }
    }
    if (const auto at = text.find('@'); at != std::string_view::npos) {
        const auto sector = Number(text.substr(at + 1));
        if (!sector) {
            return std::nullopt;
        }
        rule.sector = *sector;
        text = text.substr(0, at);
    }
    for (const auto& [name, fault] : Names) {
        if (name == text) {
            rule.fault = fault;
            return rule;
        }
    }
    return std::nullopt;
}

std::string FaultNameList() {
    std::string list;
    for (const auto& [name, fault] : Names) {
        list += list.empty() ? "" : ", ";
        list += name;
    }
    return list;
}

} // namespace sim
