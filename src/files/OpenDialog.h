#pragma once
// What File > Open File offers: its title and its filters, the first
// selected when the dialog opens.

#include "platform/Platform.h"

namespace tavero {

inline const QString kOpenDialogTitle = QStringLiteral("Select a media file ...");

// What is shown and what is listed differ on purpose: the first entry
// names the common types but also lists .mp3 and .qtx files.
QList<FileFilter> mediaFileFilters();

} // namespace tavero
