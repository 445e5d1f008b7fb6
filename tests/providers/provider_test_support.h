#pragma once

#include "ai_error.h"
#include "ai_service.h"

#include <QCoro/QCoroTask>
#include <QString>

// Renders what one call produced, so tables can state expectations as text:
// "answer: ...", "AIError: <description>", "TransportError: <description>".
inline QCoro::Task<QString> outcomeTask(AIService& service, QString prompt, QString text)
{
    try {
        co_return QStringLiteral("answer: ") + co_await service.processText(prompt, text);
    } catch (const AIError& e) {
        co_return QStringLiteral("AIError: ") + e.description();
    } catch (const TransportError& e) {
        co_return QStringLiteral("TransportError: ") + e.description();
    } catch (const std::exception& e) {
        co_return QStringLiteral("other: ") + QString::fromUtf8(e.what());
    }
}

// Runs one call to completion. QCoro::waitFor never returns when the awaited task
// throws, so the errors are caught inside the coroutine first.
inline QString outcomeOf(AIService& service, const QString& prompt, const QString& text)
{
    return QCoro::waitFor(outcomeTask(service, prompt, text));
}

inline const QString kInvalidKey = QStringLiteral("AIError: Invalid API key. Please check your settings.");
inline const QString kRateLimited = QStringLiteral("AIError: Rate limited. Please try again later.");
inline const QString kInvalidResponse = QStringLiteral("AIError: Invalid response from AI service.");

inline QString serverError(const QString& message)
{
    return QStringLiteral("AIError: Server error: ") + message;
}
inline QString networkError(const QString& message)
{
    return QStringLiteral("AIError: Network error: ") + message;
}
