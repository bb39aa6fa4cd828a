#pragma once

// TdmqevDataSets (global dmqevDataSets): the shared context of every grade-entry window and
// frame, and of the make-up windows. It holds the open class session (year, session, class),
// the subject filter of the per-subject window, the selected pupil, the per-kind enable flags,
// the captions the windows show and the header lists the frames build their grids from.
//
//   dmqevDataSets->iAnsId = row.iAnsId; dmqevDataSets->iAnsIdSel = row.iAnsId;
//   dmqevDataSets->iAnsSesDwgId = row.iAnsSesDwgId;       // what the selection dialog stores
//   dmqevDataSets->ApriClsSes(row.iClsSesId);              // the class lists are rebuilt
//   dmqevDataSets->iAnaId = ana->iAnaId;
//   dmqevDataSets->SelezionaAlunno(ana->iSitId);           // the pupil's lists are rebuilt
//
// Created when grade entry installs itself (with the command table) and running no query
// then: the connection opens only at the main window's first activation. Every operation
// reads through the shared connection (inside the caller's transaction when one runs) and
// leaves every dataset closed when it returns, also when it fails; database errors raise
// EVxException with the driver's text. It shows no message of its own.

#include "gradeentry/qevrecords.h"
#include "platform/sqlclientdataset.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <array>
#include <map>
#include <utility>

class TdmqevParVis;

// Opens one of the module's datasets for the length of a scope (with the parameters set
// before): whatever happens, it is closed again, as nothing stays open between calls.
class OpenFor
{
public:
    explicit OpenFor(TSQLClientDataSet &dataSet) : m_dataSet(dataSet)
    {
        m_dataSet.Close();
        m_dataSet.Open();
    }
    ~OpenFor() { m_dataSet.Close(); }
    OpenFor(const OpenFor &) = delete;
    OpenFor &operator=(const OpenFor &) = delete;

private:
    TSQLClientDataSet &m_dataSet;
};

// Data kinds with an enable flag on the class session, in the order of iAbilita.
enum TqevAbilita { abVot, abVtp, abTas, abAss, abAiu, abNot, abDeb, abEsi, abCre, abGdz, abComp };

// One line of SetFiltroCaricamento's list: a subject the pupil follows (iClsSesMatId, or iMatId
// for debts) with, for the vote kinds and notes, one of its components (iCmpScaId).
struct TqevVoceFiltro
{
    int iId = 0;
    int iCmpScaId = 0;
    bool operator==(const TqevVoceFiltro &) const = default;
};
using TqevListaFiltro = QList<TqevVoceFiltro>;
bool ContieneMateria(const TqevListaFiltro &list, int iId);
bool ContieneCoppia(const TqevListaFiltro &list, int iId, int iCmpScaId);

class TdmqevDataSets : public QObject
{
    Q_OBJECT
public:
    // Creates the display-parameter module (dmqevParVis) with itself as owner.
    explicit TdmqevDataSets(QObject *owner = nullptr);
    ~TdmqevDataSets() override;

    // Opens the class session iClsSesId of the year-session iAnsSesDwgId (the working session
    // when none is set); 0 opens the first of the year-session's list. Copies its keys and
    // flags, builds sDesClsSes (or, with a subject filter iClsSesMatId, sDesClsSesMat) and the
    // class lists: slMaterie, slMatVot/slCmpVot, slMatTas/slCmpTas, slMatCls, slAlunni.
    // Raises EVxException when the year-session has no class session or not that one.
    void ApriClsSes(int iClsSesId);
    // The subjects (iClsSesMatId) of the open class session's class in its year-session, in the
    // order of the subject selection dialog (scdClsMat_Sel).
    QList<int> MaterieClsSes();
    // Makes a pupil situation of the open class session the selected pupil (iAnaId is set by
    // the caller first): sDesAlunno, sNomeAlunno and the pupil's lists slMatAluVot/slCmpAluVot,
    // slMatAluTas/slCmpAluTas, slMatAlu. Raises EVxException when the pupil is not in the class
    // list, leaving the previous pupil selected.
    void SelezionaAlunno(int iSitId);
    // slMatAlu: the subjects of iAnaId in the year, by iMatId (non-taxonomy rows).
    void ApriMaterieAlunno(int iAnsId);
    // One field of a school year's row (dAnsVextoInizio, dAnsVextoFine: the dStart and dEnd
    // of every new evaluation row); invalid when the year has no row.
    QVariant GetAnnoScolField(int iAnsId, const QString &FieldName);
    // Whether the subject counts in the average on the plan of studies.
    bool IsMatInMedia(int iMatRmaId, int iPstId);
    // The pupil's subjects in a year (PerMateria: by iMatId, of the filtered subject or of the
    // whole year; otherwise every (iClsSesMatId, iCmpScaId) of the open class session). The
    // subjects of a pupil of the open class in its year come from one read of the whole class,
    // made once per class session (every frame of every window asks for each pupil); other
    // pupils and years are read by pupil, once too.
    void SetFiltroCaricamento(int iAnaId, int iAnsId, TqevListaFiltro &List, bool PerMateria);
    // Turns the proposed votes of the open class session into votes, replacing the vote of
    // each (component, pupil) that has a proposal: Modo 0 the whole class session, 1 the
    // selected pupil (iSitId), 2 the filtered subject (iClsSesMatId); any other Modo, or no
    // pupil or subject chosen, copies nothing. New votes take a new key, the current time as
    // insert date and the school year's first and last day. Each pupil's replacements run in
    // one transaction: a failure rolls that pupil back whole (his old votes stay) and raises
    // EVxException; the pupils before him stay done.
    void PassaVotiProposti(int Modo);

    // Context
    int iClsSesId = 0;
    QString sDesClsSes;    // "Anno: ...  Sessione: ...  Classe: ..."
    QString sDesClsSesMat; // the same, then "  Materia: ..." of the subject filter
    QString sDesAlunno;    // the class-session caption, then " Alunno: surname name"
    int iSitId = 0;
    int iAnsId = 0; // school year of the open class session
    int iClsId = 0;
    int iAnaId = 0;       // the selected pupil's person, set by the windows
    int iAnsSesDwgId = 0; // year-session of the open class session
    int iClsSesMatId = 0; // subject filter of the per-subject window; 0 = whole class
    int iAcsId = 0;
    int iAcsAnnoCorso = 0;
    int iSfiId = 0;
    int iTbnId = 0;    // the class session's credit-band table; 0 = none, no credits entered
    int iAnsIdSel = 0; // the school year shown (the debts grid may show an earlier one)
    int iPstIdSel = 0; // plan of studies of the selected pupil
    std::array<int, 11> iAbilita{}; // by TqevAbilita: 1 = the kind is enabled
    QString sNomeAlunno;

    // Header lists: item 0 is an empty placeholder, so that item i is grid column or row i;
    // slAlunni holds the pupils from item 0.
    TqevStringList slMaterie; // sMatCodUser / TRecMat, one per iClsSesMatId
    TqevStringList slMatVot;  // parallel with slCmpVot: one per (subject, vote component)
    TqevStringList slCmpVot;  // sCmpSDesc / TRecCmp
    TqevStringList slMatTas;  // the same for taxonomy components
    TqevStringList slCmpTas;
    TqevStringList slAlunni;    // "07) Surname Name" / TRecAna
    TqevStringList slMatCls;    // the class's subjects over all its sessions, TRecMat by iMatId
    TqevStringList slMatAluVot; // the pupil's subjects (sMatLDesc) and vote components
    TqevStringList slCmpAluVot;
    TqevStringList slMatAluTas; // the same for taxonomy components
    TqevStringList slCmpAluTas;
    TqevStringList slMatAlu; // the pupil's subjects in a year, TRecMat by iMatId

    // The datasets behind the lists. A window may open one (the selection dialogs list
    // scdClsSes; the pupil window steps through scdClsAlu) and must close it again before its
    // handler returns: nothing is kept open between calls.
    TSQLClientDataSet scdAns;
    TSQLClientDataSet scdClsSes;
    TSQLClientDataSet scdClsMat_Sel;
    TSQLClientDataSet scdClsAlu;
    TSQLClientDataSet scdAluMat;
    TSQLClientDataSet scdClsAluMat; // scdAluMat of every pupil of a class (iClsId, iAnsId)
    TSQLClientDataSet scdMatRmaPst;
    TSQLClientDataSet scdClsMat_Car;

    TdmqevParVis *ParVis() const { return m_parVis; }

private:
    // A (subject, component) of a pupil in a year: a row of scdAluMat.
    struct RigaMateria
    {
        int iClsSesId = 0;
        int iClsSesMatId = 0;
        int iMatId = 0;
        bool bTassonomia = false;
        std::shared_ptr<TRecMat> mat; // by iClsSesMatId
        std::shared_ptr<TRecCmp> cmp;
    };

    void ApriDataSets();
    void LoadTabFlags();
    void caricaMaterieClasse();
    void caricaAlunni();
    // The rows of a pupil in a year, read once per class session (below SetFiltroCaricamento).
    const QList<RigaMateria> &righeAlunno(int aAnaId, int aAnsId);
    static void leggiRighe(TSQLClientDataSet &dataSet,
                           std::map<std::pair<int, int>, QList<RigaMateria>> &righe);

    QString m_caption; // the open class session's caption, whatever the subject filter
    std::map<std::pair<int, int>, QList<RigaMateria>> m_righe; // by (iAnaId, iAnsId)
    bool m_classeLetta = false;
    std::map<std::pair<int, int>, bool> m_inMedia;
    TdmqevParVis *m_parVis = nullptr;
};

extern TdmqevDataSets *dmqevDataSets;
