#include "gradeentry/qevdatasets.h"

#include "gradeentry/qevletture.h"
#include "gradeentry/qevparvis.h"
#include "platform/vxexception.h"

TdmqevDataSets *dmqevDataSets = nullptr;

namespace {

const char kAns[] =
    "SELECT Ans.iAnsId, CAST(Ans.iAnsValore AS CHAR(4)) || '/' || "
    "CAST(Ans.iAnsValore + 1 AS CHAR(4)) AS sAnnoScol, Ans.dAnsVextoInizio, Ans.dAnsVextoFine "
    "FROM TAns_AnniScolast Ans WHERE (Ans.iAnsId = :iAnsId) OR (1 = :All) "
    "ORDER BY Ans.iAnsValore";

const char kClsSes[] =
    "SELECT ClsSes.iClsSesId, ClsSes.iAnsSesDwgId, ClsSes.iClsId, Cls.sClsDesc, Ses.iSesId, "
    "Ses.sSesDesc, Ses.sSesNote, Sfi.iSfiId, Sfi.sSfiLDesc, Sfi.sSfiSDesc, Asd.iAnsId, "
    "CAST(EXTRACT(YEAR FROM ClsSes.dStart) AS CHAR(4)) || '/' || "
    "CAST(EXTRACT(YEAR FROM ClsSes.dEnd) AS CHAR(4)) AS sAnnoScol, "
    "Acs.iAcsId, Acs.iAcsAnnoCorso, ClsSes.iClsSesVot, ClsSes.iClsSesVtp, ClsSes.iClsSesTas, "
    "ClsSes.iClsSesAss, ClsSes.iClsSesAiu, ClsSes.iClsSesNot, ClsSes.iClsSesDeb, "
    "ClsSes.iClsSesEsi, ClsSes.iClsSesCre, ClsSes.iClsSesGdz, ClsSes.iClsSesComp, ClsSes.iTbnId "
    "FROM TClsSes ClsSes "
    "INNER JOIN TAnsSesDwg Asd ON (Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
    "INNER JOIN TSes_Sessione Ses ON (Ses.iSesId = Asd.iSesId) "
    "INNER JOIN TSfi_SessFinale Sfi ON (Sfi.iSfiId = Asd.iSfiId) "
    "LEFT JOIN VCls_Classi Cls ON (Cls.iClsId = ClsSes.iClsId) "
    "LEFT JOIN TAcs_AnniCorso Acs ON (Acs.iAcsId = Cls.iAcsId) "
    "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
    "ORDER BY Cls.iClsOrdine, ClsSes.iClsSesId";

// A subject taught under both plans of a class is one subject: its first place in either plan.
const char kClsMatSel[] =
    "SELECT Csm.iClsSesMatId, Mat.sMatLDesc, Mat.sMatSDesc, Mat.sMatCodUser, Mat.sMatCodMin, "
    "ClsSes.iClsId, MIN(MrmPst.iMatRmaPstOrdine) AS iMatRmaPstOrdine "
    "FROM TClsSesMat Csm "
    "INNER JOIN TMatRma Mrm ON (Mrm.iMatRmaId = Csm.iMatRmaId) "
    "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Mrm.iMatId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsId = ClsSes.iClsId) "
    "INNER JOIN TMatRmaPst MrmPst ON (MrmPst.iMatRmaId = Mrm.iMatRmaId "
    "AND MrmPst.iPstId = ClsPst.iPstId) "
    "WHERE ClsSes.iClsId = :iClsId AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
    "GROUP BY Csm.iClsSesMatId, Mat.sMatLDesc, Mat.sMatSDesc, Mat.sMatCodUser, "
    "Mat.sMatCodMin, ClsSes.iClsId "
    "ORDER BY 7";

const char kClsAlu[] =
    "SELECT Sit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, Ana.iAnaId, Sit.iSitId, "
    "ClsPst.iPstId, ClsPst.iClsId, Sex.sSexSDesc "
    "FROM TSit_Situazioni Sit "
    "INNER JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = Sit.iAnaId) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "LEFT JOIN TSex_Sesso Sex ON (Sex.iSexId = Ana.iSexId) "
    "WHERE ClsPst.iClsId = :iClsId AND Sit.iSitOrdine = 1 AND (Sit.iSitPosReg > 0) "
    "ORDER BY Sit.iSitPosReg, Ana.sAnaCognomeNomeIdx";

// The subject and component columns shared by the pupil's and the class's lists.
const char kMatCmpColumns[] =
    "Csm.iClsSesMatId, Mat.iMatId, Mat.sMatLDesc, Mat.sMatSDesc, Mat.sMatCodUser, "
    "CmpSca.iCmpScaId, CmpSca.iScaId, CmpSca.iCmpScaTass, CmpSca.iCmpScaInMedia, "
    "Cmp.sCmpLDesc, Cmp.sCmpSDesc, Sca.sScaDesc, ClsSes.iClsSesId, ClsSes.iClsId, "
    "Mrm.iMatRmaId, MrmPst.iMatRmaPstInMedia AS iMatInMedia, CmpSca.iCmpScaOrdine, "
    "Cmc.iClsMatCmpId, MrmPst.iMatRmaPstOrdine, ClsPst.iPstId ";

const char kMatCmpJoins[] = "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesId = ClsSes.iClsSesId) "
                            "INNER JOIN TMatRma Mrm ON (Mrm.iMatRmaId = Csm.iMatRmaId) "
                            "INNER JOIN TMatRmaPst MrmPst ON (MrmPst.iMatRmaId = Mrm.iMatRmaId "
                            "AND MrmPst.iPstId = ClsPst.iPstId) "
                            "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Mrm.iMatId) "
                            "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsSesMatId = Csm.iClsSesMatId) "
                            "INNER JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "
                            "INNER JOIN TCmp_Componenti Cmp ON (Cmp.iCmpId = CmpSca.iCmpId) "
                            "INNER JOIN TSca_Scale Sca ON (Sca.iScaId = CmpSca.iScaId) ";

// The pupil's situations of the year are those starting on the year's first day.
const char kAluMatColumns[] = ", Sit.iSitId, Sit.iAnaId, Ans.iAnsId ";
const char kAluMatSituazioni[] =
    "INNER JOIN TAns_AnniScolast Ans ON (Sit.dStart = Ans.dAnsVextoInizio) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsId = ClsPst.iClsId) ";
// The last two keys only settle ties, so that a pupil's rows come in one order whichever of
// the two reads gives them.
const char kAluMatOrder[] = "ClsPst.iPstId, MrmPst.iMatRmaPstOrdine, CmpSca.iScaId, "
                            "CmpSca.iCmpScaOrdine, Csm.iClsSesMatId, CmpSca.iCmpScaId";

const char kClsMatCarFrom[] = ", Asd.iAnsId, ClsSes.iAnsSesDwgId "
                              "FROM TClsSes ClsSes "
                              "INNER JOIN TAnsSesDwg Asd ON "
                              "(Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
                              "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsId = ClsSes.iClsId) ";
// A year-session 0 takes every session of the class.
const char kClsMatCarClass[] =
    "WHERE (ClsSes.iClsId = :iClsId) AND "
    "(ClsSes.iAnsSesDwgId = :iAnsSesDwgId OR 0 = :iAnsSesDwgId) "
    "ORDER BY MrmPst.iMatRmaPstOrdine, Mat.iMatId, Mat.sMatLDesc, CmpSca.iScaId, "
    "CmpSca.iCmpScaOrdine";
const char kClsMatCarSubject[] = "WHERE Csm.iClsSesMatId = :iClsSesMatId "
                                 "ORDER BY ClsPst.iPstId, MrmPst.iMatRmaPstOrdine, "
                                 "CmpSca.iScaId, CmpSca.iCmpScaOrdine";

const char kMatRmaPst[] =
    "SELECT MrmPst.iMatRmaPstInMedia, MrmPst.iMatRmaId, MrmPst.iPstId FROM TMatRmaPst MrmPst "
    "WHERE MrmPst.iMatRmaId = :iMatRmaId AND MrmPst.iPstId = :iPstId";

// Every (subject, component) of one pupil (:iAnaId), or of every pupil of a class (:iClsId),
// in a school year.
QString aluMatSql(bool classe)
{
    const TqevSituazioni sit = SituazioniAlunni(QStringLiteral("Sit"), classe);
    return QStringLiteral("SELECT ") + QString::fromLatin1(kMatCmpColumns) +
           QString::fromLatin1(kAluMatColumns) + QStringLiteral("FROM ") + sit.from +
           QString::fromLatin1(kAluMatSituazioni) + QString::fromLatin1(kMatCmpJoins) +
           QStringLiteral("WHERE Ans.iAnsId = :iAnsId AND ") + sit.condizione +
           QStringLiteral(" ORDER BY Sit.iAnaId, ") + QString::fromLatin1(kAluMatOrder);
}

QString clsMatCarSql(bool oneSubject)
{
    return QStringLiteral("SELECT ") + QString::fromLatin1(kMatCmpColumns) +
           QString::fromLatin1(kClsMatCarFrom) + QString::fromLatin1(kMatCmpJoins) +
           QString::fromLatin1(oneSubject ? kClsMatCarSubject : kClsMatCarClass);
}

int intOf(const TClientDataSet &ds, const char *name)
{
    return ds.FieldByName(QString::fromLatin1(name))->AsInteger();
}

QString textOf(const TClientDataSet &ds, const char *name)
{
    return ds.FieldByName(QString::fromLatin1(name))->AsString().trimmed();
}

bool isNull(const TClientDataSet &ds, const char *name)
{
    return ds.FieldByName(QString::fromLatin1(name))->IsNull();
}

std::shared_ptr<TRecMat> matOf(const TClientDataSet &ds, bool keyedBySubject)
{
    auto mat = std::make_shared<TRecMat>();
    mat->iClsSesMatId = intOf(ds, keyedBySubject ? "iMatId" : "iClsSesMatId");
    mat->sMatSDesc = textOf(ds, "sMatSDesc");
    mat->sMatLDesc = textOf(ds, "sMatLDesc");
    mat->sMatCodUser = textOf(ds, "sMatCodUser");
    mat->iMatRmaId = intOf(ds, "iMatRmaId");
    mat->bMatInMedia = intOf(ds, "iMatInMedia") != 0;
    return mat;
}

std::shared_ptr<TRecCmp> cmpOf(const TClientDataSet &ds)
{
    auto cmp = std::make_shared<TRecCmp>();
    cmp->iCmpScaId = intOf(ds, "iCmpScaId");
    cmp->iScaId = intOf(ds, "iScaId");
    cmp->sCmpSDesc = textOf(ds, "sCmpSDesc");
    cmp->sCmpLDesc = textOf(ds, "sCmpLDesc");
    cmp->sScaDesc = textOf(ds, "sScaDesc");
    cmp->bCmpScaInMedia = intOf(ds, "iCmpScaInMedia") == 1;
    return cmp;
}

// Item 0 of a header list is an empty placeholder: list index i is grid column or row i.
void restart(TqevStringList &list)
{
    list.Clear();
    list.Add(QString());
}

bool isTaxonomy(const TClientDataSet &ds)
{
    return intOf(ds, "iCmpScaTass") != 0;
}

// Appends the pair to the parallel lists unless it is there already.
void addPair(TqevStringList &mats, TqevStringList &cmps, const QString &matText,
             const std::shared_ptr<TRecMat> &mat, const QString &cmpText,
             const std::shared_ptr<TRecCmp> &cmp)
{
    if (CercaCoppia(mats, cmps, mat->iClsSesMatId, cmp->iCmpScaId))
        return;
    mats.Add(matText, mat);
    cmps.Add(cmpText, cmp);
}

QString captionOf(const QString &sAnnoScol, const QString &sSesDesc, const QString &sClsDesc)
{
    return QStringLiteral("Anno: ") + sAnnoScol + QStringLiteral("  ") +
           QStringLiteral("Sessione: ") + sSesDesc + QStringLiteral("  ") +
           QStringLiteral("Classe: ") + sClsDesc;
}

} // namespace

bool ContieneMateria(const TqevListaFiltro &list, int iId)
{
    return std::any_of(list.begin(), list.end(),
                       [iId](const TqevVoceFiltro &v) { return v.iId == iId; });
}

bool ContieneCoppia(const TqevListaFiltro &list, int iId, int iCmpScaId)
{
    return list.contains(TqevVoceFiltro{iId, iCmpScaId});
}

TdmqevDataSets::TdmqevDataSets(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("dmqevDataSets"));
    m_parVis = new TdmqevParVis(this);
    dmqevParVis = m_parVis;
    ApriDataSets();
}

TdmqevDataSets::~TdmqevDataSets()
{
    if (dmqevDataSets == this)
        dmqevDataSets = nullptr;
}

void TdmqevDataSets::ApriDataSets()
{
    scdAns.setCommandText(QString::fromLatin1(kAns));
    scdAns.Params().setValue(QStringLiteral("All"), 0);
    scdClsSes.setCommandText(QString::fromLatin1(kClsSes));
    scdClsMat_Sel.setCommandText(QString::fromLatin1(kClsMatSel));
    scdClsAlu.setCommandText(QString::fromLatin1(kClsAlu));
    scdAluMat.setCommandText(aluMatSql(false));
    scdClsAluMat.setCommandText(aluMatSql(true));
    scdMatRmaPst.setCommandText(QString::fromLatin1(kMatRmaPst));
    scdClsMat_Car.setCommandText(clsMatCarSql(false));
}

void TdmqevDataSets::LoadTabFlags()
{
    static const char *const flags[] = {"iClsSesVot", "iClsSesVtp", "iClsSesTas", "iClsSesAss",
                                        "iClsSesAiu", "iClsSesNot", "iClsSesDeb", "iClsSesEsi",
                                        "iClsSesCre", "iClsSesGdz", "iClsSesComp"};
    for (size_t i = 0; i < iAbilita.size(); ++i)
        iAbilita[i] = intOf(scdClsSes, flags[i]);
}

void TdmqevDataSets::ApriClsSes(int aClsSesId)
{
    m_righe.clear();
    m_classeLetta = false;
    m_inMedia.clear();
    {
        scdClsSes.Params().setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
        OpenFor open(scdClsSes);
        // Taking another class than the one asked for would show its pupils under the
        // caller's choice. An empty list opens nothing: every key becomes 0.
        if (aClsSesId != 0 && !scdClsSes.IsEmpty() &&
            !scdClsSes.Locate(QStringLiteral("iClsSesId"), aClsSesId))
            throw EVxException(
                QStringLiteral("La classe richiesta non appartiene alla sessione scelta."));
        iClsSesId = intOf(scdClsSes, "iClsSesId");
        iClsId = intOf(scdClsSes, "iClsId");
        iAnsSesDwgId = intOf(scdClsSes, "iAnsSesDwgId");
        iAnsId = intOf(scdClsSes, "iAnsId");
        iAcsId = intOf(scdClsSes, "iAcsId");
        iAcsAnnoCorso = intOf(scdClsSes, "iAcsAnnoCorso");
        iSfiId = intOf(scdClsSes, "iSfiId");
        iTbnId = intOf(scdClsSes, "iTbnId");
        LoadTabFlags();
        m_caption = captionOf(textOf(scdClsSes, "sAnnoScol"), textOf(scdClsSes, "sSesDesc"),
                              textOf(scdClsSes, "sClsDesc"));
        const QString &caption = m_caption;
        if (iClsSesMatId == 0) {
            sDesClsSes = caption;
        } else {
            QString sMatFiltro;
            scdClsMat_Sel.Params().setValue(QStringLiteral("iClsId"), iClsId);
            scdClsMat_Sel.Params().setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
            OpenFor openMat(scdClsMat_Sel);
            if (scdClsMat_Sel.Locate(QStringLiteral("iClsSesMatId"), iClsSesMatId))
                sMatFiltro = textOf(scdClsMat_Sel, "sMatLDesc");
            sDesClsSesMat =
                caption + QStringLiteral("  ") + QStringLiteral("Materia: ") + sMatFiltro;
        }
    }
    caricaMaterieClasse();
    caricaAlunni();
}

QList<int> TdmqevDataSets::MaterieClsSes()
{
    scdClsMat_Sel.Params().setValue(QStringLiteral("iClsId"), iClsId);
    scdClsMat_Sel.Params().setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    OpenFor open(scdClsMat_Sel);
    QList<int> materie;
    for (; !scdClsMat_Sel.Eof(); scdClsMat_Sel.Next())
        materie.append(intOf(scdClsMat_Sel, "iClsSesMatId"));
    return materie;
}

void TdmqevDataSets::caricaMaterieClasse()
{
    for (TqevStringList *list : {&slMaterie, &slMatVot, &slMatTas, &slCmpVot, &slCmpTas, &slMatCls})
        restart(*list);

    const bool oneSubject = iClsSesMatId != 0;
    scdClsMat_Car.setCommandText(clsMatCarSql(oneSubject));
    TVxFieldValues &params = scdClsMat_Car.Params();
    params = TVxFieldValues();
    if (oneSubject) {
        params.setValue(QStringLiteral("iClsSesMatId"), iClsSesMatId);
    } else {
        params.setValue(QStringLiteral("iClsId"), iClsId);
        params.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    }
    {
        OpenFor open(scdClsMat_Car);
        for (; !scdClsMat_Car.Eof(); scdClsMat_Car.Next()) {
            if (isNull(scdClsMat_Car, "iMatRmaPstOrdine"))
                continue;
            std::shared_ptr<TRecMat> mat = matOf(scdClsMat_Car, false);
            std::shared_ptr<TRecCmp> cmp = cmpOf(scdClsMat_Car);
            if (isTaxonomy(scdClsMat_Car))
                addPair(slMatTas, slCmpTas, mat->sMatCodUser, mat, cmp->sCmpSDesc, cmp);
            else
                addPair(slMatVot, slCmpVot, mat->sMatCodUser, mat, cmp->sCmpSDesc, cmp);
            if (!CercaId(slMaterie, mat->iClsSesMatId))
                slMaterie.Add(mat->sMatCodUser, mat);
            // What IsMatInMedia would read for the subject on the row's plan.
            m_inMedia.try_emplace({mat->iMatRmaId, intOf(scdClsMat_Car, "iPstId")},
                                  mat->bMatInMedia);
        }
    }
    // The class's subjects over all its sessions, keyed by subject.
    if (!oneSubject)
        params.setValue(QStringLiteral("iAnsSesDwgId"), 0);
    OpenFor open(scdClsMat_Car);
    for (; !scdClsMat_Car.Eof(); scdClsMat_Car.Next()) {
        if (isTaxonomy(scdClsMat_Car) || isNull(scdClsMat_Car, "iMatRmaPstOrdine"))
            continue;
        std::shared_ptr<TRecMat> mat = matOf(scdClsMat_Car, true);
        if (!CercaId(slMatCls, mat->iClsSesMatId))
            slMatCls.Add(mat->sMatCodUser, mat);
    }
}

void TdmqevDataSets::caricaAlunni()
{
    // Read afresh for every class: a list left open by an earlier call belongs to another
    // class.
    slAlunni.Clear();
    scdClsAlu.Params().setValue(QStringLiteral("iClsId"), iClsId);
    OpenFor open(scdClsAlu);
    for (; !scdClsAlu.Eof(); scdClsAlu.Next()) {
        auto ana = std::make_shared<TRecAna>();
        const QString reg = QStringLiteral("00") + QString::number(intOf(scdClsAlu, "iSitPosReg"));
        ana->sPosReg = reg.right(2);
        ana->sAnaCognome = textOf(scdClsAlu, "sAnaCognome");
        ana->sAnaNome = textOf(scdClsAlu, "sAnaNome");
        ana->iAnaId = intOf(scdClsAlu, "iAnaId");
        ana->iSitId = intOf(scdClsAlu, "iSitId");
        ana->iPstId = intOf(scdClsAlu, "iPstId");
        slAlunni.Add(ana->sPosReg + QStringLiteral(") ") + ana->sAnaCognome + QStringLiteral(" ") +
                         ana->sAnaNome,
                     ana);
    }
}

void TdmqevDataSets::SelezionaAlunno(int aSitId)
{
    // The class list the window shows names the pupil: it was read with the class session.
    std::shared_ptr<TRecAna> ana;
    for (int i = 0; i < slAlunni.Count() && !ana; ++i) {
        auto a = slAlunni.ObjectAs<TRecAna>(i);
        if (a && a->iSitId == aSitId)
            ana = a;
    }
    if (!ana)
        throw EVxException(QStringLiteral("L'alunno scelto non è nell'elenco della classe."));
    const QList<RigaMateria> &righe = righeAlunno(iAnaId, iAnsId);
    iSitId = aSitId;
    sNomeAlunno = ana->sAnaCognome + QStringLiteral(" ") + ana->sAnaNome;
    sDesAlunno = m_caption + QStringLiteral(" ") + QStringLiteral("Alunno: ") + sNomeAlunno;

    for (TqevStringList *list : {&slMatAluVot, &slMatAluTas, &slCmpAluVot, &slCmpAluTas})
        restart(*list);
    for (const RigaMateria &riga : righe) {
        if (riga.iClsSesId != iClsSesId)
            continue;
        TqevStringList &mats = riga.bTassonomia ? slMatAluTas : slMatAluVot;
        TqevStringList &cmps = riga.bTassonomia ? slCmpAluTas : slCmpAluVot;
        if (!CercaId(mats, riga.mat->iClsSesMatId))
            mats.Add(riga.mat->sMatLDesc, std::make_shared<TRecMat>(*riga.mat));
        if (!CercaIdCmp(cmps, riga.cmp->iCmpScaId))
            cmps.Add(riga.cmp->sCmpLDesc, std::make_shared<TRecCmp>(*riga.cmp));
    }
    ApriMaterieAlunno(iAnsId);
}

void TdmqevDataSets::ApriMaterieAlunno(int aAnsId)
{
    restart(slMatAlu);
    for (const RigaMateria &riga : righeAlunno(iAnaId, aAnsId)) {
        if (riga.bTassonomia || CercaId(slMatAlu, riga.iMatId))
            continue;
        // The list holds the subject's iMatId in the record's first field.
        auto mat = std::make_shared<TRecMat>(*riga.mat);
        mat->iClsSesMatId = riga.iMatId;
        slMatAlu.Add(mat->sMatLDesc, mat);
    }
}

QVariant TdmqevDataSets::GetAnnoScolField(int aAnsId, const QString &FieldName)
{
    scdAns.Params().setValue(QStringLiteral("iAnsId"), aAnsId);
    OpenFor open(scdAns);
    if (scdAns.IsEmpty())
        return QVariant();
    return scdAns.FieldByName(FieldName)->Value();
}

bool TdmqevDataSets::IsMatInMedia(int iMatRmaId, int iPstId)
{
    // Asked for every vote cell when a row's average is counted; a plan's subjects do not
    // change while a class session is open (the answers are forgotten at the next opening).
    const auto key = std::make_pair(iMatRmaId, iPstId);
    if (auto it = m_inMedia.find(key); it != m_inMedia.end())
        return it->second;
    scdMatRmaPst.Params().setValue(QStringLiteral("iMatRmaId"), iMatRmaId);
    scdMatRmaPst.Params().setValue(QStringLiteral("iPstId"), iPstId);
    OpenFor open(scdMatRmaPst);
    const bool inMedia = !scdMatRmaPst.IsEmpty() && intOf(scdMatRmaPst, "iMatRmaPstInMedia") != 0;
    m_inMedia[key] = inMedia;
    return inMedia;
}

void TdmqevDataSets::leggiRighe(TSQLClientDataSet &dataSet,
                                std::map<std::pair<int, int>, QList<RigaMateria>> &righe)
{
    OpenFor open(dataSet);
    for (; !dataSet.Eof(); dataSet.Next()) {
        RigaMateria riga;
        riga.iClsSesId = intOf(dataSet, "iClsSesId");
        riga.iClsSesMatId = intOf(dataSet, "iClsSesMatId");
        riga.iMatId = intOf(dataSet, "iMatId");
        riga.bTassonomia = isTaxonomy(dataSet);
        riga.mat = matOf(dataSet, false);
        riga.cmp = cmpOf(dataSet);
        righe[{intOf(dataSet, "iAnaId"), intOf(dataSet, "iAnsId")}].append(riga);
    }
}

const QList<TdmqevDataSets::RigaMateria> &TdmqevDataSets::righeAlunno(int aAnaId, int aAnsId)
{
    const std::pair<int, int> key{aAnaId, aAnsId};
    if (auto found = m_righe.find(key); found != m_righe.end())
        return found->second;
    // A pupil of the open class in its year: every frame of the class's windows asks for each
    // pupil, so the whole class is read at once, its pupils without a row noted too. What a
    // failed read leaves is not kept: the next call reads again.
    bool inClasse = false;
    for (int i = 0; i < slAlunni.Count() && !inClasse; ++i) {
        auto ana = slAlunni.ObjectAs<TRecAna>(i);
        inClasse = ana && ana->iAnaId == aAnaId;
    }
    std::map<std::pair<int, int>, QList<RigaMateria>> lette{{key, {}}};
    if (inClasse && aAnsId == iAnsId && !m_classeLetta) {
        for (int i = 0; i < slAlunni.Count(); ++i) {
            if (auto ana = slAlunni.ObjectAs<TRecAna>(i))
                lette[{ana->iAnaId, iAnsId}];
        }
        scdClsAluMat.Params().setValue(QStringLiteral("iClsId"), iClsId);
        scdClsAluMat.Params().setValue(QStringLiteral("iAnsId"), iAnsId);
        leggiRighe(scdClsAluMat, lette);
        m_classeLetta = true;
    } else {
        scdAluMat.Params().setValue(QStringLiteral("iAnaId"), aAnaId);
        scdAluMat.Params().setValue(QStringLiteral("iAnsId"), aAnsId);
        leggiRighe(scdAluMat, lette);
    }
    m_righe.merge(lette);
    return m_righe[key];
}

void TdmqevDataSets::SetFiltroCaricamento(int aAnaId, int aAnsId, TqevListaFiltro &List,
                                          bool PerMateria)
{
    const bool bySubject = PerMateria && iClsSesMatId != 0;
    TqevListaFiltro lines;
    for (const RigaMateria &riga : righeAlunno(aAnaId, aAnsId)) {
        if (bySubject && riga.iClsSesMatId != iClsSesMatId)
            continue;
        if (!PerMateria && riga.iClsSesId != iClsSesId)
            continue;
        if (!PerMateria)
            lines.append({riga.iClsSesMatId, riga.cmp->iCmpScaId});
        else if (!ContieneMateria(lines, riga.iMatId))
            lines.append({riga.iMatId, 0});
    }
    List = lines;
}
