#include "fuzz_targets.h"

#include "ai_error.h"
#include "json_codec.h"
#include "provider_factory.h"
#include "provider_service.h"
#include "remote_request.h"
#include "x11/x11_key_map.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace FuzzTargets {
namespace {
QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

void require(bool promise, const char* what)
{
    if (promise)
        return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

// A decoded document encodes to one that decodes to the same value.
template <typename Decode, typename Encode>
void roundTrip(const uint8_t* data, size_t size, Decode decode, Encode encode, const char* what)
{
    const auto decoded = decode(bytes(data, size));
    if (decoded)
        require(decode(encode(*decoded)) == decoded, what);
}
} // namespace

void settingsDocument(const uint8_t* data, size_t size)
{
    const auto decode = [](const QByteArray& b) { return JsonCodec::decodeSettingsDocument(b); };
    roundTrip(data, size, decode, JsonCodec::encodeSettingsDocument, "settings round trip");
}

void commandsDocument(const uint8_t* data, size_t size)
{
    roundTrip(data, size, JsonCodec::decodeCommandsDocument, JsonCodec::encodeCommandsDocument, "commands round trip");
}

void historyDocument(const uint8_t* data, size_t size)
{
    roundTrip(data, size, JsonCodec::decodeHistoryDocument, JsonCodec::encodeHistoryDocument, "history round trip");
}

void providerReply(const uint8_t* data, size_t size)
{
    // Each provider's own rules, as its client reads replies with them.
    static const std::vector<ReplyRules> rules = [] {
        std::vector<ReplyRules> all;
        for (AIProvider provider : allAIProviders) {
            AppSettings settings;
            settings.aiProvider = provider;
            const auto service = makeAIService(settings);
            all.push_back(dynamic_cast<const ProviderService&>(*service).replyRules());
        }
        return all;
    }();
    if (size < 3)
        return;
    static constexpr int statuses[] = {200, 200, 200, 200, 400, 401, 403, 404, 429, 500, 503};
    const ReplyRules& chosen = rules[data[0] % rules.size()];
    const int pick = data[1] | data[2] << 8;
    const std::optional<int> status = pick == 0xFFFF ? std::nullopt
                                      : pick < 0x8000 ? std::optional(statuses[pick % std::size(statuses)])
                                                      : std::optional(pick - 0x8000);
    try {
        readAnswer(chosen, status, bytes(data + 3, size - 3));
    } catch (const AIError&) {
    } catch (const TransportError&) {
    }
}

void remoteLine(const uint8_t* data, size_t size)
{
    const QByteArray line = bytes(data, size);
    if (const auto request = RemoteRequest::fromLine(line)) {
        const auto again = RemoteRequest::fromLine(request->toLine().chopped(1));
        require(again && again->kind == request->kind && again->commandName == request->commandName, "request round trip");
    }
    if (const auto reply = RemoteReply::fromLine(line)) {
        const auto again = RemoteReply::fromLine(reply->toLine().chopped(1));
        require(again && again->status == reply->status && again->message == reply->message, "reply round trip");
    }
}

void keyMap(const uint8_t* data, size_t size)
{
    if (size < 6)
        return;
    const uint16_t virtualKey = uint16_t(data[0] | data[1] << 8);
    if (const auto x11 = X11KeyMap::x11KeyCode(virtualKey))
        require(X11KeyMap::virtualKeyCode(*x11) == virtualKey, "virtual key round trip");
    if (const auto back = X11KeyMap::virtualKeyCode(data[2]))
        require(X11KeyMap::x11KeyCode(*back) == data[2], "X11 key round trip");
    const uint32_t carbon = uint32_t(data[3]) << 8 | uint32_t(data[4]) << 16 | uint32_t(data[5]) << 24;
    require((X11KeyMap::x11Modifiers(carbon) & ~X11KeyMap::hotkeyModifierMask) == 0, "modifiers stay in the hotkey mask");
}

} // namespace FuzzTargets
