#pragma once

#include "records.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class AIModelSettingsSheet;
class AppState;
class FormSection;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;
class ToggleSwitch;

// The Settings page: one control per stored setting, each change saved at once, plus
// the provider summary that opens the AI settings sheet, the permission check and About.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    // The permission is the store's accessibility service's to tell; without one it
    // reads as not granted.
    explicit SettingsView(AppState& appState, QWidget* parent = nullptr);

    // The summary under "AI Provider": the built-in provider's name alone, else name and model.
    static QString providerSummary(const AppSettings& settings);

    AIModelSettingsSheet* openAISettings();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* unreadableNotice();
    FormSection* aiModelSection();
    FormSection* permissionsSection();
    FormSection* appearanceSection();
    // A switch over one setting: plain members, or the optional ones with their default.
    struct Switch {
        QString label;
        std::function<bool(const AppSettings&)> read;
        std::function<void(AppSettings&, bool)> write;
        Switch(QString label, bool AppSettings::*member);
        Switch(QString label, std::optional<bool> AppSettings::*member, bool byDefault);
    };
    FormSection* switchesSection(const QString& title, const QString& symbol, const QList<Switch>& rows);
    FormSection* aboutSection();
    // The slider between its two end labels.
    static QWidget* labelledSlider(QSlider* slider, const QString& low, const QString& high);

    // Applies one edit to the stored settings and saves them, unless nothing changed.
    void change(const std::function<void(AppSettings&)>& edit);
    // Brings every control to the stored value, without writing back.
    void showSettings();
    void checkPermission();
    // "Launch at login" shows whether the autostart entry will start Tovalin, which the
    // user may also change outside Tovalin.
    void followAutostartEntry();

    AppState& m_appState;
    QLabel* m_providerSummary = nullptr;
    QWidget* m_granted = nullptr;
    QPushButton* m_enable = nullptr;
    QComboBox* m_theme = nullptr;
    QSlider* m_opacity = nullptr;
    QSlider* m_width = nullptr;
    QList<std::pair<ToggleSwitch*, std::function<bool(const AppSettings&)>>> m_switches;
    QPointer<AIModelSettingsSheet> m_aiSheet;
    QFileSystemWatcher* m_autostartWatch;
};
