#pragma once

#include <QStringList>

// Terminals take Ctrl+Shift+C and Ctrl+Shift+V for the clipboard; a plain Ctrl+C
// would interrupt whatever runs in them. Decided from the window's WM_CLASS names.
bool isTerminalWindow(const QStringList& windowClass);
