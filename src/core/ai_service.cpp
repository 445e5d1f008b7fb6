#include "ai_service.h"

QCoro::Task<QString> AIService::streamText(QString prompt, QString text, TextSoFar onText)
{
    const QString answer = co_await processText(std::move(prompt), std::move(text));
    if (onText)
        onText(answer);
    co_return answer;
}

QString composeUserMessage(const QString& prompt, const QString& text)
{
    return prompt + QStringLiteral("\n\nText to process:\n") + text;
}
