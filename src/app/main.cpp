#include "app_state.h"
#include "file_defaults_store.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovalin"));
    QApplication::setQuitOnLastWindowClosed(false);

    FileDefaultsStore defaults = FileDefaultsStore::forCurrentUser();
    AppState::Services services;
    services.defaults = &defaults;
    AppState state(services);
    return app.exec();
}
