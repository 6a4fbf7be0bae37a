#include "commondialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

namespace {

CommonDialog::Handler& handler()
{
    static CommonDialog::Handler instance;
    return instance;
}

} // namespace

CommonDialog::CommonDialog(QObject* parent) : QObject(parent) {}

void CommonDialog::setHandler(Handler h)
{
    handler() = std::move(h);
}

int CommonDialog::ShowSave()
{
    m_saving = true;
    const int result = ShowOpen();
    m_saving = false;
    return result;
}

int CommonDialog::ShowOpen()
{
    m_errorDescription.clear();
    const int result = handler() ? handler()(*this) : showReal();
    if (result == 0 && !FileName.isEmpty())
        InitDir = QFileInfo(FileName).absolutePath();
    return result;
}

QStringList CommonDialog::nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" is every file, also one without a dot in its name.
        for (QString& p : patterns) {
            if (p.trimmed() == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        // Qt filters by the patterns in the last parentheses and, with the
        // details hidden, shows what comes before them: the label as given.
        result << QStringLiteral("%1 (%2)").arg(label, patterns.join(QLatin1Char(' ')).trimmed());
    }
    return result;
}

QString CommonDialog::withDefaultExt(const QString& typed, const QString& defaultExt)
{
    // A name that exists is taken as typed; only a new name without a dot
    // gets the default extension.
    const QFileInfo info(typed);
    if (defaultExt.isEmpty() || info.exists() || info.fileName().contains(QLatin1Char('.')))
        return typed;
    return typed + QLatin1Char('.') + defaultExt;
}

int CommonDialog::showReal()
{
    QFileDialog dialog(QApplication::activeWindow(), DialogTitle,
                       InitDir.isEmpty() ? QDir::currentPath() : InitDir);
    // Qt's own dialog: the name field takes a typed full path, on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Saving asks before it replaces a file.
    dialog.setAcceptMode(m_saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The caller checks that the file exists and says so when it does not.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(nameFilters(Filter));
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    QTimer::singleShot(0, &dialog, [&dialog] {
        if (auto* nameField = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            nameField->setFocus(Qt::OtherFocusReason);
    });
    if (dialog.exec() != QDialog::Accepted)
        return cdlCancel;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return cdlCancel;
    FileName = QDir::toNativeSeparators(withDefaultExt(chosen.first(), DefaultExt));
    return 0;
}
