#pragma once

#include "records.h"

#include <QWidget>

class AppState;

// Stands in for a page that a later version brings; one line says so.
class PlaceholderPage : public QWidget {
    Q_OBJECT
public:
    PlaceholderPage(MainTab tab, AppState& appState, QWidget* parent = nullptr);
};
