#include "relay_config.h"

#include "console.h"
#include "provider_factory.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cmath>
#include <sys/stat.h>

namespace {

const QString kKeyVariable = QStringLiteral("TOVALIN_RELAY_API_KEY");

// The members of a config file; the command-line options carry the same names.
struct Choices {
    QString listen, provider, model, baseURL, apiKey;
    std::optional<double> timeoutSeconds, rateLimitPerMinute, maxInFlight, maxBodyBytes;
    std::optional<double> headerTimeoutSeconds, bodyTimeoutSeconds, idleTimeoutSeconds, maxConnections, bodyBudgetBytes;
};

// Only its owner may read a file that holds a key.
std::optional<QString> checkPrivate(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("cannot read the config file %1").arg(path);
    if ((info.st_mode & 077) != 0)
        return QStringLiteral("the config file %1 holds a key and must be readable by its owner "
                              "only (chmod 600 %1)").arg(path);
    return std::nullopt;
}

std::variant<Choices, QString> readConfigFile(const QString& path)
{
    if (auto problem = checkPrivate(path))
        return *problem;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the config file %1").arg(path);
    const QJsonDocument document = QJsonDocument::fromJson(file.read(1024 * 1024));
    if (!document.isObject())
        return QStringLiteral("the config file %1 is not a JSON object").arg(path);
    const QJsonObject o = document.object();
    Choices choices;
    for (const auto& [name, target] : {std::pair{"listen", &choices.listen}, {"provider", &choices.provider},
                                       {"model", &choices.model}, {"baseURL", &choices.baseURL},
                                       {"apiKey", &choices.apiKey}}) {
        const QJsonValue v = o.value(QLatin1String(name));
        if (!v.isUndefined() && !v.isString())
            return QStringLiteral("\"%1\" in %2 must be a string").arg(QLatin1String(name), path);
        *target = v.toString();
    }
    for (const auto& [name, target] : {std::pair{"timeoutSeconds", &choices.timeoutSeconds},
                                       {"rateLimitPerMinute", &choices.rateLimitPerMinute},
                                       {"maxInFlight", &choices.maxInFlight},
                                       {"maxBodyBytes", &choices.maxBodyBytes},
                                       {"headerTimeoutSeconds", &choices.headerTimeoutSeconds},
                                       {"bodyTimeoutSeconds", &choices.bodyTimeoutSeconds},
                                       {"idleTimeoutSeconds", &choices.idleTimeoutSeconds},
                                       {"maxConnections", &choices.maxConnections},
                                       {"bodyBudgetBytes", &choices.bodyBudgetBytes}}) {
        const QJsonValue v = o.value(QLatin1String(name));
        if (v.isUndefined())
            continue;
        if (!v.isDouble())
            return QStringLiteral("\"%1\" in %2 must be a number").arg(QLatin1String(name), path);
        *target = v.toDouble();
    }
    return choices;
}

std::optional<double> number(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name))
        return std::nullopt;
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    return ok ? std::optional(value) : std::optional(std::nan(""));
}

bool parseListen(const QString& text, RelayConfig& config)
{
    const QUrl url(QStringLiteral("http://") + text);
    if (!url.isValid() || url.host().isEmpty() || url.port() < 0 || !url.path().isEmpty())
        return false;
    const QString host = url.host();
    config.address = host == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost)
                                                        : QHostAddress(host);
    config.port = quint16(url.port());
    return !config.address.isNull();
}

void setKey(AppSettings& settings, const QString& key)
{
    switch (settings.aiProvider) {
    case AIProvider::openai: settings.openaiApiKey = key; break;
    case AIProvider::claude: settings.claudeApiKey = key; break;
    case AIProvider::deepseek: settings.deepseekApiKey = key; break;
    case AIProvider::gemini: settings.geminiApiKey = key; break;
    case AIProvider::custom: settings.customApiKey = key; break;
    case AIProvider::tovalin:
    case AIProvider::ollama: break;
    }
}

QString providerNames()
{
    QStringList names;
    for (AIProvider p : allAIProviders)
        names << rawValue(p);
    return names.join(QStringLiteral(", "));
}

} // namespace

void RelayConfig::addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Answers Tovalin's built-in provider (POST /chat) by asking one upstream "
                       "AI provider.\nThe upstream key comes from the environment variable %1 "
                       "or from the config file (\"apiKey\"), never from the command line.")
            .arg(kKeyVariable));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("listen"), QStringLiteral("Address and port to listen on (default 127.0.0.1:8787)."), QStringLiteral("host:port")},
        {QStringLiteral("provider"), QStringLiteral("Upstream provider: %1.").arg(providerNames()), QStringLiteral("name")},
        {QStringLiteral("model"), QStringLiteral("Upstream model; without it each request's own \"model\" is used."), QStringLiteral("name")},
        {QStringLiteral("base-url"), QStringLiteral("The Ollama host, the OpenAI-compatible base URL, or the relay a tovalin upstream is."), QStringLiteral("url")},
        {QStringLiteral("config"), QStringLiteral("JSON file with the same members (listen, provider, model, baseURL, apiKey, timeoutSeconds, rateLimitPerMinute, maxInFlight, maxBodyBytes, headerTimeoutSeconds, bodyTimeoutSeconds, idleTimeoutSeconds, maxConnections, bodyBudgetBytes); must be mode 0600."), QStringLiteral("file")},
        {QStringLiteral("timeout"), QStringLiteral("Seconds the upstream has for one answer before the client gets 504 (default 55)."), QStringLiteral("seconds")},
        {QStringLiteral("rate-limit"), QStringLiteral("Requests per minute per client address; 0 for none (default 30)."), QStringLiteral("n")},
        {QStringLiteral("max-in-flight"), QStringLiteral("Requests answered at once; more get 503 (default 64)."), QStringLiteral("n")},
        {QStringLiteral("max-body"), QStringLiteral("Largest request body in bytes; larger ones get 413 (default 2097152)."), QStringLiteral("bytes")},
        {QStringLiteral("header-timeout"), QStringLiteral("Seconds a client has to send a request's headers; then 408 (default 10)."), QStringLiteral("seconds")},
        {QStringLiteral("body-timeout"), QStringLiteral("Seconds a client has to send a request's body after its headers; then 408 (default 30)."), QStringLiteral("seconds")},
        {QStringLiteral("idle-timeout"), QStringLiteral("Seconds a kept-alive connection may wait for its next request (default 5)."), QStringLiteral("seconds")},
        {QStringLiteral("max-connections"), QStringLiteral("Client connections open at once; one more gets 503 and is closed (default 1024)."), QStringLiteral("n")},
        {QStringLiteral("body-budget"), QStringLiteral("Request-body bytes held at once across all connections; past it 503 (default 67108864)."), QStringLiteral("bytes")},
    });
}

std::variant<RelayConfig, QString> RelayConfig::load(const QCommandLineParser& parser,
                                                     const QProcessEnvironment& environment)
{
    Choices c;
    if (parser.isSet(QStringLiteral("config"))) {
        auto file = readConfigFile(parser.value(QStringLiteral("config")));
        if (auto* problem = std::get_if<QString>(&file))
            return *problem;
        c = std::get<Choices>(file);
    }
    for (const auto& [name, target] : {std::pair{"listen", &c.listen}, {"provider", &c.provider},
                                       {"model", &c.model}, {"base-url", &c.baseURL}})
        if (parser.isSet(QLatin1String(name)))
            *target = parser.value(QLatin1String(name));
    for (const auto& [name, target] : {std::pair{"timeout", &c.timeoutSeconds}, {"rate-limit", &c.rateLimitPerMinute},
                                       {"max-in-flight", &c.maxInFlight}, {"max-body", &c.maxBodyBytes},
                                       {"header-timeout", &c.headerTimeoutSeconds}, {"body-timeout", &c.bodyTimeoutSeconds},
                                       {"idle-timeout", &c.idleTimeoutSeconds}, {"max-connections", &c.maxConnections},
                                       {"body-budget", &c.bodyBudgetBytes}})
        if (auto value = number(parser, QLatin1String(name)))
            *target = value;
    if (environment.contains(kKeyVariable))
        c.apiKey = environment.value(kKeyVariable);

    RelayConfig config;
    if (!c.listen.isEmpty() && !parseListen(c.listen, config))
        return QStringLiteral("--listen wants HOST:PORT with a numeric address, e.g. 127.0.0.1:8787 or [::1]:8787");
    if (c.provider.isEmpty())
        return QStringLiteral("choose the upstream with --provider (%1)").arg(providerNames());
    const auto provider = aiProviderFromRaw(c.provider);
    if (!provider)
        return QStringLiteral("unknown provider \"%1\" (one of %2)").arg(c.provider, providerNames());
    AppSettings& upstream = config.upstream;
    upstream.aiProvider = *provider;
    upstream.selectedModel = c.model;
    config.isModelFixed = !c.model.isEmpty();

    switch (*provider) {
    case AIProvider::ollama:
        if (!c.baseURL.isEmpty())
            upstream.ollamaHost = c.baseURL;
        break;
    case AIProvider::custom:
        if (c.baseURL.isEmpty())
            return QStringLiteral("the custom provider needs --base-url (e.g. http://127.0.0.1:8080/v1)");
        upstream.customBaseURL = c.baseURL;
        break;
    case AIProvider::tovalin:
        upstream.tovalinBaseURL = c.baseURL;
        break;
    default:
        if (!c.baseURL.isEmpty())
            return QStringLiteral("--base-url applies to the ollama, custom and tovalin providers only");
        if (c.apiKey.isEmpty())
            return QStringLiteral("the %1 provider needs a key: set %2 or \"apiKey\" in the config file")
                .arg(c.provider, kKeyVariable);
    }
    setKey(upstream, c.apiKey);

    const auto whole = [](std::optional<double> v, double min, double max) {
        return !v || (std::isfinite(*v) && *v >= min && *v <= max && std::floor(*v) == *v);
    };
    const auto seconds = [](std::optional<double> v) { return !v || (std::isfinite(*v) && *v > 0 && *v <= 3600); };
    if (!seconds(c.timeoutSeconds))
        return QStringLiteral("--timeout wants seconds between 0 and 3600");
    if (!seconds(c.headerTimeoutSeconds) || !seconds(c.bodyTimeoutSeconds) || !seconds(c.idleTimeoutSeconds))
        return QStringLiteral("--header-timeout, --body-timeout and --idle-timeout want seconds between 0 and 3600");
    if (!whole(c.rateLimitPerMinute, 0, 1e6) || !whole(c.maxInFlight, 1, 1e5) || !whole(c.maxBodyBytes, 1024, 64.0 * 1024 * 1024))
        return QStringLiteral("--rate-limit, --max-in-flight and --max-body want whole numbers "
                              "(0 or more, 1 or more, 1024 to 67108864)");
    if (!whole(c.maxConnections, 1, 1e6) || !whole(c.bodyBudgetBytes, 1024, 64.0 * 1024 * 1024 * 1024))
        return QStringLiteral("--max-connections and --body-budget want whole numbers (1 or more, 1024 to 68719476736)");
    const auto milliseconds = [](double s) { return std::chrono::milliseconds(qint64(std::llround(s * 1000))); };
    if (c.timeoutSeconds)
        config.timeout = milliseconds(*c.timeoutSeconds);
    if (c.rateLimitPerMinute)
        config.rateLimitPerMinute = int(*c.rateLimitPerMinute);
    if (c.maxInFlight)
        config.maxInFlight = int(*c.maxInFlight);
    HttpLimits& limits = config.limits;
    if (c.maxBodyBytes)
        limits.maxBodyBytes = qint64(*c.maxBodyBytes);
    if (c.headerTimeoutSeconds)
        limits.headerTimeout = milliseconds(*c.headerTimeoutSeconds);
    if (c.bodyTimeoutSeconds)
        limits.bodyTimeout = milliseconds(*c.bodyTimeoutSeconds);
    if (c.idleTimeoutSeconds)
        limits.idleTimeout = milliseconds(*c.idleTimeoutSeconds);
    if (c.maxConnections)
        limits.maxConnections = int(*c.maxConnections);
    if (c.bodyBudgetBytes)
        limits.bodyBudgetBytes = qint64(*c.bodyBudgetBytes);
    // A body the budget can never hold would be refused every time.
    if (limits.bodyBudgetBytes < limits.maxBodyBytes)
        return QStringLiteral("--body-budget (%1) must be at least --max-body (%2)")
            .arg(limits.bodyBudgetBytes).arg(limits.maxBodyBytes);
    return config;
}

QString RelayConfig::listenAddress() const
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

QString RelayConfig::upstreamDescription() const
{
    QString where;
    switch (upstream.aiProvider) {
    case AIProvider::ollama: where = upstream.ollamaHost; break;
    case AIProvider::custom: where = upstream.customBaseURL.value_or(QString()); break;
    case AIProvider::tovalin: where = relayBaseURL(upstream); break;
    default: break;
    }
    QString text = rawValue(upstream.aiProvider);
    if (!where.isEmpty())
        text += QStringLiteral(" at ") + Console::redactUserInfo(where);
    text += isModelFixed ? QStringLiteral(", model ") + upstream.selectedModel
                         : QStringLiteral(", model chosen by each request");
    return text;
}
