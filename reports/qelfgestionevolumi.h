#pragma once

#include "platform/childforms.h"

#include <memory>

class QPushButton;
class QToolButton;
class TClientDataSet;
class TdmxComm;
class TfrVxDBROGrid;
class TVxClientDataSetModel;

// The register volumes of the register folder: listed with the titles of the catalogue
// "info.xml", previewed from the folder "tmp", deleted, and sent to the maker's web server.
class TfmQelGestioneVolumi : public TfmVxChildDB
{
    Q_OBJECT
public:
    explicit TfmQelGestioneVolumi(QWidget *parent = nullptr);
    ~TfmQelGestioneVolumi() override;

    TClientDataSet &cdsVolumi() const { return *m_volumes; }
    TfrVxDBROGrid *grVolumi() const { return m_grid; }
    QToolButton *buAnteprima() const { return m_preview; }
    QToolButton *buCancella() const { return m_delete; }
    QToolButton *buInvia() const { return m_send; }
    QPushButton *buSvuota() const { return m_empty; }
    TdmxComm *comm() const { return m_comm; }
    QString RegisterFolder() const { return m_folder; }

    // Lists the "*.kaf" files and rewrites the catalogue with those still present when at
    // least one is found. A name not in the wizard's form is listed with the name only.
    void LoadVolumi();
    // Posts the volume to the upload address; true when the server acknowledged it.
    // Transfer failures raise EVxException with the office's prefix.
    bool UploadVolume(const QString &filePath, const QString &url);

protected:
    void FormClose(TCloseAction &action) override;

private:
    // The current volume's file name, or empty after telling the office to choose one.
    QString selectedVolume();
    void preview();
    void deleteSelected();
    void emptyFolder();
    void send();
    void clearPreviewFolder();

    QString m_folder;
    std::unique_ptr<TClientDataSet> m_volumes;
    TVxClientDataSetModel *m_model;
    TfrVxDBROGrid *m_grid;
    QToolButton *m_preview;
    QToolButton *m_delete;
    QToolButton *m_send;
    QPushButton *m_empty;
    TdmxComm *m_comm;
};
