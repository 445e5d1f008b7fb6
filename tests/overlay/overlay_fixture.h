#pragma once

#include "app_state.h"
#include "fake_services.h"
#include "json_codec.h"
#include "memory_defaults_store.h"
#include "test_commands.h"

#include <QTest>
#include <memory>
#include <utility>

// (prompt, text) of each provider call.
using Runs = QList<std::pair<QString, QString>>;

// Commands A, B, C, ... enabled as given, the palette marked open on "text" the way the
// delegate leaves the store before showing, and a provider answering "answer".
struct OverlayFixture {
    MemoryDefaultsStore defaults;
    FakeSelectionAccess access;
    std::shared_ptr<FakeAIService::Script> script = std::make_shared<FakeAIService::Script>();
    std::unique_ptr<AppState> state;

    explicit OverlayFixture(const QList<bool>& enabled) : OverlayFixture(std::in_place, lettered(enabled)) {}

    static QList<Command> lettered(const QList<bool>& enabled)
    {
        QList<Command> commands;
        for (int i = 0; i < enabled.size(); ++i)
            commands.append(makeCommand(QString(QChar(u'A' + i)), enabled[i]));
        return commands;
    }

    OverlayFixture(std::in_place_t, const QList<Command>& commands)
    {
        defaults.values.insert(QString::fromLatin1(AppState::commandsKey), JsonCodec::encodeCommandsDocument(commands));
        script->answer = QStringLiteral("answer");
        state = std::make_unique<AppState>(AppState::Services{
            &defaults, nullptr, &access, [this](const AppSettings&) { return std::make_unique<FakeAIService>(script); }});
        state->setSelectedText(QStringLiteral("text"));
        state->setOverlayVisible(true);
    }

    // A run goes on after the palette is gone; let it paste before the store goes away.
    bool waitForPastes(int count) { return QTest::qWaitFor([&] { return access.pasted.size() >= count; }, 3000); }
};
