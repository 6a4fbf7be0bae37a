#include "language.h"

#include <QCoreApplication>
#include <QDir>
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

} // namespace

QStringList available()
{
    QStringList codes{QStringLiteral("en")};
    for (const QString& qm : QDir(QStringLiteral(":/i18n")).entryList({QStringLiteral("station_*.qm")}))
        codes << qm.mid(8, qm.size() - 11);
    return codes;
}

QString nativeName(const QString& code)
{
    const QLocale l(code);
    QString name = l.nativeLanguageName();
    if (code.contains(QLatin1Char('_')))
        name += QStringLiteral(" (%1)").arg(l.nativeTerritoryName());
    return name.isEmpty() ? code : name[0].toUpper() + name.mid(1);
}

QString systemDefault()
{
    const QStringList have = available();
    for (const QString& ui : QLocale::system().uiLanguages()) {
        QString code = ui;
        code.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (have.contains(code))
            return code;
        if (have.contains(code.section(QLatin1Char('_'), 0, 0)))
            return code.section(QLatin1Char('_'), 0, 0);
    }
    return QStringLiteral("en");
}

QString use(const QString& given)
{
    const QString code = given.isEmpty() ? systemDefault() : given;
    QCoreApplication::removeTranslator(&ours());
    QCoreApplication::removeTranslator(&qts());
    if (code == QLatin1String("en") || !available().contains(code)) {
        inUse() = QStringLiteral("en");
        QLocale::setDefault(QLocale(QLocale::English));
        return inUse();
    }
    if (ours().load(QStringLiteral(":/i18n/station_%1.qm").arg(code)))
        QCoreApplication::installTranslator(&ours());
    // Qt's own words, where Debian has them for this language.
    if (qts().load(QStringLiteral("qtbase_%1").arg(code),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qts());
    QLocale::setDefault(QLocale(code));
    inUse() = code;
    return code;
}

QString current()
{
    return inUse();
}

} // namespace StationLanguage
