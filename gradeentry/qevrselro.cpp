#include "gradeentry/qevrselro.h"

#include "platform/clientdataset.h"
#include "platform/datasetmodel.h"

#include <QTableView>

namespace {

const TClientDataSet *elenco(const QAbstractItemModel *source)
{
    auto *model = qobject_cast<const TVxClientDataSetModel *>(source);
    const TClientDataSet *ds = model ? model->DataSet() : nullptr;
    return ds && ds->Active() ? ds : nullptr;
}

} // namespace

TfrqevSelRO::TfrqevSelRO(QWidget *parent) : TfrVxDBROGrid(parent)
{
    grGrid()->setSelectionBehavior(QAbstractItemView::SelectRows);
}

void TfrqevSelRO::ImpostaColonneSelRO(const QString &ATipo)
{
    struct Colonna
    {
        const char *set;
        const char *field;
        const char *title;
        int width;
    };
    static const Colonna colonne[] = {
        {"ClsSes", "sClsDesc", "Classe", 400}, {"ClsAlu", "sAnaCognome", "Cognome", 200},
        {"ClsAlu", "sAnaNome", "Nome", 200},   {"ClsMat", "sMatLDesc", "Descrizione", 200},
        {"ClsMat", "sMatSDesc", "Sigla", 150}, {"ClsMat", "sMatCodUser", "Cod. min.", 60},
    };
    TipoColonne = ATipo;
    HideAllColumns();
    for (const Colonna &c : colonne) {
        if (ATipo == QLatin1String(c.set))
            ShowColumn(QString::fromLatin1(c.field), QString::fromUtf8(c.title), c.width);
    }
}

int TfrqevSelRO::Righe() const
{
    const TClientDataSet *ds = elenco(DataSource());
    return ds ? ds->RecordCount() : 0;
}

QVariant TfrqevSelRO::Valore(int row, const char *field) const
{
    const TClientDataSet *ds = elenco(DataSource());
    const TField *f = ds ? ds->FindField(QString::fromLatin1(field)) : nullptr;
    if (!f || row < 0 || row >= ds->RecordCount())
        return QVariant();
    return ds->Value(row, f->Index());
}

QVariant TfrqevSelRO::ValoreCorrente(const char *field) const
{
    return Valore(CurrentSourceRow(), field);
}

bool TfrqevSelRO::Seleziona(const char *field, const QVariant &value)
{
    for (int row = 0; row < Righe(); ++row) {
        if (Valore(row, field).toString() == value.toString()) {
            SetCurrentSourceRow(row);
            return CurrentSourceRow() == row;
        }
    }
    return false;
}
