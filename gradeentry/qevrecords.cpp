#include "gradeentry/qevrecords.h"

void InitCellaVoto(TRecVal &rec, bool bBloccato)
{
    rec = TRecVal();
    rec.bBloccato = bBloccato;
}

void InitCellaNota(TRecNot &rec, bool bBloccato)
{
    rec = TRecNot();
    rec.bBloccato = bBloccato;
}

void InitCellaDebito(TRecDeb &rec, bool bBloccato)
{
    rec = TRecDeb();
    rec.bBloccato = bBloccato;
}

void InitRigaCredito(TRecCre &rec)
{
    // The year and the band type belong to the row's place in the grid, set by the frame.
    const int iAnsId = rec.iAnsId;
    const int iTbnId = rec.iTbnId;
    rec = TRecCre();
    rec.iAnsId = iAnsId;
    rec.iTbnId = iTbnId;
}

void InitCellaGiudizio(TRecGdz &rec)
{
    rec = TRecGdz();
}

void TqevStringList::Add(const QString &text, std::shared_ptr<TVxGridObject> object)
{
    m_items.push_back({text, std::move(object)});
}

QString TqevStringList::Strings(int index) const
{
    return index >= 0 && index < Count() ? m_items[size_t(index)].text : QString();
}

std::shared_ptr<TVxGridObject> TqevStringList::Objects(int index) const
{
    return index >= 0 && index < Count() ? m_items[size_t(index)].object : nullptr;
}

int TqevStringList::IndexOf(const QString &text) const
{
    for (int i = 0; i < Count(); ++i) {
        if (m_items[size_t(i)].text == text)
            return i;
    }
    return -1;
}

bool CercaId(const TqevStringList &list, int id)
{
    for (int i = 0; i < list.Count(); ++i) {
        if (auto mat = list.ObjectAs<TRecMat>(i); mat && mat->iClsSesMatId == id)
            return true;
    }
    return false;
}

bool CercaIdCmp(const TqevStringList &list, int id)
{
    for (int i = 0; i < list.Count(); ++i) {
        if (auto cmp = list.ObjectAs<TRecCmp>(i); cmp && cmp->iCmpScaId == id)
            return true;
    }
    return false;
}

bool CercaCoppia(const TqevStringList &listMat, const TqevStringList &listCmp, int idMat, int idCmp)
{
    const int count = std::min(listMat.Count(), listCmp.Count());
    for (int i = 0; i < count; ++i) {
        auto mat = listMat.ObjectAs<TRecMat>(i);
        auto cmp = listCmp.ObjectAs<TRecCmp>(i);
        if (mat && cmp && mat->iClsSesMatId == idMat && cmp->iCmpScaId == idCmp)
            return true;
    }
    return false;
}
