#include "provider_discovery.h"

#include "custom_model_list.h"
#include "ollama_model_list.h"

#include <QHostAddress>
#include <QUrl>
#include <optional>
#include <vector>

namespace {
QString compatibleBase(int port) { return QStringLiteral("http://127.0.0.1:%1/v1").arg(port); }

QString withoutTrailingSlashes(QString address)
{
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return address;
}
} // namespace

bool ProviderDiscovery::isLoopback(const QString& address)
{
    const QUrl url(address.trimmed());
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.host() == QLatin1String("localhost"))
        return true;
    const QHostAddress host(url.host());
    return !host.isNull() && host.isLoopback();
}

ProviderDiscovery::Targets ProviderDiscovery::targetsFor(const AppSettings& settings)
{
    Targets targets;
    // Nothing leaves the machine: a remote host in the settings is not asked.
    targets.ollamaHost = isLoopback(settings.ollamaHost) ? withoutTrailingSlashes(settings.ollamaHost.trimmed())
                                                        : QString::fromLatin1(kDefaultOllamaHost);
    targets.compatiblePorts = wellKnownPorts();
    const QString custom = withoutTrailingSlashes(settings.customBaseURL.value_or(QString()).trimmed());
    if (isLoopback(custom))
        targets.customBaseURL = custom;
    return targets;
}

QCoro::Task<QList<ProviderDiscovery::Found>> ProviderDiscovery::discover(Targets targets,
                                                                         std::chrono::milliseconds budget)
{
    QStringList compatible;
    if (!targets.customBaseURL.isEmpty() && isLoopback(targets.customBaseURL))
        compatible.append(targets.customBaseURL);
    for (int port : std::as_const(targets.compatiblePorts))
        if (const QString base = compatibleBase(port); !compatible.contains(base))
            compatible.append(base);
    const bool askOllama = isLoopback(targets.ollamaHost);

    // Tasks start at once, so every server is asked before the first answer is awaited and
    // the whole look takes about as long as the slowest single one.
    std::optional<QCoro::Task<std::optional<QStringList>>> ollama;
    if (askOllama)
        ollama.emplace(OllamaModelList::fetch(targets.ollamaHost, budget));
    std::vector<QCoro::Task<std::optional<QStringList>>> servers;
    servers.reserve(size_t(compatible.size()));
    for (const QString& base : std::as_const(compatible))
        servers.push_back(CustomModelList::fetch(base, QString(), budget));

    QList<Found> found;
    if (ollama) {
        const std::optional<QStringList> models = co_await std::move(*ollama);
        if (models)
            found.append({AIProvider::ollama, targets.ollamaHost, *models});
    }
    for (size_t i = 0; i < servers.size(); ++i) {
        const std::optional<QStringList> models = co_await std::move(servers[i]);
        if (models)
            found.append({AIProvider::custom, compatible[qsizetype(i)], *models});
    }
    co_return found;
}
