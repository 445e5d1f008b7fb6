#pragma once

#include "accessibility_backend.h"
#include "selection_access.h"

#include <QObject>
#include <chrono>
#include <memory>

// Reads the user's selection in the active window and pastes results over it.
class AccessibilityService : public QObject, public SelectionAccess {
    Q_OBJECT
public:
    // Delay between putting a result on the clipboard and the synthetic paste.
    static constexpr std::chrono::milliseconds pasteDelay{50};
    // The user usually still holds the hotkey's modifiers when it fires; a chord sent
    // meanwhile would carry them (Super+Shift+Ctrl+C), so wait for them, bounded.
    static constexpr std::chrono::milliseconds modifierPollInterval{10};
    static constexpr std::chrono::milliseconds modifierWaitLimit{1000};
    // How long the clipboard keeps a pasted answer when the old content is to come back:
    // until the target has fetched it (and a moment for a second request), at most a second.
    static constexpr std::chrono::milliseconds fetchWaitLimit{1000};
    static constexpr std::chrono::milliseconds afterFetch{150};

    explicit AccessibilityService(std::unique_ptr<AccessibilityBackend> backend,
                                  QObject* parent = nullptr);
    ~AccessibilityService() override;

    // How long a read that needs the palette's focus waits for it.
    static constexpr std::chrono::milliseconds focusWaitLimit{1000};

    bool checkPermission() override;
    bool readsBesidePalette() override;
    // Where only a focused window reads the selection, a command hotkey's read copies it
    // through the desktop's clipboard if that works without the focus, else takes the focus
    // for a moment with a small window of its own.
    QCoro::Task<std::optional<QString>> getSelectedText() override;
    QCoro::Task<std::optional<QString>> getSelectedTextBesidePalette() override;
    QCoro::Task<std::optional<QString>> copySelectionViaClipboard();
    QString readProblem() override { return m_readProblem; }
    std::optional<quint64> frontWindow() override;
    void answerWillFollow() override;
    bool pasteText(const QString& text, std::optional<quint64> intoWindow = std::nullopt,
                   bool restoreClipboard = false) override;
    // intoTerminal: whether the window is a terminal, when already known.
    QCoro::Task<> simulatePaste(std::optional<quint64> intoWindow = std::nullopt,
                                std::shared_ptr<QMimeData> restoreAfter = nullptr,
                                std::optional<bool> intoTerminal = std::nullopt);
    void openAccessibilitySettings() override;

private:
    // The active window is a terminal: clipboard chords need Shift there.
    bool inTerminal();
    bool stillIn(std::optional<quint64> window);
    QCoro::Task<> waitForModifiersReleased();
    QCoro::Task<> waitForCopiedText();
    QCoro::Task<std::optional<QString>> readWithFocus();
    QCoro::Task<std::optional<QString>> readWithOwnWindow();

    std::unique_ptr<AccessibilityBackend> m_backend;
    quint64 m_clipboardChanges = 0;
    QString m_readProblem;
};
