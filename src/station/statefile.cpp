#include "statefile.h"

#include "../serial/status.h"

#include <QFile>

namespace StateFile {

Read read(const QString& path, const QString& noun, const QString& expected,
          const std::function<bool(const QString& key, const QString& value)>& take,
          QString* error)
{
    QFile file(path);
    if (!file.exists())
        return Read::Missing;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("the %1 %2 cannot be read: %3").arg(noun, path, file.errorString());
        return Read::Failed;
    }
    int number = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        ++number;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = int(line.indexOf(QLatin1Char('=')));
        const QString key = equals < 0 ? QString() : line.left(equals).trimmed();
        const QString value = equals < 0 ? line : line.mid(equals + 1).trimmed();
        if (!take(key, value)) {
            *error = QStringLiteral("the %1 %2:%3 is \"%4\", not %5")
                         .arg(noun, path)
                         .arg(number)
                         .arg(elided(line), expected);
            return Read::Failed;
        }
    }
    return Read::Read;
}

} // namespace StateFile
