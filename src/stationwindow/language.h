#pragma once

#include <QString>
#include <QStringList>

// The station window's language: its own words (Qt Linguist's .qm files,
// built in) and Qt's own (the file dialog's and the message boxes'
// buttons, from Debian's qt6-translations-l10n), for a code such as "de",
// "vi" or "zh_CN"; English needs none. The records, the audit trail, the
// database, the broker and the bus are never in it: those words are the
// machines'.
namespace StationLanguage {

// The languages the window has, by code, English first.
QStringList available();
// Whether the window can be shown in `code` (or its language: de_AT in de).
bool has(const QString& code);
// "Deutsch", in the language itself.
QString nativeName(const QString& code);
// The system's, when it is one of them; English otherwise.
QString systemDefault();
// The window's words in `code` from now on (an empty code: the system's);
// the code in use, which is English for one the window does not have.
QString use(const QString& code);
QString current();
// Another folder of station_CODE.qm files, after the built-in ones.
void addFolder(const QString& folder);

} // namespace StationLanguage
