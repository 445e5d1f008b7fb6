#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

struct xcb_connection_t;

// A second X client of the test's own, independent of Qt's connection: its grabs are
// another program's to the code under test, and last until it is destroyed.
class X11TestClient {
public:
    X11TestClient();
    ~X11TestClient();
    X11TestClient(const X11TestClient&) = delete;
    X11TestClient& operator=(const X11TestClient&) = delete;

    bool isConnected() const;
    // Grabs keyCode with exactly these modifiers on the root window; the X error code, 0 on success.
    int grabKey(uint8_t keyCode, uint16_t modifiers);
    // Process id of the window named by _NET_ACTIVE_WINDOW.
    std::optional<uint32_t> activeWindowPid();
    // The locked and held modifier bits as the server reports them now.
    uint16_t modifierState();

private:
    xcb_connection_t* m_connection = nullptr;
    uint32_t m_root = 0;
};

// Runs a short-lived tool while the event loop keeps turning (the test process may have
// to answer clipboard requests meanwhile). False when it fails or takes longer than timeoutMs.
bool runTool(const QString& program, const QStringList& arguments, int timeoutMs = 5000);

// Another program that stays up for the test and is ended with it.
class TestProgram {
public:
    ~TestProgram();
    // Started and in the state the subclass promises.
    bool isReady() const { return m_ready; }
    qint64 pid() const { return m_process.processId(); }

protected:
    QProcess m_process;
    bool m_ready = false;
};

// A GTK text field: yad selects the field's text when it gets the focus (making it the
// PRIMARY selection) and prints the field on Return. Ready once its window is active.
class YadEntry : public TestProgram {
public:
    explicit YadEntry(const QString& text);
    // Presses Return and gives what yad printed (without the line end); nothing on failure.
    std::optional<QString> submit();
};

// A GTK multi-line text view (yad --text-info --editable) holding text, its window active.
class YadTextView : public TestProgram {
public:
    explicit YadTextView(const QString& text);
    // The whole text as it is now, read by selecting all and copying; nothing on failure.
    std::optional<QString> contents();
};

// Holds the PRIMARY selection (or the clipboard) with a text until destroyed or until another
// client takes it over. Ready once Qt reads the text back.
class XclipOwner : public TestProgram {
public:
    enum class Selection { primary, clipboard };
    XclipOwner(Selection selection, const QString& text);
};
