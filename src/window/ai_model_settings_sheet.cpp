#include "ai_model_settings_sheet.h"

#include "ai_error.h"
#include "api_key_store.h"
#include "app_state.h"
#include "external_links.h"
#include "form_section.h"
#include "custom_model_list.h"
#include "ollama_model_list.h"
#include "page_style.h"
#include "provider_factory.h"
#include "tovalin_api_service.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

using PageStyle::TextStyle;
using PageStyle::Tint;

namespace {
// Long enough to answer an unlock prompt.
constexpr std::chrono::milliseconds kKeyReadTimeout{60'000};

QLabel* caption(const QString& text, QWidget* parent)
{
    QLabel* label = PageStyle::label(text, TextStyle::caption, QFont::Normal, true, parent);
    label->setWordWrap(true);
    return label;
}

// One frame of the busy indicator shown in place of the test button's symbol.
QIcon spinnerFrame(int step, const QColor& color)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(4, 4, 24, 24), -step * 30 * 16, 270 * 16);
    return QIcon(pixmap);
}
} // namespace

QStringList AIModelSettingsSheet::suggestedModels(AIProvider provider)
{
    switch (provider) {
    case AIProvider::tovalin: return {};
    case AIProvider::openai: return {"gpt-4o", "gpt-4o-mini", "gpt-4-turbo", "gpt-3.5-turbo"};
    case AIProvider::claude:
        return {"claude-sonnet-4-20250514", "claude-3-5-sonnet-20241022", "claude-3-haiku-20240307"};
    case AIProvider::deepseek: return {"deepseek-chat", "deepseek-coder"};
    case AIProvider::gemini: return {"gemini-1.5-pro", "gemini-1.5-flash", "gemini-pro"};
    case AIProvider::ollama: return {"llama3", "llama3.1", "mistral", "codellama", "phi3"};
    case AIProvider::custom: return {}; // the server's own list, once it answers
    }
    return {};
}

QString AIModelSettingsSheet::storedKey(const AppSettings& settings, AIProvider provider)
{
    return apiKeyIn(settings, provider);
}

bool AIModelSettingsSheet::isKeyed(AIProvider provider)
{
    // A key that must be given; an OpenAI-compatible server may do without one.
    return provider != AIProvider::tovalin && provider != AIProvider::ollama && provider != AIProvider::custom;
}

AIModelSettingsSheet::AIModelSettingsSheet(AppState& appState, QWidget* parent)
    : QDialog(parent), m_appState(appState)
{
    setObjectName(QStringLiteral("aiModelSettingsSheet"));
    QVBoxLayout* layout = PageStyle::setUpSheet(this, tr("AI Model Settings"), QSize(sheetWidth, sheetHeight));

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 12, 16, 12);
    header->addWidget(PageStyle::label(tr("AI Model Settings"), TextStyle::headline));
    header->addStretch();
    auto* done = new QPushButton(tr("Done"), this);
    done->setObjectName(QStringLiteral("doneButton"));
    done->setAutoDefault(false);
    PageStyle::makeProminent(done);
    connect(done, &QPushButton::clicked, this, &QDialog::reject);
    header->addWidget(done);
    layout->addLayout(header);
    layout->addWidget(PageStyle::divider(this));
    layout->addWidget(buildForm(), 1);
    layout->addWidget(PageStyle::divider(this));
    layout->addWidget(buildFooter());

    fitTallestForm();
    load();
}

void AIModelSettingsSheet::fitTallestForm()
{
    int tallest = 0;
    for (AIProvider p : allAIProviders) {
        m_selectedProvider = p;
        showProviderSections();
        m_form->layout()->invalidate();
        const QLayout* sections = m_form->layout();
        tallest = std::max(tallest, sections->hasHeightForWidth() ? sections->heightForWidth(sheetWidth)
                                                                  : sections->sizeHint().height());
    }
    auto* scroll = static_cast<QScrollArea*>(m_form->parentWidget()->parentWidget());
    scroll->setMinimumHeight(tallest);
    setFixedHeight(std::max(sheetHeight, layout()->minimumSize().height()));
}

QWidget* AIModelSettingsSheet::buildForm()
{
    auto* form = new QWidget;
    m_form = form;
    auto* sections = new QVBoxLayout(form);
    sections->setContentsMargins(16, 16, 16, 16);
    sections->setSpacing(16);

    auto* providerSection = new FormSection(QString(), QString(), form);
    m_provider = new QComboBox(form);
    m_provider->setObjectName(QStringLiteral("providerPicker"));
    for (AIProvider p : allAIProviders)
        m_provider->addItem(PageStyle::symbolIcon(icon(p), Tint::primary), displayName(p), int(p));
    connect(m_provider, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_loading && index >= 0)
            selectProvider(AIProvider(m_provider->itemData(index).toInt()));
    });
    providerSection->addRow(tr("Provider:"), m_provider, true);
    sections->addWidget(providerSection);

    m_modelSection = new FormSection(tr("Model"), QString(), form);
    m_model = new QComboBox(form);
    m_model->setObjectName(QStringLiteral("modelPicker"));
    // Typed names are welcome: providers publish new models faster than any list.
    m_model->setEditable(true);
    m_model->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would silently turn a typed "gpt-4" into "gpt-4o".
    m_model->setCompleter(nullptr);
    connect(m_model, &QComboBox::currentTextChanged, this, [this] {
        if (m_loading)
            return;
        m_modelIsProviderDefault = false;
        markChanged();
    });
    m_modelSection->addRow(tr("Model:"), m_model, true);
    sections->addWidget(m_modelSection);

    m_keySection = new FormSection(tr("Authentication"), QString(), form);
    m_apiKey = new QLineEdit;
    m_apiKey->setObjectName(QStringLiteral("apiKeyField"));
    m_apiKey->setEchoMode(QLineEdit::Password);
    connect(m_apiKey, &QLineEdit::textChanged, this, [this] {
        if (!m_loading)
            markChanged();
    });
    m_keyLink = new QLabel;
    m_keyLink->setObjectName(QStringLiteral("apiKeyLink"));
    m_keyLink->setFont(PageStyle::font(TextStyle::caption));
    m_keyLink->setOpenExternalLinks(true);
    m_keySection->addFieldRow(tr("API Key:"), m_apiKey, m_keyLink);
    m_keyLocation = caption(keyLocationText(m_appState), nullptr);
    m_keyLocation->setObjectName(QStringLiteral("keyLocationLabel"));
    m_keySection->addRow(m_keyLocation);
    sections->addWidget(m_keySection);

    m_ollamaSection = new FormSection(tr("Ollama Configuration"), QString(), form);
    m_host = new QLineEdit;
    m_host->setObjectName(QStringLiteral("ollamaHostField"));
    connect(m_host, &QLineEdit::textChanged, this, [this] {
        if (!m_loading)
            markChanged();
    });
    connect(m_host, &QLineEdit::editingFinished, this, &AIModelSettingsSheet::refreshOllamaSuggestions);
    m_ollamaSection->addFieldRow(tr("Host:"), m_host, caption(tr("Make sure Ollama is running locally"), nullptr));
    sections->addWidget(m_ollamaSection);

    m_builtInSection = new FormSection(tr("Authentication"), QString(), form);
    auto* builtInRow = new QWidget;
    auto* builtInLayout = new QVBoxLayout(builtInRow);
    builtInLayout->setContentsMargins(0, 8, 0, 8);
    auto* usingRow = new QHBoxLayout;
    usingRow->setSpacing(6);
    usingRow->addWidget(new SymbolLabel(QStringLiteral("checkmark.circle.fill"), Tint::green, 16, {20, 20},
                                        SymbolLabel::Style::plain, builtInRow));
    usingRow->addWidget(PageStyle::label(tr("Using Tovalin's built-in AI service"), TextStyle::body, QFont::Normal,
                                         true, builtInRow));
    usingRow->addStretch();
    builtInLayout->addLayout(usingRow);
    builtInLayout->addWidget(caption(tr("No API key required. Fast & secure."), builtInRow));
    m_builtInSection->addRow(builtInRow);
    m_relay = new QLineEdit;
    m_relay->setObjectName(QStringLiteral("relayAddressField"));
    m_relay->setPlaceholderText(TovalinAPIService::defaultBaseURL());
    connect(m_relay, &QLineEdit::textChanged, this, [this] {
        if (!m_loading)
            markChanged();
    });
    m_builtInSection->addFieldRow(tr("Relay address"), m_relay,
                                  caption(tr("Your organisation's own relay, if it runs one"), nullptr));
    sections->addWidget(m_builtInSection);

    m_customSection = new FormSection(tr("Server"), QString(), form);
    m_baseURL = new QLineEdit;
    m_baseURL->setObjectName(QStringLiteral("baseURLField"));
    m_baseURL->setPlaceholderText(QStringLiteral("http://127.0.0.1:8080/v1"));
    connect(m_baseURL, &QLineEdit::textChanged, this, [this] {
        if (!m_loading)
            markChanged();
    });
    connect(m_baseURL, &QLineEdit::editingFinished, this, &AIModelSettingsSheet::refreshOllamaSuggestions);
    m_customSection->addFieldRow(tr("Base URL:"), m_baseURL,
                                 caption(tr("Any server that speaks the OpenAI chat-completions API"), nullptr));
    // Above the key, which is optional here.
    sections->insertWidget(sections->indexOf(m_keySection), m_customSection);
    sections->addStretch();
    for (QWidget* picker : {m_provider, m_model})
        PageStyle::takeWheelOnlyWhenFocused(picker);

    QScrollArea* scroll = PageStyle::scrollArea(form, this);
    return scroll;
}

QWidget* AIModelSettingsSheet::buildFooter()
{
    auto* footer = new QWidget(this);
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);

    m_test = new QPushButton(PageStyle::symbolIcon(QStringLiteral("network"), Tint::primary),
                             tr("Test Connection"), footer);
    m_test->setObjectName(QStringLiteral("testConnectionButton"));
    m_test->setIconSize(QSize(16, 16));
    m_test->setAutoDefault(false);
    connect(m_test, &QPushButton::clicked, this, &AIModelSettingsSheet::startConnectionTest);
    layout->addWidget(m_test);

    m_spinner = new QTimer(this);
    m_spinner->setInterval(80);
    connect(m_spinner, &QTimer::timeout, this, [this] {
        m_test->setIcon(spinnerFrame(++m_spinnerStep, palette().color(QPalette::PlaceholderText)));
    });

    m_resultSymbol = new SymbolLabel(QStringLiteral("checkmark.circle.fill"), Tint::green, 16, {20, 20},
                                     SymbolLabel::Style::plain, footer);
    m_resultSymbol->hide();
    layout->addWidget(m_resultSymbol);
    m_result = new QLabel(footer);
    m_result->setObjectName(QStringLiteral("testResultLabel"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_result->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    layout->addWidget(m_result, 1);

    m_save = new QPushButton(tr("Save"), footer);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_save->setAutoDefault(false);
    PageStyle::makeProminent(m_save);
    connect(m_save, &QPushButton::clicked, this, &AIModelSettingsSheet::save);
    layout->addWidget(m_save);
    return footer;
}

void AIModelSettingsSheet::load()
{
    const AppSettings& settings = m_appState.settings();
    m_loading = true;
    m_selectedProvider = settings.aiProvider;
    m_provider->setCurrentIndex(m_provider->findData(int(settings.aiProvider)));
    setModelSuggestions(suggestedModels(settings.aiProvider));
    m_model->setCurrentText(settings.selectedModel);
    loadKey(settings.aiProvider);
    m_host->setText(settings.ollamaHost);
    m_relay->setText(settings.tovalinBaseURL.value_or(QString()));
    m_baseURL->setText(settings.customBaseURL.value_or(QString()));
    m_loading = false;
    m_hasChanges = false;
    m_modelIsProviderDefault = false;
    showProviderSections();
    updateButtons();
    refreshOllamaSuggestions();
}

void AIModelSettingsSheet::selectProvider(AIProvider provider)
{
    m_selectedProvider = provider;
    const QStringList models = suggestedModels(provider);
    m_loading = true;
    setModelSuggestions(models);
    // A server of one's own has no fixed list: the name last typed for it comes back.
    m_model->setCurrentText(provider == AIProvider::custom ? m_appState.settings().customModel.value_or(QString())
                                                           : models.value(0));
    // A key typed for another provider and not saved is dropped.
    loadKey(provider);
    m_loading = false;
    m_modelIsProviderDefault = true;
    clearTestResult();
    showProviderSections();
    markChanged();
    refreshOllamaSuggestions();
}

QString AIModelSettingsSheet::keyLocationText(const AppState& appState)
{
    const ApiKeyStore* keys = appState.apiKeys();
    switch (keys ? keys->location() : ApiKeyStore::Location::file) {
    case ApiKeyStore::Location::keyring: return tr("Keys are kept in your desktop's keyring.");
    case ApiKeyStore::Location::fileLocked:
        return tr("The keyring stayed locked: keys are kept in settings.json, readable only by you.");
    case ApiKeyStore::Location::file: break;
    }
    return tr("No keyring answers: keys are kept in settings.json, readable only by you.");
}

void AIModelSettingsSheet::loadKey(AIProvider provider)
{
    const QString stored = storedKey(m_appState.settings(), provider);
    m_apiKey->setText(stored);
    m_keyringKey.clear();
    m_keyLocation->setText(keyLocationText(m_appState));
    const int request = ++m_keyRequest;
    ApiKeyStore* keys = m_appState.apiKeys();
    if (!stored.isEmpty() || !keys || keys->location() == ApiKeyStore::Location::file
        || std::find(keyedProviders.begin(), keyedProviders.end(), provider) == keyedProviders.end())
        return;
    // Read in the background; a key typed meanwhile is not overwritten.
    [](QPointer<AIModelSettingsSheet> self, ApiKeyStore* keys, AIProvider provider, int request) -> QCoro::Task<> {
        const ApiKeyStore::Lookup lookup = co_await keys->read(provider, kKeyReadTimeout);
        if (!self || request != self->m_keyRequest || !self->m_apiKey->text().isEmpty())
            co_return;
        self->m_keyringKey = lookup.key;
        const bool loading = std::exchange(self->m_loading, true);
        self->m_apiKey->setText(lookup.key);
        self->m_loading = loading;
        self->updateButtons();
    }(QPointer(this), keys, provider, request);
}

void AIModelSettingsSheet::markChanged()
{
    m_hasChanges = true;
    updateButtons();
}

void AIModelSettingsSheet::setModelSuggestions(const QStringList& models)
{
    const QString text = m_model->currentText();
    m_model->clear();
    m_model->addItems(models);
    m_model->setCurrentText(text);
}

void AIModelSettingsSheet::showProviderSections()
{
    const AIProvider p = m_selectedProvider;
    m_modelSection->setVisible(!suggestedModels(p).isEmpty() || p == AIProvider::custom);
    // An OpenAI-compatible server may want a key or not.
    m_keySection->setVisible(isKeyed(p) || p == AIProvider::custom);
    m_keyLink->setVisible(isKeyed(p));
    m_ollamaSection->setVisible(p == AIProvider::ollama);
    m_builtInSection->setVisible(p == AIProvider::tovalin);
    m_customSection->setVisible(p == AIProvider::custom);
    if (isKeyed(p)) {
        m_keyLink->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                               .arg(ExternalLinks::apiKeyPage(p).toString(),
                                    tr("Get %1 API Key").arg(displayName(p)).toHtmlEscaped()));
    }
}

void AIModelSettingsSheet::refreshOllamaSuggestions()
{
    const AIProvider provider = m_selectedProvider;
    if (provider != AIProvider::ollama && provider != AIProvider::custom)
        return;
    const int request = ++m_suggestionRequest;
    [](QPointer<AIModelSettingsSheet> self, AIProvider provider, QString address, QString key,
       int request) -> QCoro::Task<> {
        // Two statements: GCC 12 miscompiles co_await inside a conditional expression.
        std::optional<QStringList> names;
        if (provider == AIProvider::ollama)
            names = co_await OllamaModelList::fetch(address);
        else
            names = co_await CustomModelList::fetch(address, key);
        // Only the answer to the latest request counts: the host may have changed meanwhile.
        if (self && request == self->m_suggestionRequest)
            self->applyOllamaSuggestions(names);
    }(QPointer(this), provider, (provider == AIProvider::ollama ? m_host : m_baseURL)->text().trimmed(),
      m_apiKey->text(), request);
}

void AIModelSettingsSheet::applyOllamaSuggestions(const std::optional<QStringList>& names)
{
    if (m_selectedProvider != AIProvider::ollama && m_selectedProvider != AIProvider::custom)
        return;
    const bool installed = names && !names->isEmpty();
    const QStringList models = installed ? *names : suggestedModels(m_selectedProvider);
    m_loading = true;
    setModelSuggestions(models);
    // Switching to Ollama picked the first fixed name; an installed model is a better first choice.
    if (installed && (m_modelIsProviderDefault || m_model->currentText().isEmpty())
        && !models.contains(m_model->currentText()))
        m_model->setCurrentText(models.first());
    m_loading = false;
    emit modelSuggestionsLoaded();
}

AppSettings AIModelSettingsSheet::editedSettings() const
{
    AppSettings s = m_appState.settings();
    s.aiProvider = m_selectedProvider;
    s.selectedModel = m_model->currentText().trimmed();
    s.ollamaHost = m_host->text().trimmed();
    const QString key = m_apiKey->text();
    setApiKeyIn(s, m_selectedProvider, key);
    if (m_selectedProvider == AIProvider::custom) {
        s.customApiKey = key; // what the sheet shows is saved, even an empty key
        s.customBaseURL = m_baseURL->text().trimmed();
        s.customModel = s.selectedModel;
    }
    const QString relay = m_relay->text().trimmed();
    s.tovalinBaseURL = relay.isEmpty() ? std::nullopt : std::optional<QString>(relay);
    return s;
}

void AIModelSettingsSheet::save()
{
    AppSettings settings = editedSettings();
    const QString key = m_apiKey->text();
    if (ApiKeyStore* keys = m_appState.apiKeys(); keys && keys->location() != ApiKeyStore::Location::file) {
        // The keyring keeps an unchanged key; a new one goes through the file until it
        // confirms; a cleared one is forgotten there too.
        if (!key.isEmpty() && key == m_keyringKey)
            setApiKeyIn(settings, m_selectedProvider, QString());
        else if (key.isEmpty()
                 && (!m_keyringKey.isEmpty() || !storedKey(m_appState.settings(), m_selectedProvider).isEmpty()))
            keys->write(m_selectedProvider, QString());
    }
    m_appState.setSettings(settings);
    m_appState.saveSettings();
    m_hasChanges = false;
    updateButtons();
}

void AIModelSettingsSheet::startConnectionTest()
{
    if (m_isTestingConnection)
        return;
    clearTestResult();
    m_isTestingConnection = true;
    m_spinnerStep = 0;
    m_spinner->start();
    updateButtons();
    [](QPointer<AIModelSettingsSheet> self, AppSettings settings, int run) -> QCoro::Task<> {
        TestResult result;
        try {
            const std::unique_ptr<AIService> service = makeAIService(settings);
            co_await service->processText(QStringLiteral("Say 'OK' if you receive this."), QStringLiteral("Test"));
            result.success = true;
        } catch (const std::exception& e) {
            result.message = userFacingDescription(e);
        }
        if (self && run == self->m_testRun)
            self->finishConnectionTest(result);
    }(QPointer(this), editedSettings(), m_testRun);
}

void AIModelSettingsSheet::clearTestResult()
{
    ++m_testRun;
    m_isTestingConnection = false;
    m_testResult.reset();
    m_spinner->stop();
    m_test->setIcon(PageStyle::symbolIcon(QStringLiteral("network"), Tint::primary));
    m_resultSymbol->hide();
    m_result->clear();
    updateButtons();
}

QString AIModelSettingsSheet::keepAddressesWhole(const QString& message)
{
    static const QRegularExpression address(QStringLiteral("[A-Za-z][A-Za-z0-9+.-]*://[^\\s\"'<>]+"));
    QString out;
    qsizetype done = 0;
    for (auto it = address.globalMatch(message); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(message).mid(done, match.capturedStart() - done);
        // A word joiner between two characters forbids a line break there.
        const QString word = match.captured();
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (i > 0 && !word[i].isLowSurrogate())
                out += QChar(0x2060);
            out += word[i];
        }
        done = match.capturedEnd();
    }
    out += QStringView(message).mid(done);
    return out;
}

void AIModelSettingsSheet::finishConnectionTest(const TestResult& result)
{
    m_isTestingConnection = false;
    m_testResult = result;
    m_spinner->stop();
    m_test->setIcon(PageStyle::symbolIcon(QStringLiteral("network"), Tint::primary));
    m_resultSymbol->setSymbol(result.success ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.circle.fill"),
                              result.success ? Tint::green : Tint::red);
    m_resultSymbol->show();
    m_result->setText(result.success ? tr("Connection successful!") : keepAddressesWhole(result.message));
    m_result->setFont(PageStyle::font(result.success ? TextStyle::body : TextStyle::caption));
    PageStyle::setTextTint(m_result, result.success ? Tint::green : Tint::red);
    updateButtons();
}

void AIModelSettingsSheet::updateButtons()
{
    m_test->setEnabled(!m_isTestingConnection && (!isKeyed(m_selectedProvider) || !m_apiKey->text().isEmpty()));
    m_save->setEnabled(m_hasChanges);
}
