#pragma once

#include "records.h"

#include <QList>

// Built once per process on first use; every read in one run sees the same ids and dates.
const QList<Command>& defaultCommands();
const QList<Command>& commandLibrary();
