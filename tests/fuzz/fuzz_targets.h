#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// What the fuzzers feed and the regression test replays: each entry takes any bytes and aborts
// when the code under it breaks a promise (throws what it never throws, or a value does not
// survive its own round trip). Sanitizers catch the rest.
namespace FuzzTargets {

using Entry = void (*)(const uint8_t* data, size_t size);
struct Target {
    const char* name;
    Entry entry;
};

void settingsDocument(const uint8_t* data, size_t size);
void commandsDocument(const uint8_t* data, size_t size);
void historyDocument(const uint8_t* data, size_t size);
// First byte: the provider; next two: the status; the rest: the body.
void providerReply(const uint8_t* data, size_t size);
void remoteLine(const uint8_t* data, size_t size);
void keyMap(const uint8_t* data, size_t size);

inline constexpr std::array<Target, 6> all{{
    {"settings_document", settingsDocument},
    {"commands_document", commandsDocument},
    {"history_document", historyDocument},
    {"provider_reply", providerReply},
    {"remote_line", remoteLine},
    {"key_map", keyMap},
}};

} // namespace FuzzTargets
