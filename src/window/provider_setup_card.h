#pragma once

#include "page_style.h"
#include "provider_discovery.h"

class AppState;
class QLabel;
class QVBoxLayout;

// "Set up an AI provider" on Home, shown while the store offers it: what runs on this
// machine, each with a "Use" button that saves provider, model and address at once, or
// how to start one, and "Use an API key" for the AI settings sheet.
class ProviderSetupCard : public CardFrame {
    Q_OBJECT
public:
    explicit ProviderSetupCard(AppState& appState, QWidget* parent = nullptr);

    // Where to look; the settings' addresses and the well-known ports unless set.
    void setTargets(ProviderDiscovery::Targets targets) { m_targets = std::move(targets); }
    // Looks again and shows what answered.
    void refresh();
    // Saves the provider, its first model and its address.
    void use(const ProviderDiscovery::Found& found);

signals:
    // A look is over and its result shown.
    void refreshed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void follow();
    void showFound(const QList<ProviderDiscovery::Found>& found);
    void clearRows();
    void openAISettings();

    AppState& m_appState;
    std::optional<ProviderDiscovery::Targets> m_targets;
    QLabel* m_status = nullptr;
    QVBoxLayout* m_rows = nullptr;
    int m_request = 0;
    bool m_looked = false;
};
