#pragma once

#include "exports/qelexportlog.h"
#include "platform/dialogs.h"
#include "platform/messagedlg.h"
#include "platform/params.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TdmExportAlu;

// "Estrazione dati dal db" (command "Dati per RICERCA", modal): extracts the evaluation data
// for the research office's statistics program into binary packets under the export folder,
// with a check log (controllo.log) of every run. The lists and the folder come from
// ETC/qew/QewIni.ini, section [Export]; the chosen lists are written back after an export.
// Every export ends by closing the window; its outcome is told once, by a message.
// One export at a time writes into the export folder (offices on one main folder share it): a
// second is told and writes nothing. The check log is written when the export starts, without
// its end line, and again, whole, once the last file is written.
class TfmQelExport : public TfmVxDialog
{
    Q_OBJECT
public:
    explicit TfmQelExport(QWidget *parent = nullptr);
    ~TfmQelExport() override;

    QCheckBox *chkTavrin() const { return m_chkTavrin; }
    QCheckBox *chkExit() const { return m_chkExit; }
    QCheckBox *chkAlunni() const { return m_chkAlunni; }
    QCheckBox *chkSedi() const { return m_chkSedi; }
    QComboBox *cboAnnoExit() const { return m_cboAnnoExit; }
    QComboBox *cboDwgExit() const { return m_cboDwgExit; }
    QComboBox *cboAnnoAlunni() const { return m_cboAnnoAlunni; }
    QComboBox *cboDwgAlunni() const { return m_cboDwgAlunni; }
    QPushButton *buEsporta() const { return m_buEsporta; }

    // The folder every export writes under: the key "Cartella" of [Export], by default
    // VextoData/tavrin_sta in the user's home; a relative path lies in the main folder.
    QString ExportRoot() const;

    // The site codes of the institute with "Dividi per sede", else the single pass "1=1".
    void CreaElencoSedi(int iDwgId);
    const QStringList &SiteList() const { return m_siteList; }

    // While an export runs the window neither closes nor starts another one.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    void buEsportaClick();
    // The checks before an export: false (the window then stays open) when one refused.
    bool readyToExport();
    // The three sources, in this order; an error ends the export.
    void exportAlunni();
    void exportSessione();
    void exportEsami();
    // The site list of the institute, told in the log and to the user when the split finds no
    // site code (the source is then left out).
    bool sitesOf(int iDwgId, const QString &source, const QString &subject);
    // A source's folder under the export folder, or its site's folder with the split; created.
    QString sourceDir(const QString &name, const QString &siteCode) const;
    std::optional<QString> siteFilter(const QString &siteCode) const;
    void logFileWritten(const QString &path);
    // Runs the converter of a packet into a workbook from the statistics template; its failure
    // is logged and told, and the export goes on.
    void convert(const QString &folder, const QString &packet, const QString &workbook,
                 const QString &logPrefix);
    void writeSelections();
    void setRunning(bool running);
    void step(const QString &text, int done, int total);

    struct Outcome
    {
        QString text; // empty after a clean export
        TMsgDlgType type = mtInformation;
        QString detail;
    };
    // The first failure of an export is the one told.
    void tell(const Outcome &outcome);

    QCheckBox *m_chkTavrin;
    QCheckBox *m_chkExit;
    QCheckBox *m_chkAlunni;
    QCheckBox *m_chkSedi;
    QComboBox *m_cboAnnoExit;
    QComboBox *m_cboDwgExit;
    QComboBox *m_cboAnnoAlunni;
    QComboBox *m_cboDwgAlunni;
    QPushButton *m_buEsporta;
    QLabel *m_label2;
    QProgressBar *m_progress;
    QProgressBar *m_busy;

    TVxParInteger m_xpiExit;
    TVxParInteger m_xpiAlunni;
    TVxParInteger m_xpiDwgExit;
    TVxParInteger m_xpiDwgAlunni;
    TVxParString m_xpsCartella;

    QString m_workingSession;
    const QString m_extractVersion = QStringLiteral("1.1.0");
    QString m_alunniDir;
    Outcome m_outcome;
    QStringList m_siteList;
    TQelExportLog m_log;
    bool m_shown = false;
    bool m_running = false;
    // The module of the program, or one of the window's own where the program has none.
    std::unique_ptr<TdmExportAlu> m_ownModule;
    TdmExportAlu *m_module = nullptr;
};

// A test follows the files an export writes, each once it is complete.
struct QelExportHooks
{
    std::function<void(const QString &path)> fileWritten;
};
QelExportHooks &qelExportHooks();
