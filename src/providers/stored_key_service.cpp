#include "stored_key_service.h"

#include "ai_error.h"
#include "provider_factory.h"
#include "provider_failure.h"

#include <QElapsedTimer>

StoredKeyService::StoredKeyService(AppSettings settings, ApiKeyStore& keys, std::chrono::milliseconds timeout)
    : m_settings(std::move(settings)), m_keys(keys), m_timeout(timeout)
{
}

QCoro::Task<QString> StoredKeyService::processText(QString prompt, QString text)
{
    co_return co_await streamText(std::move(prompt), std::move(text), {});
}

void StoredKeyService::cancel()
{
    m_cancelled = true;
    if (m_client)
        m_client->cancel();
}

QCoro::Task<QString> StoredKeyService::streamText(QString prompt, QString text, TextSoFar onText)
{
    AppSettings settings = m_settings;
    const auto timeout = m_timeout;
    QElapsedTimer clock;
    clock.start();
    const ApiKeyStore::Lookup lookup = co_await m_keys.read(settings.aiProvider, timeout);
    if (lookup.status == ApiKeyStore::Lookup::Status::unreadable)
        throw ProviderFailure(ProviderFailure::Reason::keyUnreadable,
                              QStringLiteral("Cannot read the %1 API key from the keyring: %2")
                                  .arg(displayName(settings.aiProvider), lookup.error));
    // A missing key stays empty, and the client says so as it always does.
    setApiKeyIn(settings, settings.aiProvider, lookup.key);
    const auto left = std::max(std::chrono::milliseconds(1),
                               timeout - std::chrono::milliseconds(clock.elapsed()));
    if (m_cancelled)
        throw RunCancelled();
    m_client = makeAIService(settings, left);
    if (!onText)
        co_return co_await m_client->processText(std::move(prompt), std::move(text));
    co_return co_await m_client->streamText(std::move(prompt), std::move(text), std::move(onText));
}
