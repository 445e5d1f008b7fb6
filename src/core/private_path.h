#pragma once

#include <QString>

// Places that hold the user's private state (keys, texts, the instance lock) must be the
// user's own: anyone else who can change them can read the texts or steer the program.
namespace PrivatePath {
// Makes `path` a folder of this user's that no one else may enter: created with mode 0700
// when missing (only when `create`), tightened when it is the user's but open to others.
// Returns why it must not be used (another user's, not a folder, ...), or an empty string.
QString prepareFolder(const QString& path, bool create);
// Why the entry at `path` must be neither read nor written: a symbolic link (a write would
// land in whatever it points to) or another user's. Empty when it is absent or the user's.
QString entryProblem(const QString& path);
} // namespace PrivatePath
