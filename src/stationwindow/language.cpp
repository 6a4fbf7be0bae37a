#include "language.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace StationLanguage {

namespace {

QTranslator& ours()
{
    static QTranslator t;
    return t;
}
QTranslator& qts()
{
    static QTranslator t;
    return t;
}
QString& inUse()
{
    static QString code = QStringLiteral("en");
    return code;
}
// The built-in files first, then any folder added.
QStringList& folders()
{
    static QStringList list{QStringLiteral(":/i18n")};
    return list;
}

} // namespace

QStringList available()
{
    QStringList codes{QStringLiteral("en")};
    for (const QString& folder : qAsConst(folders())) {
        for (const QString& qm : QDir(folder).entryList({QStringLiteral("station_*.qm")})) {
            const QString code = qm.mid(8, qm.size() - 11);
            if (!codes.contains(code))
                codes << code;
        }
    }
    return codes;
}

namespace {

// "de_AT" is shown in German where there is no Austrian file.
QString bestOf(const QString& code)
{
    const QStringList have = available();
    if (have.contains(code))
        return code;
    const QString language = code.section(QLatin1Char('_'), 0, 0);
    return have.contains(language) ? language : QStringLiteral("en");
}

} // namespace

bool has(const QString& code)
{
    return code.isEmpty() || bestOf(code) != QLatin1String("en") ||
           code.section(QLatin1Char('_'), 0, 0) == QLatin1String("en");
}

QString nativeName(const QString& code)
{
    // Each as it writes itself; CLDR's names of the bare codes carry a country.
    static const QHash<QString, QString> names{{QStringLiteral("en"), QStringLiteral("English")},
                                               {QStringLiteral("es"), QStringLiteral("Español")}};
    if (names.contains(code))
        return names.value(code);
    const QLocale l(code);
    QString name = l.nativeLanguageName();
    if (code.contains(QLatin1Char('_')))
        name += QStringLiteral(" (%1)").arg(l.nativeTerritoryName());
    return name.isEmpty() ? code : name[0].toUpper() + name.mid(1);
}

QString systemDefault()
{
    for (const QString& ui : QLocale::system().uiLanguages()) {
        const QString code = QString(ui).replace(QLatin1Char('-'), QLatin1Char('_'));
        if (has(code))
            return bestOf(code);
    }
    return QStringLiteral("en");
}

QString use(const QString& given)
{
    const QString wanted = given.isEmpty() ? systemDefault() : given;
    static bool loaded = false;
    if (loaded && bestOf(wanted) == inUse())
        return inUse();
    loaded = true;
    QCoreApplication::removeTranslator(&ours());
    QCoreApplication::removeTranslator(&qts());
    const QString code = bestOf(wanted);
    // English's file holds its plural forms alone.
    for (const QString& folder : qAsConst(folders())) {
        if (ours().load(QStringLiteral("%1/station_%2.qm").arg(folder, code))) {
            QCoreApplication::installTranslator(&ours());
            break;
        }
    }
    // Qt's own words, where Debian has them for this language.
    if (code != QLatin1String("en") &&
        qts().load(QStringLiteral("qtbase_%1").arg(code),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qts());
    QLocale::setDefault(code == QLatin1String("en") ? QLocale(QLocale::English) : QLocale(code));
    inUse() = code;
    return code;
}

void addFolder(const QString& folder)
{
    if (!folders().contains(folder))
        folders() << folder;
}

QString current()
{
    return inUse();
}

} // namespace StationLanguage
