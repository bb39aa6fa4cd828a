#pragma once

// TfrqevSelRO: the read-only list of the grade-entry selection dialogs, showing one of three
// fixed column sets over its data source: "ClsSes" (classes), "ClsAlu" (pupils), "ClsMat"
// (subjects). Columns exist once the source has its fields: a dialog applies the set again
// after each reload.

#include "platform/dbgridframes.h"

#include <QVariant>

class TfrqevSelRO : public TfrVxDBROGrid
{
    Q_OBJECT
public:
    explicit TfrqevSelRO(QWidget *parent = nullptr);

    // The name of the column set last applied.
    QString TipoColonne;
    // Shows only the set's columns, with their titles and widths; another name shows none.
    void ImpostaColonneSelRO(const QString &ATipo);

    // The rows listed: none while the listed dataset is closed.
    int Righe() const;
    // A field of the current row (of any row) of the listed dataset; null without one.
    QVariant ValoreCorrente(const char *field) const;
    QVariant Valore(int row, const char *field) const;
    // Makes the row whose field holds the value current; false when no row does.
    bool Seleziona(const char *field, const QVariant &value);
};
