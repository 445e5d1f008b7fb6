#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

struct xcb_connection_t;

// A second X client of the test's own, independent of Qt's connection: it can hold
// grabs that the code under test must see as another program's.
class X11TestClient {
public:
    X11TestClient();
    ~X11TestClient();
    X11TestClient(const X11TestClient&) = delete;
    X11TestClient& operator=(const X11TestClient&) = delete;

    bool isConnected() const;
    // Grabs keyCode with exactly these modifiers on the root window; the X error code, 0 on success.
    int grabKey(uint8_t keyCode, uint16_t modifiers);
    void ungrabKey(uint8_t keyCode, uint16_t modifiers);
    // Process id of the window named by _NET_ACTIVE_WINDOW.
    std::optional<uint32_t> activeWindowPid();
    // The locked and held modifier bits as the server reports them now.
    uint16_t modifierState();

private:
    uint32_t atom(const char* name);
    xcb_connection_t* m_connection = nullptr;
    uint32_t m_root = 0;
};

// Runs a short-lived tool while the event loop keeps turning (the test process may have
// to answer clipboard requests meanwhile). False when it fails or takes longer than timeoutMs.
bool runTool(const QString& program, const QStringList& arguments, int timeoutMs = 5000);

// Spins the event loop until the window named by _NET_ACTIVE_WINDOW belongs to pid.
bool waitForActiveWindowOf(qint64 pid, int timeoutMs = 5000);

// A GTK text field in another process: yad selects the field's text when it gets the
// focus (making it the PRIMARY selection) and prints the field on Return.
class YadEntry {
public:
    explicit YadEntry(const QString& text);
    ~YadEntry();
    // Started and holding the keyboard focus.
    bool isReady() const { return m_ready; }
    qint64 pid() const { return m_process.processId(); }
    // Presses Return and gives what yad printed (without the line end); nothing on failure.
    std::optional<QString> submit();

private:
    QProcess m_process;
    bool m_ready = false;
};

// Holds the PRIMARY selection or the clipboard with a text from another process (xclip),
// until destroyed or until another client takes it over.
class XclipOwner {
public:
    enum class Selection { primary, clipboard };
    XclipOwner(Selection selection, const QString& text);
    ~XclipOwner();
    // Qt has seen the new owner and reads the text back.
    bool isReady() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

// Counts requests from other programs for a selection this process owns (a paste in
// progress), so a test can tell when the other side has fetched the clipboard.
class SelectionRequestCounter : public QAbstractNativeEventFilter {
public:
    SelectionRequestCounter();
    ~SelectionRequestCounter() override;
    int count() const { return m_count; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    int m_count = 0;
};
