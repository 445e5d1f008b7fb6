#pragma once

#include "records.h"

#include <QDialog>
#include <optional>

class AppState;
class FormSection;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SymbolLabel;

// Provider, model, key or Ollama host, a connection test and Save. Edits stay in the
// sheet until Save; Done and closing drop them.
class AIModelSettingsSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 500;
    static constexpr int sheetHeight = 450;

    struct TestResult {
        bool success = false;
        QString message; // the error's text for a failure
    };

    // The suggested models of a provider, its default first; empty for the built-in one.
    static QStringList suggestedModels(AIProvider provider);
    // The stored key of a keyed provider; empty for the others.
    static QString storedKey(const AppSettings& settings, AIProvider provider);
    static bool isKeyed(AIProvider provider);
    // Where saved keys are kept, for the line under the key field.
    static QString keyLocationText(const AppState& appState);
    // The message with each web address joined into one unbreakable word, so wrapping
    // never cuts "http://" from the host.
    static QString keepAddressesWhole(const QString& message);

    explicit AIModelSettingsSheet(AppState& appState, QWidget* parent = nullptr);

    bool hasChanges() const { return m_hasChanges; }
    bool isTestingConnection() const { return m_isTestingConnection; }
    const std::optional<TestResult>& testResult() const { return m_testResult; }
    // The stored settings with the sheet's unsaved choices applied.
    AppSettings editedSettings() const;

    void save();

signals:
    // The Ollama host's answer (or its silence) has set the model suggestions.
    void modelSuggestionsLoaded();

private:
    QWidget* buildForm();
    QWidget* buildFooter();
    void load();
    void selectProvider(AIProvider provider);
    // The provider's saved key into the field: from the settings, or read from the keyring.
    void loadKey(AIProvider provider);
    void markChanged();
    void setModelSuggestions(const QStringList& models);
    void showProviderSections();
    void refreshOllamaSuggestions();
    void applyOllamaSuggestions(const std::optional<QStringList>& names);
    void startConnectionTest();
    // Drops the last result, and the answer of a test still running: both speak of the
    // choices made before.
    void clearTestResult();
    // Tall enough for the longest provider form, so no form needs a scroll bar.
    void fitTallestForm();
    void finishConnectionTest(const TestResult& result);
    void updateButtons();

    AppState& m_appState;
    AIProvider m_selectedProvider = AIProvider::tovalin;
    bool m_hasChanges = false;
    bool m_isTestingConnection = false;
    std::optional<TestResult> m_testResult;
    bool m_loading = false;
    // The model was set by a provider switch, not chosen: installed models may replace it.
    bool m_modelIsProviderDefault = false;
    int m_suggestionRequest = 0;
    int m_keyRequest = 0;
    QString m_keyringKey; // the shown provider's key as the keyring holds it
    int m_testRun = 0;

    QWidget* m_form = nullptr;
    QComboBox* m_provider = nullptr;
    FormSection* m_modelSection = nullptr;
    QComboBox* m_model = nullptr;
    FormSection* m_keySection = nullptr;
    QLineEdit* m_apiKey = nullptr;
    QLabel* m_keyLink = nullptr;
    QLabel* m_keyLocation = nullptr;
    FormSection* m_ollamaSection = nullptr;
    QLineEdit* m_host = nullptr;
    FormSection* m_builtInSection = nullptr;
    QLineEdit* m_relay = nullptr;
    FormSection* m_customSection = nullptr;
    QLineEdit* m_baseURL = nullptr;
    QPushButton* m_test = nullptr;
    QTimer* m_spinner = nullptr;
    int m_spinnerStep = 0;
    SymbolLabel* m_resultSymbol = nullptr;
    QLabel* m_result = nullptr;
    QPushButton* m_save = nullptr;
};
