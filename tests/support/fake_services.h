#pragma once

#include "ai_service.h"
#include "hotkey_registry.h"
#include "selection_access.h"

#include <QCoro/QCoroTimer>
#include <QElapsedTimer>
#include <QStringList>
#include <chrono>
#include <exception>
#include <memory>

// Records registrations; refuses the key codes listed in refuseKeyCodes.
struct RecordingHotkeyRegistry : HotkeyRegistry {
    struct Registration {
        uint32_t id;
        uint16_t keyCode;
        uint32_t modifiers;
        Action action;
    };
    QList<Registration> commandHotkeys;
    QList<uint32_t> refuseKeyCodes;
    std::optional<std::pair<uint32_t, uint32_t>> overlay;
    Action overlayAction;
    int unregisterAllCommandCalls = 0, unregisterAllCalls = 0;
    uint32_t nextId = 1;

    bool registerOverlayHotkey(uint32_t keyCode, uint32_t modifiers, Action action) override
    {
        overlayAction = std::move(action);
        overlay = refuseKeyCodes.contains(keyCode) ? std::nullopt : std::make_optional(std::make_pair(keyCode, modifiers));
        return overlay.has_value();
    }
    std::optional<uint32_t> registerCommandHotkey(uint16_t keyCode, uint32_t modifiers, Action action) override
    {
        const uint32_t id = nextId++;
        if (refuseKeyCodes.contains(keyCode))
            return std::nullopt;
        commandHotkeys.append({id, keyCode, modifiers, std::move(action)});
        return id;
    }
    QString refusalReason(uint16_t keyCode, uint32_t) override
    {
        return refuseKeyCodes.contains(keyCode) ? QStringLiteral("Taken by another program") : QString();
    }
    void unregisterAllCommandHotkeys() override
    {
        ++unregisterAllCommandCalls;
        commandHotkeys.clear();
        nextId = 1;
    }
    void unregisterAll() override
    {
        ++unregisterAllCalls;
        overlay.reset();
        unregisterAllCommandHotkeys();
    }
};

// A selection that tests set, and a record of what was pasted and when.
struct FakeSelectionAccess : SelectionAccess {
    std::optional<QString> selection;
    int reads = 0;
    QStringList pasted;
    QList<qint64> pastedAtMs;
    QElapsedTimer clock;
    std::function<void()> onPaste;
    std::optional<quint64> front;   // the window the user works in
    int readDelayMs = 0;            // the program holding the selection answers this late
    QStringList leftOnClipboard;    // answers withheld because the window changed

    FakeSelectionAccess() { clock.start(); }
    QString problem;                // why a read found no text
    QString readProblem() override { return problem; }
    std::optional<quint64> frontWindow() override { return front; }
    QCoro::Task<std::optional<QString>> getSelectedText() override
    {
        ++reads;
        if (readDelayMs > 0)
            co_await QCoro::sleepFor(std::chrono::milliseconds(readDelayMs));
        // A copy: QCoro 0.8 moves from an lvalue handed to co_return, which would empty the selection.
        co_return std::optional<QString>(selection);
    }
    bool pasteText(const QString& text, std::optional<quint64> intoWindow, bool) override
    {
        if (intoWindow && intoWindow != front) {
            leftOnClipboard.append(text);
            return false;
        }
        pasted.append(text);
        pastedAtMs.append(clock.elapsed());
        if (onPaste)
            onPaste();
        return true;
    }
};

// A provider that answers after an optional delay, or throws.
class FakeAIService : public AIService {
public:
    struct Script {
        QString answer;
        std::exception_ptr error;
        int delayMs = 0;
        QList<std::pair<QString, QString>> calls; // (prompt, text)
        qint64 answeredAtMs = -1;
        QElapsedTimer* clock = nullptr;
    };
    explicit FakeAIService(std::shared_ptr<Script> script) : m_script(std::move(script)) {}

    QCoro::Task<QString> processText(QString prompt, QString text) override
    {
        auto script = m_script; // the client may be gone when a caller drops it early
        script->calls.append({prompt, text});
        if (script->delayMs > 0)
            co_await QCoro::sleepFor(std::chrono::milliseconds(script->delayMs));
        if (script->clock)
            script->answeredAtMs = script->clock->elapsed();
        if (script->error)
            std::rethrow_exception(script->error);
        co_return script->answer;
    }

private:
    std::shared_ptr<Script> m_script;
};
