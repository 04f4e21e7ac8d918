#pragma once

// Qt's own texts in Chinese: the context menu of the edit boxes, the buttons of the standard
// dialogs, the print and file dialogs. They come from Qt's translation folder
// (QLibraryInfo::TranslationsPath; Debian's qt6-translations-l10n).

namespace vantrell::client {

// Installs qtbase_zh_CN once for the application; false when it is not installed, and the
// texts stay English.
bool loadQtTranslations();

} // namespace vantrell::client
