#include "accessibility_service.h"

#include "console.h"
#include "focus_read_window.h"
#include "signal_or_timeout.h"
#include "terminal_window.h"
#include "pasted_text.h"
#include "precise_delay.h"

#include <QCoro/QCoroTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWindow>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

AccessibilityService::AccessibilityService(std::unique_ptr<AccessibilityBackend> backend,
                                           QObject* parent)
    : QObject(parent), m_backend(std::move(backend))
{
    // Counted from the start so a change that arrives before anyone awaits it is not lost.
    connect(m_backend.get(), &AccessibilityBackend::clipboardChanged, this,
            [this]() { ++m_clipboardChanges; });
}

AccessibilityService::~AccessibilityService() = default;

bool AccessibilityService::checkPermission()
{
    return m_backend->isTrusted();
}

bool AccessibilityService::readsBesidePalette()
{
    if (!checkPermission())
        return false;
    if (m_backend->readsOnlyWithFocus())
        return true;
    // Otherwise only a selection its own window holds: the copy fallback sends keys to that
    // window, which must happen before the palette takes the keyboard.
    const std::optional<quint64> window = m_backend->activeWindow();
    return window && m_backend->selectionOwnedBy(*window);
}

QCoro::Task<std::optional<QString>> AccessibilityService::getSelectedText()
{
    m_readProblem.clear();
    if (!checkPermission()) {
        Console::line(QStringLiteral("Accessibility permission not granted"));
        co_return std::nullopt;
    }
    if (m_backend->readsOnlyWithFocus()) {
        QPointer<AccessibilityService> self(this);
        bool copies = m_backend->copiesWithoutFocus();
        if (copies)
            copies = co_await m_backend->prepareCopy();
        if (!self)
            co_return std::nullopt;
        if (!copies)
            co_return co_await readWithOwnWindow();
        std::optional<QString> copied = co_await copySelectionViaClipboard();
        if (copied)
            copied = withUnixLineEnds(*copied);
        co_return copied;
    }
    const std::optional<quint64> window = m_backend->activeWindow();
    if (!window) {
        Console::line(QStringLiteral("No frontmost application"));
        co_return std::nullopt;
    }
    if (m_backend->selectionOwnedBy(*window)) {
        const std::optional<QString> text = m_backend->selectionText();
        if (text && !text->isEmpty())
            co_return withUnixLineEnds(*text);
    }
    const std::optional<QString> copied = co_await copySelectionViaClipboard();
    if (copied)
        co_return withUnixLineEnds(*copied);
    co_return copied;
}

QCoro::Task<std::optional<QString>> AccessibilityService::getSelectedTextBesidePalette()
{
    m_readProblem.clear();
    if (checkPermission() && m_backend->readsOnlyWithFocus())
        co_return co_await readWithFocus();
    co_return co_await getSelectedText();
}

QCoro::Task<std::optional<QString>> AccessibilityService::readWithOwnWindow()
{
    // Without a GUI application there is no window to show; readWithFocus says so.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || QGuiApplication::focusWindow())
        co_return co_await readWithFocus();
    QPointer<AccessibilityService> self(this);
    FocusReadWindow window;
    window.showForRead();
    std::optional<QString> text = co_await readWithFocus();
    // The answer is pasted after the window has gone, and only a focused window may take
    // the clipboard: it is taken now.
    if (self && text && !text->isEmpty())
        co_await m_backend->holdClipboardFromNewWindow();
    co_return text;
}

QCoro::Task<std::optional<QString>> AccessibilityService::readWithFocus()
{
    QPointer<AccessibilityService> self(this);
    // The compositor hands PRIMARY to the window that has just taken the keyboard.
    // Without a GUI application (a plain QCoreApplication) no window ever takes the focus.
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!QGuiApplication::focusWindow() && gui)
        co_await SignalOrTimeout(gui, &QGuiApplication::focusWindowChanged, focusWaitLimit);
    if (!self)
        co_return std::nullopt;
    if (!QGuiApplication::focusWindow()) {
        m_readProblem = QStringLiteral("Tovalin's window did not get the focus to read it");
        Console::line(QStringLiteral("No selection: ") + m_readProblem);
        co_return std::nullopt;
    }
    // No copy fallback here: Ctrl+C would go to the palette, which has the focus.
    const std::optional<QString> text = m_backend->selectionText();
    if (text)
        co_return withUnixLineEnds(*text);
    co_return text;
}

QCoro::Task<std::optional<QString>> AccessibilityService::copySelectionViaClipboard()
{
    QPointer<AccessibilityService> self(this);
    const std::optional<QString> remembered = m_backend->clipboardText();
    m_backend->clearClipboard();

    co_await waitForModifiersReleased();
    if (!self)
        co_return std::nullopt;
    m_backend->sendChord(inTerminal() ? AccessibilityBackend::Chord::terminalCopy
                                      : AccessibilityBackend::Chord::copy);
    co_await waitForCopiedText();
    if (!self)
        co_return std::nullopt;

    const std::optional<QString> copied = m_backend->clipboardText();
    if (copied && !copied->isEmpty())
        co_return copied;
    if (remembered) {
        m_backend->clearClipboard();
        m_backend->setClipboardText(*remembered);
    }
    co_return copied;
}

QCoro::Task<> AccessibilityService::waitForCopiedText()
{
    QPointer<AccessibilityService> self(this);
    QElapsedTimer clock;
    clock.start();
    quint64 seen = m_clipboardChanges;
    // Finish at the first change that brings text; our own clear is reported as a
    // change too, so an empty clipboard keeps the wait going until the deadline.
    while (true) {
        if (m_clipboardChanges == seen) {
            const auto remaining = m_backend->copyWait() - std::chrono::milliseconds(clock.elapsed());
            if (remaining.count() <= 0)
                co_return;
            co_await SignalOrTimeout(m_backend.get(), &AccessibilityBackend::clipboardChanged,
                                     remaining);
            if (!self)
                co_return;
        }
        if (m_clipboardChanges != seen) {
            seen = m_clipboardChanges;
            const std::optional<QString> text = m_backend->clipboardText();
            if (text && !text->isEmpty())
                co_return;
        }
    }
}

QCoro::Task<> AccessibilityService::waitForModifiersReleased()
{
    QPointer<AccessibilityService> self(this);
    QElapsedTimer clock;
    clock.start();
    while (m_backend->modifiersHeld()) {
        if (std::chrono::milliseconds(clock.elapsed()) >= modifierWaitLimit) {
            m_backend->releaseHeldModifiers();
            co_return;
        }
        co_await QCoro::sleepFor(modifierPollInterval);
        if (!self)
            co_return;
    }
}

std::optional<quint64> AccessibilityService::frontWindow()
{
    return checkPermission() ? m_backend->activeWindow() : std::nullopt;
}

void AccessibilityService::answerWillFollow()
{
    if (checkPermission())
        m_backend->holdClipboard();
}

bool AccessibilityService::stillIn(std::optional<quint64> window)
{
    if (!window || m_backend->activeWindow() == window)
        return true;
    Console::line(QStringLiteral("The window changed; the answer is on the clipboard"));
    return false;
}

bool AccessibilityService::pasteText(const QString& text, std::optional<quint64> intoWindow,
                                     bool restoreClipboard)
{
    std::shared_ptr<QMimeData> saved = restoreClipboard ? m_backend->clipboardSnapshot() : nullptr;
    m_backend->setClipboardText(text);
    if (!stillIn(intoWindow))
        return false;
    // Which chord the window takes is found out while the wait runs, not after it: the window
    // is checked again before the chord, and a window does not change its kind.
    auto terminal = std::make_shared<std::optional<bool>>();
    [](QPointer<AccessibilityService> self, std::optional<quint64> intoWindow, std::shared_ptr<QMimeData> saved,
       std::shared_ptr<std::optional<bool>> terminal) -> QCoro::Task<> {
        co_await preciseDelay(pasteDelay);
        if (self)
            co_await self->simulatePaste(intoWindow, saved, terminal->has_value() ? **terminal : self->inTerminal());
    }(this, intoWindow, saved, terminal);
    *terminal = inTerminal();
    return true;
}

QCoro::Task<> AccessibilityService::simulatePaste(std::optional<quint64> intoWindow,
                                                  std::shared_ptr<QMimeData> restoreAfter,
                                                  std::optional<bool> intoTerminal)
{
    QPointer<AccessibilityService> self(this);
    co_await waitForModifiersReleased();
    if (!self || !stillIn(intoWindow))
        co_return;
    m_backend->sendChord(intoTerminal.value_or(inTerminal()) ? AccessibilityBackend::Chord::terminalPaste
                                                              : AccessibilityBackend::Chord::paste);
    if (!restoreAfter)
        co_return;
    const std::optional<QString> pasted = m_backend->clipboardText();
    if (co_await SignalOrTimeout(m_backend.get(), &AccessibilityBackend::clipboardFetched, fetchWaitLimit))
        co_await QCoro::sleepFor(afterFetch);
    // Unless the user has copied something else meanwhile.
    if (self && m_backend->clipboardText() == pasted)
        m_backend->restoreClipboard(*restoreAfter);
}

bool AccessibilityService::inTerminal()
{
    const std::optional<quint64> window = m_backend->activeWindow();
    return window && isTerminalWindow(m_backend->windowClass(*window));
}

void AccessibilityService::openAccessibilitySettings()
{
    m_backend->openAccessibilitySettings();
}
