#include "commondialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
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
    static const QRegularExpression shownPatterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].trimmed();
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        const QString used = patterns.join(QLatin1Char(' ')).trimmed();
        // Qt filters by the patterns in the label's parentheses, ignoring
        // letter case; a label that already shows the real pattern stays as it is.
        const QRegularExpressionMatch m = shownPatterns.match(label);
        if (m.hasMatch() && m.captured(1).trimmed().compare(used, Qt::CaseInsensitive) == 0)
            result << label;
        else
            result << QStringLiteral("%1 (%2)").arg(label, used);
    }
    return result;
}

int CommonDialog::showReal()
{
    QFileDialog dialog(QApplication::activeWindow(), DialogTitle,
                       InitDir.isEmpty() ? QDir::currentPath() : InitDir);
    // Qt's own dialog: the name field takes a typed full path, on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The caller checks that the file exists and says so when it does not.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters(Filter));
    dialog.setDefaultSuffix(DefaultExt);
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
    FileName = QDir::toNativeSeparators(chosen.first());
    return 0;
}
