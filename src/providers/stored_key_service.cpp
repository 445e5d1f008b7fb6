#include "stored_key_service.h"

#include "provider_factory.h"
#include "provider_failure.h"

#include <QElapsedTimer>

StoredKeyService::StoredKeyService(AppSettings settings, ApiKeyStore& keys, std::chrono::milliseconds timeout)
    : m_settings(std::move(settings)), m_keys(keys), m_timeout(timeout)
{
}

QCoro::Task<QString> StoredKeyService::processText(QString prompt, QString text)
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
    const std::unique_ptr<AIService> client = makeAIService(settings, left);
    co_return co_await client->processText(std::move(prompt), std::move(text));
}
