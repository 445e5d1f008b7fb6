#pragma once

#include <QString>
#include <QStringList>

// Takes keys out of texts bound for a client or the log: the relay's own keys wherever they
// show, and anything shaped like a key or a credential header, because an upstream may echo
// what it was sent ("Incorrect API key provided: sk-...").
class KeyRedactor {
public:
    explicit KeyRedactor(QStringList keys);

    QString redact(QString text) const;

private:
    QStringList m_keys;
};
