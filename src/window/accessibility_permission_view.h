#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

// Shown instead of the tabs while Tovalin cannot read and replace text: on Linux, when
// there is no X11 session, the X server lacks XTEST, or the desktop refused to let Tovalin
// type through its portal. Says why and what to do, and checks again every second while
// it is shown.
class AccessibilityPermissionView : public QWidget {
    Q_OBJECT
public:
    static constexpr int checkIntervalMs = 1000;

    AccessibilityPermissionView(std::function<bool()> checkPermission, std::function<void()> openSettings,
                                QWidget* parent = nullptr);

    // Why the check fails on this platform, and what the user can do about it.
    static QString reason(const QString& platformName);

signals:
    // The check passed; the host replaces this view.
    void permissionGranted();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void check();

    std::function<bool()> m_checkPermission;
    QTimer m_timer;
};
