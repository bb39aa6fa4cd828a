#pragma once

#include "exchange/qelfricec.h"
#include "exchange/qelfsendc.h"

#include <memory>

class TdmqelExportPst;

// "Invio" by study plan: each chosen class of the working session goes out as one sub-folder
// per plan of the class under base folder + class folder, each written by the class export
// restricted to that plan. The class's and the plan's names are made safe as folder names.
class TfmqelSendCPst : public TfmqelSendC
{
    Q_OBJECT
public:
    explicit TfmqelSendCPst(QWidget *parent = nullptr);

protected:
    void Send() override;
};

// "Raccolta" by study plan: the class on the grid's current row is collected from the plan
// sub-folders of the class folder in "Percorso classe:" (TdmqelExportPst). It ends with no
// closing message; the rows not written are shown.
class TfmqelRiceCPst : public TfmqelRiceC
{
    Q_OBJECT
public:
    explicit TfmqelRiceCPst(QWidget *parent = nullptr);
    ~TfmqelRiceCPst() override;

    TdmqelExportPst &importer() const { return *m_importer; }

protected:
    void Collect() override;

private:
    std::unique_ptr<TdmqelExportPst> m_importer;
};

void registerPlanFolderForms();
