#include "gradeentry/qevrselro.h"

#include <QTableView>

TfrqevSelRO::TfrqevSelRO(QWidget *parent) : TfrVxDBROGrid(parent) {}

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
