#pragma once

#include "app_state.h"
#include "command_library.h"
#include "command_list_model.h"
#include "fake_services.h"
#include "json_codec.h"
#include "memory_defaults_store.h"
#include "test_commands.h"

#include <QAbstractItemModel>
#include <QTest>
#include <memory>

// A store over memory: the seven defaults on a fresh start, or the commands given; any other
// documents as stored (key -> bytes).
struct WindowFixture {
    MemoryDefaultsStore defaults;
    RecordingHotkeyRegistry hotkeys;
    std::unique_ptr<AppState> state;

    explicit WindowFixture(std::optional<QList<Command>> commands = std::nullopt, QHash<QString, QByteArray> documents = {})
    {
        defaults.values = std::move(documents);
        if (commands)
            defaults.values.insert(AppState::commandsKey, JsonCodec::encodeCommandsDocument(*commands));
        state = std::make_unique<AppState>(AppState::Services{&defaults, &hotkeys, nullptr, {}});
    }

    // The commands as written to the stored document.
    QList<Command> stored() const
    {
        return JsonCodec::decodeCommandsDocument(defaults.values.value(AppState::commandsKey)).value_or(QList<Command>{});
    }
    std::optional<AppSettings> storedSettings() const
    {
        return JsonCodec::decodeSettingsDocument(defaults.values.value(AppState::settingsKey));
    }
};

inline QStringList names(const QAbstractItemModel* model)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data().toString();
    return out;
}
