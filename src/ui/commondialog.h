#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// The file-open dialog of the main window, with the properties the upload
// sets before each use. ShowOpen() goes through a handler that tests replace,
// so they can choose a file without a window.
class CommonDialog : public QObject
{
    Q_OBJECT

public:
    // Error number of a dialog the operator cancelled.
    static constexpr int cdlCancel = 32755;

    explicit CommonDialog(QObject* parent = nullptr);

    QString DialogTitle;
    // "Label|pattern|Label|pattern..."
    QString Filter;
    QString DefaultExt;
    QString FileName;
    // The folder the dialog opens in; follows the last file chosen.
    QString InitDir;

    // 0 when a file name was chosen (FileName holds it), cdlCancel when the
    // operator cancelled, another number on failure (see errorDescription()).
    int ShowOpen();
    // The same, for a file to write: replacing one is asked first.
    int ShowSave();
    bool saving() const { return m_saving; }
    QString errorDescription() const { return m_errorDescription; }

    // "Text Files (*.TXT)|*.txt|..." as Qt name filters: each label with the
    // pattern that is really used; "*.*" means every file.
    static QStringList nameFilters(const QString& filter);
    // The name the dialog hands back for a typed one.
    static QString withDefaultExt(const QString& typed, const QString& defaultExt);

    // Answers ShowOpen() in place of the real dialog: sets FileName (and may
    // handle events meanwhile) and returns the error number as above.
    using Handler = std::function<int(CommonDialog& dialog)>;
    static void setHandler(Handler handler);

private:
    int showReal();
    QString m_errorDescription;
    bool m_saving = false;
};
