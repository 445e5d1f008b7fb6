// Figure 5 of `make bench`: what a change costs the store on real files. Adding a history
// entry with 100 long entries present re-encodes and rewrites the whole document; so does
// saving a list of 500 commands.
#include "app_state.h"
#include "command_library.h"
#include "file_defaults_store.h"
#include "temp_state_dir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace {
template <typename Step>
double medianMs(int rounds, Step step)
{
    QList<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        step(i);
        ms.append(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// A long entry: a page of text in and a page out.
HistoryItem longEntry(int n)
{
    HistoryItem item;
    item.id = QUuid::createUuid();
    item.commandId = defaultCommands().first().id;
    item.commandName = defaultCommands().first().name;
    item.originalText = QStringLiteral("Entry %1. ").arg(n).repeated(400);
    item.resultText = item.originalText.toUpper();
    item.timestamp = QDateTime::currentDateTimeUtc();
    item.success = true;
    return item;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TempStateDir tmp;
    FileDefaultsStore store = FileDefaultsStore::forCurrentUser();
    AppState state({&store, nullptr, nullptr, {}});
    for (int i = 0; i < AppState::historyLimit; ++i)
        state.addHistoryItem(longEntry(i));
    const qint64 historyBytes = QFileInfo(store.pathForKey(AppState::historyKey)).size();
    const double addMs = medianMs(50, [&](int i) { state.addHistoryItem(longEntry(1000 + i)); });

    QList<Command> commands;
    for (int i = 0; i < 500; ++i) {
        Command c = defaultCommands()[i % 7];
        c.id = QUuid::createUuid();
        c.name += QStringLiteral(" %1").arg(i);
        commands.append(c);
    }
    state.resetCommandsToDefaults();
    for (const Command& c : std::as_const(commands).mid(7))
        state.addCommand(c);
    const double saveMs = medianMs(50, [&](int) { state.saveCommands(); });
    std::printf("5 store cost: adding a history entry with 100 long entries present (%lld KB document): median %.2f ms; "
                "saving %d commands: median %.2f ms\n",
                historyBytes / 1024, addMs, int(state.commands().size()), saveMs);
    return 0;
}
