// A native Wayland text field for the end-to-end tests:
//   wayland_text_field TEXT
// Shows TEXT, prints "focused" once it has the keyboard and "left" each time it loses it,
// every change of its text as "text: ..." and of its selection as "selected: ..." on one line. Selecting in it with Shift and the arrows sets PRIMARY, as
// only an input event lets a client do.
#include <QApplication>
#include <QLineEdit>
#include <cstdio>

namespace {
void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("tovalin-test-field"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2)
        return 2;
    QLineEdit field(arguments[1]);
    field.setMinimumWidth(600);
    QObject::connect(&field, &QLineEdit::textChanged, [](const QString& text) { say(QStringLiteral("text: ") + text); });
    QObject::connect(&field, &QLineEdit::selectionChanged,
                     [&field] { say(QStringLiteral("selected: ") + field.selectedText()); });
    field.show();
    bool announced = false;
    QObject::connect(&app, &QApplication::focusChanged, [&](QWidget* before, QWidget* now) {
        if (before == &field && !now)
            say(QStringLiteral("left"));
        if (now != &field || announced)
            return;
        announced = true;
        say(QStringLiteral("focused"));
    });
    return app.exec();
}
