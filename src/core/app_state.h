#pragma once

#include "ai_service.h"
#include "api_key_store.h"
#include "defaults_store.h"
#include "hotkey_registry.h"
#include "provider_failure.h"
#include "records.h"
#include "selection_access.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>

// The one store: settings, commands, history and the flags the palette and the
// main window share. Every change of a document saves it at once; a run's history entry is
// saved on the next turn of the event loop.
class AppState : public QObject {
    Q_OBJECT
public:
    using AIServiceFactory = std::function<std::unique_ptr<AIService>(const AppSettings&)>;

    static constexpr auto settingsKey = "tovalin_settings";
    static constexpr auto commandsKey = "tovalin_commands";
    static constexpr auto historyKey = "tovalin_history";
    static constexpr int historyLimit = 100;
    // Far above any real selection (about 500 pages of text).
    static constexpr qsizetype maxTextBytes = 1024 * 1024;

    struct Services {
        DefaultsStore* defaults = nullptr;               // required
        HotkeyRegistry* hotkeys = nullptr;               // may be null: no hotkeys
        SelectionAccess* accessibilityService = nullptr; // may be null: no selection, no paste
        AIServiceFactory aiServiceFactory;               // may be empty: every run fails
        ApiKeyStore* apiKeys = nullptr;                  // may be null: the settings file keeps the keys
    };

    // A stored settings document that could not be read: defaults stand in for it
    // until the next save, which first puts the document aside.
    struct UnreadableDocument {
        QString location; // where it was read from
        QString reason;   // the member, or the parse error and its offset
        QString keptAs;   // where it will be kept; empty when the store keeps no copy
    };

    explicit AppState(Services services, QObject* parent = nullptr);
    ~AppState() override;

    const AppSettings& settings() const { return m_settings; }
    const QList<Command>& commands() const { return m_commands; }
    const QList<HistoryItem>& history() const { return m_history; }
    bool isOverlayVisible() const { return m_isOverlayVisible; }
    bool isProcessing() const { return m_isProcessing; }
    const QString& selectedText() const { return m_selectedText; }
    MainTab currentTab() const { return m_currentTab; }
    SelectionAccess* accessibilityService() const { return m_services.accessibilityService; }
    ApiKeyStore* apiKeys() const { return m_services.apiKeys; }
    // Home offers to set up a provider: on a first start until one answers, and after a
    // run found the chosen one unreachable.
    bool offersProviderSetup() const { return m_offersProviderSetup; }
    const std::optional<UnreadableDocument>& unreadableSettings() const { return m_unreadableSettings; }
    // Command runs started and not yet finished; runs may overlap.
    int runsInFlight() const { return m_runsInFlight; }
    // Runs still waiting for their provider, which cancel can stop.
    bool hasRunsToCancel() const { return !m_cancellableRuns.isEmpty(); }

    // Views change settings here and then call saveSettings().
    void setSettings(const AppSettings& settings);
    void setOverlayVisible(bool visible);
    void setProcessing(bool processing);
    void setSelectedText(const QString& text);
    void setCurrentTab(MainTab tab);

    void saveSettings();
    void saveCommands();
    void saveHistory();

    void addCommand(const Command& command);
    void updateCommand(const Command& command);
    void deleteCommand(const Command& command);
    void setCommandEnabled(const Command& command, bool enabled);
    void moveCommands(const QSet<int>& fromOffsets, int toOffset);
    void resetCommandsToDefaults();
    void addLibraryCommand(const Command& libraryCommand);
    // Makes the grabbed command hotkeys exactly the enabled commands' shortcuts; runs on
    // every change of the list (and of the palette hotkey), and at launch.
    void registerCommandHotkeys();
    HotkeyRegistry* hotkeys() const { return m_services.hotkeys; }
    // Why a combination cannot be the hotkey of owner (a command's id; null: the palette),
    // as the user reads it; empty when it can.
    QString hotkeyClash(uint16_t keyCode, uint64_t modifiers, const QUuid& owner = {});
    // Why a command's saved hotkey does not work; empty when it works or there is none.
    QString hotkeyProblem(const QUuid& command) const { return m_hotkeyProblems.value(command); }

    void addHistoryItem(const HistoryItem& item);
    void clearHistory();

    // Undo of the destructive list actions: each puts back what was there and saves it.
    // A deleted command returns at its old position (unless it is back already).
    void restoreCommand(const Command& command, int position);
    // The list as it was before a reset.
    void restoreCommands(const QList<Command>& commands);
    // Cleared entries return behind any run recorded since, within the history's limit.
    void restoreHistory(const QList<HistoryItem>& items);

    // Reads the selection into selectedText (when one came back) and marks the palette visible.
    QCoro::Task<> openOverlay();
    // The other order, where the selection can be read beside the palette: visible now,
    // with the text still to come from readSelectionBesideOverlay().
    void openOverlayBeforeText();
    QCoro::Task<> readSelectionBesideOverlay();
    // The palette is showing and its text is still being read; selectionRead() ends it.
    bool isReadingSelection() const { return m_readingSelection; }
    void closeOverlay();

    std::unique_ptr<AIService> makeAIService() const;

    // Reads the selection and runs the command on it, as a command hotkey does; with nothing
    // selected says so instead.
    QCoro::Task<> runOnSelection(Command command);
    // Runs a command on a text: provider call, history entry, paste. Never throws.
    QCoro::Task<> executeCommand(Command command, QString text);

    // A name for a run that its starter may cancel later; never 0.
    quint64 newRunId() { return ++m_lastRunId; }
    // Stops the run's provider call: its connection closes, nothing is pasted, and the
    // history records it as cancelled. Unknown or finished runs are ignored.
    void cancelRun(quint64 runId);
    // Stops every run still waiting for its provider.
    void cancelAllRuns();

    // The two halves of a run, for a palette that shows the answer before replacing.
    struct RunOutcome {
        std::optional<QString> answer;
        QString error; // user-facing; empty when there was no text to send
        std::optional<ProviderFailure::Reason> fault; // set when the provider's setup is the reason
        bool cancelled = false;
    };
    // The provider call and the history entry; failures are logged, never thrown. onText
    // sees the answer so far as it arrives; runId (from newRunId()) lets cancelRun() stop it.
    QCoro::Task<RunOutcome> answerFor(Command command, QString text,
                                      AIService::TextSoFar onText = {}, quint64 runId = 0);
    // After the wait, pastes the answer with the original's edges into window (when given).
    QCoro::Task<> pasteAnswer(Command command, QString original, QString answer,
                              std::optional<quint64> window);
    // The provider call and the history entry; rethrows what the client throws. A text
    // longer than maxTextBytes fails with std::length_error before anything is sent. A
    // cancelled run is recorded as such and throws RunCancelled.
    QCoro::Task<QString> processCommand(Command command, QString text,
                                        AIService::TextSoFar onText = {}, quint64 runId = 0);

    // Wait between the answer and the paste, so the palette is gone and focus has settled.
    static constexpr int pasteDelayMs = 100;

signals:
    void settingsChanged();
    void commandsChanged();
    void historyChanged();
    void isOverlayVisibleChanged();
    void isProcessingChanged();
    void selectedTextChanged();
    void currentTabChanged();
    void runsInFlightChanged();
    // hasRunsToCancel() may have changed.
    void runsToCancelChanged();
    // The outcome of each run, for the user to see and hear; message is user-facing text.
    void commandSucceeded(const Command& command);
    // providerAtFault: the provider's setup is why (unreachable, key, model), so the AI
    // settings are where the user can mend it.
    void commandFailed(const Command& command, const QString& message, bool providerAtFault);
    void offersProviderSetupChanged();
    // The user left the window the text came from before the answer arrived.
    void answerLeftOnClipboard(const Command& command);
    // The palette or a command hotkey found nothing selected.
    // reason: what stopped the read, empty when nothing was selected.
    void noTextSelected(const QString& reason);
    // A read begun by openOverlayBeforeText() ended, with text or without, or the palette closed.
    void selectionRead();

private:
    void setCommands(QList<Command> commands);
    void setHistory(QList<HistoryItem> history);
    void store(const char* key, const QByteArray& bytes);
    void setRunsInFlight(int runs);
    void setOffersProviderSetup(bool offers);
    void recordCancelled(const Command& command, const QString& text);
    void prependHistory(const HistoryItem& item);
    // A run's entry: in the list at once, on disk a moment later.
    void recordRun(const HistoryItem& item);
    // A history entry for a run of command on text, now; the outcome is the caller's.
    static HistoryItem historyEntry(const Command& command, const QString& text);

    Services m_services;
    AppSettings m_settings;
    QList<Command> m_commands;
    QList<HistoryItem> m_history;
    bool m_isOverlayVisible = false;
    bool m_isProcessing = false;
    QString m_selectedText;
    MainTab m_currentTab = MainTab::home;
    std::optional<UnreadableDocument> m_unreadableSettings;
    int m_runsInFlight = 0;
    QHash<QUuid, QString> m_hotkeyProblems;
    HotkeyConfig m_registeredWithOverlay;
    bool m_offersProviderSetup = false;
    quint64 m_lastRunId = 0;
    bool m_historySaveQueued = false;
    bool m_readingSelection = false;
    quint64 m_overlayShowing = 0; // a read's text is for the showing that started it
    // The clients of the runs waiting for an answer, by run.
    QHash<quint64, AIService*> m_cancellableRuns;
};
