#include "ai_service.h"

QString composeUserMessage(const QString& prompt, const QString& text)
{
    return prompt + QStringLiteral("\n\nText to process:\n") + text;
}
