#pragma once
// The program's name and version, as the build gives them.

#include <QString>

namespace tavero {

inline const QString kProgramName = QStringLiteral(TAVERO_NAME);
inline const QString kProgramVersion = QStringLiteral(TAVERO_VERSION);

} // namespace tavero
