#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <optional>

// Reading the user's selection in the frontmost application and pasting over it.
class SelectionAccess {
public:
    virtual ~SelectionAccess() = default;
    // Nothing and the empty string both mean "no text selected".
    virtual QCoro::Task<std::optional<QString>> getSelectedText() = 0;
    // Puts the text on the clipboard and pastes it into the focused window shortly after.
    virtual void pasteText(const QString& text) = 0;
};
