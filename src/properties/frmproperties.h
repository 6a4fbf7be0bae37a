#pragma once

#include <QDialog>
#include <QStringList>
#include <QTabWidget>
#include <array>

class PropertiesHost;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// A tab strip that tells where its client area (the area under the tabs) is.
class TabStrip : public QTabWidget
{
    Q_OBJECT

public:
    using QTabWidget::QTabWidget;
    QRect clientArea() const;
};

// "CommPort Properties": shows what the port uses now, applies the
// operator's choices to it and keeps them for the next run. Created afresh
// for each opening.
class frmProperties : public QDialog
{
    Q_OBJECT

public:
    // Loads the dialog from the window's serial control and echo setting.
    explicit frmProperties(PropertiesHost& host, QWidget* parent = nullptr);

    static QStringList speedEntries();
    static QStringList dataBitsEntries();
    static QStringList parityEntries();
    static QStringList stopBitsEntries();
    static QStringList flowCaptions();

    TabStrip* tabSettings = nullptr;
    QWidget* fraSettings = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cboPort = nullptr;
    QGroupBox* Frame1 = nullptr;
    QComboBox* cboSpeed = nullptr;
    QGroupBox* Frame7 = nullptr;
    std::array<QRadioButton*, 2> optEcho{};
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QGroupBox* fraConnection = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cboDataBits = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cboParity = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* cboStopBits = nullptr;
    QGroupBox* Frame5 = nullptr;
    std::array<QRadioButton*, 4> optFlow{};
    QGroupBox* Frame2 = nullptr;
    std::array<QCheckBox*, 2> chkEnable{};

    // The flow-control code of the selected option, -1 while none is.
    int iFlow = -1;
    bool bEchoChoice = false;

    // What the lists select for a settings string as the port reports it:
    // fixed positions counted from its end, the parity letter compared
    // exactly (an upper-case letter selects nothing).
    struct Selection {
        QString speed;
        int parity = -1;
        QString dataBits;
        QString stopBits;
    };
    static Selection selectionFor(const QString& settings);

    void LoadPropertySettings();
    void cmdOK_Click();
    void cmdCancel_Click();
    void chkEnable_Click(int index);
    void optEcho_Click(int index);
    void optFlow_Click(int index);

    // The settings string the lists make, or an empty string with *missing
    // naming the lists that have no selection.
    QString chosenSettings(QStringList* missing) const;

protected:
    void reject() override;

private:
    void build();
    void showChosenPortDevice();
    PropertiesHost& m_host;
};
