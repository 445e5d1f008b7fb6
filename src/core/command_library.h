#pragma once

#include "records.h"

#include <QList>

// Built once per process on first use; every read in one run sees the same ids and dates.
const QList<Command>& defaultCommands();
const QList<Command>& commandLibrary();

// What the user typed at the palette, run as a command of its own: named "Custom
// Instruction", the instruction as its prompt, one fixed id for all of them.
QUuid customInstructionId();
Command customInstruction(const QString& instruction);
