#include "provider_setup_card.h"

#include "app_state.h"
#include "settings_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageStyle;

namespace {
QString kindName(AIProvider provider)
{
    return provider == AIProvider::ollama ? QStringLiteral("Ollama") : QStringLiteral("OpenAI-compatible server");
}

QString portList(const QList<int>& ports)
{
    QStringList names;
    for (int port : ports)
        names << QString::number(port);
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// Commands in the card's texts read as code, as they do in a terminal.
QString withCode(QString text)
{
    text = text.toHtmlEscaped();
    bool open = false;
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('`')) {
            out += open ? QStringLiteral("</code>") : QStringLiteral("<code>");
            open = !open;
        } else {
            out += c;
        }
    }
    return out;
}

QLabel* line(const QString& text, QWidget* parent)
{
    auto* l = label(QString(), TextStyle::subheadline, QFont::Normal, false, parent);
    l->setTextFormat(Qt::RichText);
    l->setText(withCode(text));
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}
} // namespace

ProviderSetupCard::ProviderSetupCard(AppState& appState, QWidget* parent)
    : CardFrame(CardFrame::Fill::tertiary, 10, parent), m_appState(appState)
{
    setObjectName(QStringLiteral("providerSetupCard"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(
        new SymbolLabel(QStringLiteral("cpu"), Tint::blue, 16, {20, 20}, SymbolLabel::Style::plain, this));
    header->addWidget(label(tr("Set up an AI provider"), TextStyle::headline, QFont::DemiBold, false, this), 1);
    auto* apiKey = new QPushButton(tr("Use an API key"), this);
    apiKey->setObjectName(QStringLiteral("useApiKeyButton"));
    connect(apiKey, &QPushButton::clicked, this, &ProviderSetupCard::openAISettings);
    header->addWidget(apiKey);
    layout->addLayout(header);
    m_status = label(QString(), TextStyle::caption, QFont::Normal, true, this);
    m_status->setObjectName(QStringLiteral("setupStatus"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(6);
    layout->addLayout(m_rows);

    connect(&m_appState, &AppState::offersProviderSetupChanged, this, &ProviderSetupCard::follow);
    setVisible(m_appState.offersProviderSetup());
}

void ProviderSetupCard::follow()
{
    const bool offers = m_appState.offersProviderSetup();
    setVisible(offers);
    // A provider that stopped answering: what runs now may have changed. Out of sight,
    // the look waits until Home is shown.
    if (offers && isVisible())
        refresh();
    else if (offers)
        m_looked = false;
}

void ProviderSetupCard::showEvent(QShowEvent* event)
{
    CardFrame::showEvent(event);
    if (!m_looked)
        refresh();
}

void ProviderSetupCard::refresh()
{
    m_looked = true;
    const int request = ++m_request;
    m_status->setText(tr("Looking for AI servers on this machine…"));
    const ProviderDiscovery::Targets targets = m_targets.value_or(ProviderDiscovery::targetsFor(m_appState.settings()));
    [](QPointer<ProviderSetupCard> self, ProviderDiscovery::Targets targets, int request) -> QCoro::Task<> {
        const QList<ProviderDiscovery::Found> found = co_await ProviderDiscovery::discover(targets);
        if (self && request == self->m_request)
            self->showFound(found);
    }(QPointer(this), targets, request);
}

void ProviderSetupCard::clearRows()
{
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        if (QLayout* row = item->layout())
            while (QLayoutItem* inner = row->takeAt(0)) {
                delete inner->widget();
                delete inner;
            }
        delete item->widget();
        delete item;
    }
}

void ProviderSetupCard::showFound(const QList<ProviderDiscovery::Found>& found)
{
    clearRows();
    const ProviderDiscovery::Targets targets = m_targets.value_or(ProviderDiscovery::targetsFor(m_appState.settings()));
    bool ollama = false;
    bool compatible = false;
    for (const ProviderDiscovery::Found& server : found) {
        (server.provider == AIProvider::ollama ? ollama : compatible) = true;
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        if (server.models.isEmpty()) {
            row->addWidget(line(server.provider == AIProvider::ollama
                                    ? tr("Ollama runs at %1 but has no models: get one with `ollama pull llama3.2`")
                                          .arg(server.address)
                                    : tr("An OpenAI-compatible server at %1 lists no models: load one into it")
                                          .arg(server.address),
                                this),
                           1);
        } else {
            QString text = tr("%1 at %2, with %3").arg(kindName(server.provider), server.address, server.models.first());
            if (server.models.size() > 1)
                text += tr(" and %n more", nullptr, int(server.models.size() - 1));
            row->addWidget(line(text, this), 1);
            auto* useButton = new QPushButton(tr("Use"), this);
            useButton->setObjectName(QStringLiteral("useFoundProvider"));
            useButton->setProperty("address", server.address);
            makeProminent(useButton);
            connect(useButton, &QPushButton::clicked, this, [this, server] { use(server); });
            row->addWidget(useButton);
        }
        m_rows->addLayout(row);
    }
    // Nothing of a kind: one line on how to start one.
    if (!ollama)
        m_rows->addWidget(line(tr("Ollama is not running: start it with `ollama serve`"), this));
    if (!compatible)
        m_rows->addWidget(line(tr("No OpenAI-compatible server answers on port %1: start one, for example "
                                  "`llama-server -m model.gguf`")
                                   .arg(portList(targets.compatiblePorts)),
                               this));
    m_status->setText(found.isEmpty() ? tr("Nothing answered on this machine. Start a local server, or use a "
                                           "provider's API key.")
                                      : tr("Found on this machine; the model can be changed in the AI settings."));
    emit refreshed();
}

void ProviderSetupCard::use(const ProviderDiscovery::Found& found)
{
    if (found.models.isEmpty())
        return;
    AppSettings settings = m_appState.settings();
    settings.aiProvider = found.provider;
    settings.selectedModel = found.models.first();
    if (found.provider == AIProvider::ollama) {
        settings.ollamaHost = found.address;
    } else {
        settings.customBaseURL = found.address;
        settings.customModel = settings.selectedModel;
    }
    m_appState.setSettings(settings);
    m_appState.saveSettings();
    m_status->setText(tr("Tovalin now uses %1 with %2.").arg(kindName(found.provider), settings.selectedModel));
}

void ProviderSetupCard::openAISettings()
{
    m_appState.setCurrentTab(MainTab::settings);
    if (auto* settings = window()->findChild<SettingsView*>())
        settings->openAISettings();
}
