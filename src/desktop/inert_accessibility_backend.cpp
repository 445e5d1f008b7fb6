#include "inert_accessibility_backend.h"

InertAccessibilityBackend::InertAccessibilityBackend(QObject* parent)
    : AccessibilityBackend(parent)
{
    connect(&m_clipboard, &SystemClipboard::changed, this, &AccessibilityBackend::clipboardChanged);
}
