#pragma once

#include "app_state.h"
#include "fake_services.h"
#include "json_codec.h"
#include "memory_defaults_store.h"

#include <QTest>
#include <memory>

// A store holding the given commands, a fake selection and a provider that echoes.
struct OverlayFixture {
    MemoryDefaultsStore defaults;
    FakeSelectionAccess access;
    std::shared_ptr<FakeAIService::Script> script = std::make_shared<FakeAIService::Script>();
    std::unique_ptr<AppState> state;

    explicit OverlayFixture(const QList<Command>& commands)
    {
        script->answer = QStringLiteral("answer");
        defaults.values.insert(QString::fromLatin1(AppState::commandsKey),
                               JsonCodec::encodeCommandsDocument(commands));
        state = std::make_unique<AppState>(AppState::Services{
            &defaults, nullptr, &access,
            [this](const AppSettings&) { return std::make_unique<FakeAIService>(script); }});
    }

    // The prompts the provider was asked to run, in order, with their texts.
    QList<std::pair<QString, QString>> runs() const { return script->calls; }

    // A run goes on after the palette is gone; let it paste before the store goes away.
    bool waitForPastes(int count) { return QTest::qWaitFor([&] { return access.pasted.size() >= count; }, 3000); }
};

inline Command overlayCommand(const QString& name, bool enabled = true,
                              std::optional<QString> shortcut = std::nullopt)
{
    Command c;
    c.id = QUuid::createUuid();
    c.name = name;
    c.prompt = QStringLiteral("prompt ") + name;
    c.icon = QStringLiteral("sparkles");
    c.isEnabled = enabled;
    c.shortcut = shortcut;
    c.createdAt = c.updatedAt = QDateTime::currentDateTimeUtc();
    return c;
}
