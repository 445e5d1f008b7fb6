#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

// Reading the user's selection in the frontmost application and pasting over it.
class SelectionAccess {
public:
    virtual ~SelectionAccess() = default;
    // Whether text can be read and replaced at all; asked without prompting the user.
    virtual bool checkPermission() { return true; }
    // Opens the desktop's place for granting that, where there is one.
    virtual void openAccessibilitySettings() {}
    // The selection can be read once the palette is on screen, with no key sent to the
    // user's window: the palette then shows first and the text follows it.
    virtual bool readsBesidePalette() { return false; }
    // Nothing and the empty string both mean "no text selected".
    virtual QCoro::Task<std::optional<QString>> getSelectedText() = 0;
    // The same, read while the palette is on screen (after readsBesidePalette() said so).
    virtual QCoro::Task<std::optional<QString>> getSelectedTextBesidePalette() { return getSelectedText(); }
    // Why the last read found no text when something else than an empty selection stopped
    // it, for the user; empty otherwise.
    virtual QString readProblem() { return {}; }
    // The window the user works in now (an opaque id); nothing when unknown.
    virtual std::optional<quint64> frontWindow() { return std::nullopt; }
    // Said while the palette still has the focus, just before it closes for a run whose
    // answer is pasted later: where only a window with the focus may take the clipboard,
    // it is taken now and the answer goes into it when it comes.
    virtual void answerWillFollow() {}
    // Puts the text on the clipboard and pastes it into the focused window shortly after,
    // but only while that is still intoWindow, when one is given. False when it is not:
    // the text is then left on the clipboard and nothing is pasted.
    // With restoreClipboard, what the clipboard held before comes back once the paste
    // was served.
    virtual bool pasteText(const QString& text, std::optional<quint64> intoWindow = std::nullopt,
                           bool restoreClipboard = false) = 0;
};
