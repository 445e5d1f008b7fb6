#include "app_state.h"

#include "ai_error.h"
#include "command_library.h"
#include "console.h"
#include "json_codec.h"
#include "precise_delay.h"
#include "pasted_text.h"

#include <QLocale>
#include <QPointer>
#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace {
// A selection past the limit is a mistake (a whole file, a log); it is not sent anywhere.
void requireSendableSize(const QString& text)
{
    const qsizetype bytes = text.toUtf8().size();
    if (bytes <= AppState::maxTextBytes)
        return;
    throw std::length_error(QStringLiteral("The selected text is too large to send: %1, the limit is %2")
                                .arg(QLocale::c().formattedDataSize(bytes, 1), QLocale::c().formattedDataSize(AppState::maxTextBytes, 0))
                                .toStdString());
}
} // namespace

AppState::~AppState()
{
    if (m_historySaveQueued)
        saveHistory();
}

AppState::AppState(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services))
{
    Q_ASSERT(m_services.defaults);
    DefaultsStore& defaults = *m_services.defaults;

    const auto storedSettings = defaults.data(QLatin1String(settingsKey));
    m_offersProviderSetup = !storedSettings;
    if (storedSettings) {
        QString reason = defaults.readProblem(QLatin1String(settingsKey));
        if (auto decoded = reason.isEmpty() ? JsonCodec::decodeSettingsDocument(*storedSettings, &reason)
                                            : std::nullopt) {
            m_settings = *decoded;
        } else {
            const QString key = QLatin1String(settingsKey);
            m_unreadableSettings = UnreadableDocument{defaults.location(key), reason,
                                                      defaults.unreadableCopyLocation(key)};
            defaults.markUnreadable(key);
            QString line = QStringLiteral("Could not read settings from %1: %2; using defaults")
                               .arg(m_unreadableSettings->location, reason);
            if (!m_unreadableSettings->keptAs.isEmpty())
                line += QStringLiteral(", the file will be kept as ") + m_unreadableSettings->keptAs;
            Console::line(line);
        }
    }

    const auto storedCommands = defaults.data(QLatin1String(commandsKey));
    std::optional<QList<Command>> decodedCommands;
    if (storedCommands) {
        decodedCommands = JsonCodec::decodeCommandsDocument(*storedCommands);
        if (!decodedCommands)
            defaults.markUnreadable(QLatin1String(commandsKey));
    }
    m_commands = decodedCommands ? *decodedCommands : defaultCommands();

    if (const auto storedHistory = defaults.data(QLatin1String(historyKey))) {
        if (auto decoded = JsonCodec::decodeHistoryDocument(*storedHistory))
            m_history = *decoded;
        else
            defaults.markUnreadable(QLatin1String(historyKey));
    }

    // First run: store the seeded list at once. An unreadable list stays until
    // the next change of the list replaces it.
    if (!storedCommands)
        saveCommands();

    // One place keeps the grabs in step with the list, whatever changed it (an edit, a
    // reset, an undo); the views never register anything themselves.
    connect(this, &AppState::commandsChanged, this, &AppState::registerCommandHotkeys);
    connect(this, &AppState::settingsChanged, this, [this] {
        if (m_settings.overlayHotkey != m_registeredWithOverlay)
            registerCommandHotkeys();
    });
}

void AppState::setSettings(const AppSettings& settings)
{
    m_settings = settings;
    emit settingsChanged();
}

void AppState::setCommands(QList<Command> commands)
{
    m_commands = std::move(commands);
    const auto tooLong = [](const Command& c) { return c.name.size() > Command::maxNameLength; };
    if (std::any_of(m_commands.cbegin(), m_commands.cend(), tooLong))
        for (Command& command : m_commands)
            command.name = Command::cappedName(command.name);
    emit commandsChanged();
}

void AppState::setHistory(QList<HistoryItem> history)
{
    m_history = std::move(history);
    emit historyChanged();
}

void AppState::setOverlayVisible(bool visible)
{
    m_isOverlayVisible = visible;
    emit isOverlayVisibleChanged();
}

void AppState::setProcessing(bool processing)
{
    m_isProcessing = processing;
    emit isProcessingChanged();
}

void AppState::setSelectedText(const QString& text)
{
    m_selectedText = text;
    emit selectedTextChanged();
}

void AppState::setCurrentTab(MainTab tab)
{
    m_currentTab = tab;
    emit currentTabChanged();
}

void AppState::store(const char* key, const QByteArray& bytes)
{
    m_services.defaults->setData(QLatin1String(key), bytes);
}

void AppState::saveSettings() { store(settingsKey, JsonCodec::encodeSettingsDocument(m_settings)); }
void AppState::saveCommands() { store(commandsKey, JsonCodec::encodeCommandsDocument(m_commands)); }
void AppState::saveHistory()
{
    m_historySaveQueued = false;
    // The oldest entries give way rather than make a document too long to be read back.
    const qsizetype fitting = JsonCodec::historyEntriesFitting(m_history, m_services.defaults->maxDocumentBytes());
    if (fitting < m_history.size())
        setHistory(m_history.first(fitting));
    store(historyKey, JsonCodec::encodeHistoryDocument(m_history));
}

void AppState::addCommand(const Command& command)
{
    QList<Command> list = m_commands;
    list.append(command);
    setCommands(std::move(list));
    saveCommands();
}

void AppState::updateCommand(const Command& command)
{
    const auto it = std::find_if(m_commands.cbegin(), m_commands.cend(),
                                 [&](const Command& c) { return c.id == command.id; });
    if (it == m_commands.cend())
        return;
    QList<Command> list = m_commands;
    list[it - m_commands.cbegin()] = command;
    setCommands(std::move(list));
    saveCommands();
}

void AppState::deleteCommand(const Command& command)
{
    QList<Command> list = m_commands;
    list.removeIf([&](const Command& c) { return c.id == command.id; });
    setCommands(std::move(list));
    saveCommands();
}

void AppState::setCommandEnabled(const Command& command, bool enabled)
{
    Command copy = command;
    copy.isEnabled = enabled;
    updateCommand(copy);
}

void AppState::moveCommands(const QSet<int>& fromOffsets, int toOffset)
{
    QList<int> sources(fromOffsets.cbegin(), fromOffsets.cend());
    std::sort(sources.begin(), sources.end());
    const int count = int(m_commands.size());
    sources.removeIf([count](int i) { return i < 0 || i >= count; });
    toOffset = std::clamp(toOffset, 0, count);

    QList<Command> moved;
    QList<Command> rest;
    int destination = toOffset;
    for (int i = 0; i < count; ++i) {
        if (std::binary_search(sources.cbegin(), sources.cend(), i)) {
            moved.append(m_commands[i]);
            if (i < toOffset)
                --destination;
        } else {
            rest.append(m_commands[i]);
        }
    }
    for (int i = 0; i < moved.size(); ++i)
        rest.insert(destination + i, moved[i]);
    setCommands(std::move(rest));
    saveCommands();
}

void AppState::resetCommandsToDefaults()
{
    setCommands(defaultCommands());
    saveCommands();
}

void AppState::addLibraryCommand(const Command& libraryCommand)
{
    const bool exists = std::any_of(m_commands.cbegin(), m_commands.cend(), [&](const Command& c) {
        return c.name == libraryCommand.name;
    });
    if (exists)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Command copy;
    copy.id = QUuid::createUuid();
    copy.name = libraryCommand.name;
    copy.prompt = libraryCommand.prompt;
    copy.icon = libraryCommand.icon;
    copy.category = libraryCommand.category;
    copy.isEnabled = true;
    copy.createdAt = now;
    copy.updatedAt = now;
    addCommand(copy);
}

namespace {
bool sameCombination(std::optional<uint16_t> keyCode, std::optional<uint64_t> modifiers, uint16_t otherKeyCode,
                     uint64_t otherModifiers)
{
    constexpr uint64_t bits = 0x1E0000;
    return keyCode == otherKeyCode && modifiers && (*modifiers & bits) == (otherModifiers & bits);
}

bool sameCombination(const Command& command, uint16_t keyCode, uint64_t modifiers)
{
    return sameCombination(command.shortcutKeyCode, command.shortcutModifiers, keyCode, modifiers);
}
} // namespace

void AppState::registerCommandHotkeys()
{
    HotkeyRegistry* hotkeys = m_services.hotkeys;
    if (!hotkeys)
        return;
    m_registeredWithOverlay = m_settings.overlayHotkey;
    m_hotkeyProblems.clear();
    hotkeys->unregisterAllCommandHotkeys();
    QList<const Command*> registered;
    for (const Command& command : std::as_const(m_commands)) {
        // Masks that do not fit the 32-bit facility are skipped rather than truncated.
        if (!command.hasHotkey() || *command.shortcutModifiers > 0xFFFFFFFFu)
            continue;
        const uint16_t keyCode = *command.shortcutKeyCode;
        const uint32_t modifiers = uint32_t(*command.shortcutModifiers);
        // Checked before grabbing: of two commands with one combination the first keeps it,
        // the palette keeps its own, and a chord saved before chords were refused is not grabbed.
        QString problem = HotkeyConfig::refusal(keyCode, modifiers);
        const HotkeyConfig& palette = m_settings.overlayHotkey;
        const auto earlier = std::find_if(registered.cbegin(), registered.cend(), [&](const Command* c) {
            return sameCombination(*c, keyCode, modifiers);
        });
        if (problem.isEmpty() && sameCombination(palette.keyCode, palette.modifiers, keyCode, modifiers))
            problem = QStringLiteral("Used by the palette");
        if (problem.isEmpty() && earlier != registered.cend())
            problem = QStringLiteral("Used by ") + (*earlier)->name;
        if (problem.isEmpty()) {
            QPointer<AppState> self(this);
            const auto id = hotkeys->registerCommandHotkey(keyCode, modifiers, [self, command]() {
                if (self)
                    self->runOnSelection(command);
            });
            if (id) {
                registered.append(&command);
            } else {
                problem = hotkeys->refusalReason(keyCode, modifiers);
                if (problem.isEmpty())
                    problem = QStringLiteral("Taken by another program");
            }
        }
        if (!problem.isEmpty())
            m_hotkeyProblems.insert(command.id, problem);
    }
}

QString AppState::hotkeyClash(uint16_t keyCode, uint64_t modifiers, const QUuid& owner)
{
    if (QString refusal = HotkeyConfig::refusal(keyCode, modifiers); !refusal.isEmpty())
        return refusal;
    const HotkeyConfig& palette = m_settings.overlayHotkey;
    if (!owner.isNull() && sameCombination(palette.keyCode, palette.modifiers, keyCode, modifiers))
        return QStringLiteral("Used by the palette");
    for (const Command& command : std::as_const(m_commands)) {
        if (command.id != owner && command.isEnabled && sameCombination(command, keyCode, modifiers))
            return QStringLiteral("Used by ") + command.name;
    }
    if (HotkeyRegistry* hotkeys = m_services.hotkeys; hotkeys && modifiers <= 0xFFFFFFFFu)
        return hotkeys->refusalReason(keyCode, uint32_t(modifiers));
    return {};
}

QCoro::Task<> AppState::runOnSelection(Command command)
{
    SelectionAccess* access = accessibilityService();
    if (!access)
        co_return;
    QPointer<AppState> self(this);
    const std::optional<QString> text = co_await access->getSelectedText();
    if (!self)
        co_return;
    if (!text || text->isEmpty()) {
        Console::line(QStringLiteral("No text selected for command hotkey"));
        emit noTextSelected(access->readProblem());
        co_return;
    }
    co_await executeCommand(std::move(command), *text);
}

void AppState::addHistoryItem(const HistoryItem& item)
{
    prependHistory(item);
    saveHistory();
}

void AppState::prependHistory(const HistoryItem& item)
{
    QList<HistoryItem> list = m_history;
    list.prepend(item);
    if (list.size() > historyLimit)
        list.resize(historyLimit);
    setHistory(std::move(list));
}

void AppState::recordRun(const HistoryItem& item)
{
    prependHistory(item);
    if (std::exchange(m_historySaveQueued, true))
        return;
    // Written on the next turn of the loop, which falls inside the wait before the paste:
    // the disk is never on the road between Return and the answer.
    QMetaObject::invokeMethod(
        this, [this] { if (m_historySaveQueued) saveHistory(); }, Qt::QueuedConnection);
}

void AppState::clearHistory()
{
    setHistory({});
    saveHistory();
}

void AppState::restoreCommand(const Command& command, int position)
{
    if (std::any_of(m_commands.cbegin(), m_commands.cend(), [&](const Command& c) { return c.id == command.id; }))
        return;
    QList<Command> list = m_commands;
    list.insert(std::clamp(position, 0, int(list.size())), command);
    setCommands(std::move(list));
    saveCommands();
    registerCommandHotkeys();
}

void AppState::restoreCommands(const QList<Command>& commands)
{
    setCommands(commands);
    saveCommands();
    registerCommandHotkeys();
}

void AppState::restoreHistory(const QList<HistoryItem>& items)
{
    QList<HistoryItem> list = m_history;
    for (const HistoryItem& item : items) {
        if (list.size() >= historyLimit)
            break;
        if (std::none_of(m_history.cbegin(), m_history.cend(), [&](const HistoryItem& h) { return h.id == item.id; }))
            list.append(item);
    }
    setHistory(std::move(list));
    saveHistory();
}

QCoro::Task<> AppState::openOverlay()
{
    if (SelectionAccess* access = accessibilityService()) {
        QPointer<AppState> self(this);
        const std::optional<QString> text = co_await access->getSelectedText();
        if (!self)
            co_return;
        if (text && !text->isEmpty())
            setSelectedText(*text);
        else
            emit noTextSelected(access->readProblem());
    }
    setOverlayVisible(true);
}

void AppState::openOverlayBeforeText()
{
    ++m_overlayShowing;
    m_readingSelection = true;
    setSelectedText(QString());
    setOverlayVisible(true);
}

QCoro::Task<> AppState::readSelectionBesideOverlay()
{
    QPointer<AppState> self(this);
    const quint64 showing = m_overlayShowing;
    std::optional<QString> text;
    if (SelectionAccess* access = accessibilityService())
        text = co_await access->getSelectedTextBesidePalette();
    if (!self || showing != m_overlayShowing || !m_readingSelection)
        co_return; // the palette closed or opened again meanwhile
    m_readingSelection = false;
    if (text && !text->isEmpty())
        setSelectedText(*text);
    else if (SelectionAccess* access = accessibilityService())
        emit noTextSelected(access->readProblem());
    else
        emit noTextSelected({});
    emit selectionRead();
}

void AppState::closeOverlay()
{
    ++m_overlayShowing;
    setOverlayVisible(false);
    setSelectedText(QString());
    setProcessing(false);
    if (std::exchange(m_readingSelection, false))
        emit selectionRead(); // whoever waits for the text gives up
}

std::unique_ptr<AIService> AppState::makeAIService() const
{
    if (!m_services.aiServiceFactory)
        return nullptr;
    return m_services.aiServiceFactory(m_settings);
}

QCoro::Task<> AppState::executeCommand(Command command, QString text)
{
    QPointer<AppState> self(this);
    // The answer belongs where the text came from, not wherever the focus is when it arrives.
    const std::optional<quint64> window = accessibilityService() ? accessibilityService()->frontWindow()
                                                                  : std::nullopt;
    const RunOutcome outcome = co_await answerFor(command, text);
    if (!self || outcome.cancelled)
        co_return; // the user stopped it and knows
    if (outcome.answer) {
        setRunsInFlight(m_runsInFlight + 1);
        co_await pasteAnswer(command, text, *outcome.answer, window);
        if (self)
            setRunsInFlight(m_runsInFlight - 1);
    } else if (!outcome.error.isEmpty()) {
        emit commandFailed(command, outcome.error, outcome.fault.has_value());
    }
}

QCoro::Task<AppState::RunOutcome> AppState::answerFor(Command command, QString text,
                                                      AIService::TextSoFar onText, quint64 runId)
{
    if (text.isEmpty()) {
        Console::line(QStringLiteral("No text to process"));
        co_return RunOutcome{};
    }
    QPointer<AppState> self(this);
    setProcessing(true);
    setRunsInFlight(m_runsInFlight + 1);
    RunOutcome outcome;
    try {
        outcome.answer = co_await processCommand(command, text, std::move(onText), runId);
    } catch (const RunCancelled& e) {
        Console::line(QStringLiteral("Command cancelled"));
        outcome.error = userFacingDescription(e);
        outcome.cancelled = true;
    } catch (const ProviderFailure& e) {
        Console::line(QStringLiteral("Command execution error: ") + consoleDescription(e));
        outcome.error = e.description();
        outcome.fault = e.reason();
    } catch (const std::exception& e) {
        Console::line(QStringLiteral("Command execution error: ") + consoleDescription(e));
        outcome.error = userFacingDescription(e);
    } catch (...) {
        Console::line(QStringLiteral("Command execution error: unknown error"));
        outcome.error = QStringLiteral("Unknown error");
    }
    if (self) {
        setProcessing(false);
        setRunsInFlight(m_runsInFlight - 1);
        if (outcome.answer)
            setOffersProviderSetup(false);
        else if (outcome.fault == ProviderFailure::Reason::unreachable)
            setOffersProviderSetup(true);
    }
    co_return outcome;
}

QCoro::Task<> AppState::pasteAnswer(Command command, QString original, QString answer,
                                    std::optional<quint64> window)
{
    QPointer<AppState> self(this);
    co_await preciseDelay(std::chrono::milliseconds(pasteDelayMs));
    if (!self)
        co_return;
    SelectionAccess* access = accessibilityService();
    if (access && !access->pasteText(withEdgesOf(original, answer), window, m_settings.restoresClipboard()))
        emit answerLeftOnClipboard(command);
    else
        emit commandSucceeded(command);
}

void AppState::setOffersProviderSetup(bool offers)
{
    if (m_offersProviderSetup == offers)
        return;
    m_offersProviderSetup = offers;
    emit offersProviderSetupChanged();
}

void AppState::setRunsInFlight(int runs)
{
    m_runsInFlight = runs;
    emit runsInFlightChanged();
}

void AppState::cancelRun(quint64 runId)
{
    if (AIService* service = m_cancellableRuns.value(runId))
        service->cancel();
}

void AppState::cancelAllRuns()
{
    // A run may end inside cancel() and leave the list; each is looked up afresh.
    for (quint64 runId : m_cancellableRuns.keys())
        cancelRun(runId);
}

HistoryItem AppState::historyEntry(const Command& command, const QString& text)
{
    HistoryItem item;
    item.id = QUuid::createUuid();
    item.commandId = command.id;
    item.commandName = command.name;
    if (command.id == customInstructionId())
        item.instruction = command.prompt;
    item.originalText = text;
    item.timestamp = QDateTime::currentDateTimeUtc();
    return item;
}

void AppState::recordCancelled(const Command& command, const QString& text)
{
    HistoryItem item = historyEntry(command, text);
    item.success = false;
    item.errorMessage = QString::fromUtf8(RunCancelled().what());
    recordRun(item);
}

QCoro::Task<QString> AppState::processCommand(Command command, QString text,
                                              AIService::TextSoFar onText, quint64 runId)
{
    requireSendableSize(text);
    std::unique_ptr<AIService> service = makeAIService();
    if (!service)
        throw AIError::serverError(QStringLiteral("No AI provider is available"));
    if (runId == 0)
        runId = newRunId();
    m_cancellableRuns.insert(runId, service.get());
    emit runsToCancelChanged();
    // Leaves the list however the call ends, unless the store is gone by then.
    struct Registration {
        QPointer<AppState> self;
        quint64 runId;
        ~Registration()
        {
            if (self && self->m_cancellableRuns.remove(runId))
                emit self->runsToCancelChanged();
        }
    } registration{this, runId};
    AIService::TextSoFar shown;
    if (onText)
        shown = [onText = std::move(onText)](const QString& soFar) { onText(withoutControlCharacters(soFar)); };
    QString received;
    try {
        received = co_await service->streamText(command.prompt, text, std::move(shown));
    } catch (const RunCancelled&) {
        if (registration.self)
            recordCancelled(command, text);
        throw;
    }
    const QString answer = withoutControlCharacters(received);

    HistoryItem item = historyEntry(command, text);
    item.resultText = answer;
    item.success = true;
    recordRun(item);
    co_return answer;
}
