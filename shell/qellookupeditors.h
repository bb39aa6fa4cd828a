#pragma once

#include "platform/childforms.h"
#include "platform/dbgridframes.h"

#include <QString>

class TVxQueryCollection;
class QLabel;

// The six editors of the small evaluation tables (credit bands, commendations, training
// and school credits, debt outcomes and debt types): one child window each, holding a
// browse-and-edit frame over a collection of the connection module.
enum class QelLookupTable { Bande, Encomio, Frm, Sco, DesDed, DtpDtd };

class TfrqelLookup : public TfrVxDBRWGrid
{
    Q_OBJECT
public:
    TfrqelLookup(QelLookupTable table, QWidget *parent = nullptr);
    QelLookupTable table() const { return m_table; }

protected:
    QString CheckBeforePost() const override;

private:
    QLineEdit *addEdit(const QString &name, const QString &label, const QString &field,
                       bool numeric = false);
    void addCheck(const QString &name, const QString &label, const QString &field);
    TVxDBLookupEdit *addLookup(const QString &name, const QString &label, const QString &field,
                               const QString &sql, const QString &key, const QString &list);

    QelLookupTable m_table;
    TVxDBLookupEdit *m_state = nullptr; // the debt editors' "Stato", which the link needs
};

class TfmqelLookupEditor : public TfmVxChildDB
{
    Q_OBJECT
public:
    TfmqelLookupEditor(QelLookupTable table, QWidget *parent = nullptr);
    ~TfmqelLookupEditor() override;

    TfrqelLookup *frame() const { return m_frame; }
    TVxQueryCollection *collection() const { return m_collection; }

protected:
    void FormClose(TCloseAction &action) override;

private:
    // Shows a 0/1 column as "No"/"Sì".
    void showYesNo(const QString &field);

    TfrqelLookup *m_frame;
    TVxQueryCollection *m_collection;
};

// The registered class names of the six editors.
void registerLookupEditors();
