#pragma once

// The records that hang on the cells of the grade grids (TqelStringGrid) and in the header
// lists of the grade data module. A record is shared: the class window's grid, a pupil
// window's grid and the header lists may hold the same one; it lives as long as its last
// holder. Frames allocate them with std::make_shared and call the kind's initialiser.
//
// Where they hang (rows are pupils in modes 0 and 2, subjects in mode 1):
//   kinds 0-4 (TRecVal)          every data cell
//   notes 5, debts 7, credits 6  every data cell in mode 0, else one per row on column 1
//   class debts 30               one per row on column 1
//   TRecMat / TRecCmp            modes 0, 2: (c, 0) and (c, 1); mode 1: (0, r) and (c, 0)
//   TRecAna                      column 0 of a pupil row
// A record with bBloccato marks a cell that may not be entered: the datum does not apply
// (a subject the pupil does not take).

#include "platform/stringgrid.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// One datum of the five vote kinds (votes, proposed votes, taxonomies, absences, aids): the
// five tables travel under the same names so that one loader and one record serve them.
struct TRecVal : TVxGridObject
{
    int iPKId = 0;        // key of the stored row; 0 = nothing stored yet
    int iValId = 0;       // level id (kinds 0-2), the hours (absences); 0 = empty
    QString sValSDesc;    // short text shown in the cell (the aid's text for aids)
    QString sValLDesc;    // long text shown in the help panel
    double iValDato = 0;  // the level's numeric value
    bool bValSuff = true; // counts as sufficient
    bool bBloccato = false;
    bool bValInMed = false; // counts in averages
    // The value as last read from or written to the database (the level or the hours; an
    // aid's text): a save writes only cells whose value differs, so that a value another
    // office saved meanwhile is never put back to a stale one.
    int iValIdSalvato = 0;
    QString sValSalvato;
};
void InitCellaVoto(TRecVal &rec, bool bBloccato);

struct TRecNot : TVxGridObject
{
    int iNotId = 0;
    QDateTime dNotData; // invalid = no date
    int iAnaId = 0;     // the teacher's person
    QString sDocNome;
    QString bNotNota; // the note's text
    bool bBloccato = false;
    // The note as last read from or written to the database: a save writes only the notes
    // that differ from it.
    QDateTime dNotDataSalvata;
    int iAnaIdSalvato = 0;
    QString bNotNotaSalvata;
};
void InitCellaNota(TRecNot &rec, bool bBloccato);

// What a debt row stores beside its key and subject: a save writes a debt only when these
// differ from what it last read or wrote.
struct TValDebito
{
    QDateTime dDebAttr;
    QDateTime dDebVer;
    int iDtpDtdId = 0;
    int iDesDedId = 0;
    int iAnaId_Attr = 0;
    int iAnaId_Ver = 0;
    QString sNota; // the note's lines joined by line breaks
    bool operator==(const TValDebito &) const = default;
};

struct TRecDeb : TVxGridObject
{
    int iDebId = 0; // 0 = no stored debt
    int iMatId = 0;
    QString sMedVtp; // averages of proposed votes and of votes shown beside the debt
    QString sMedVot;
    QDateTime dDebAttr; // assignment; invalid = none
    QDateTime dDebVer;  // verification; invalid = none
    int iDtpDtdId = 0;
    QString sDtdLDesc; // debt type
    int iDesDedId = 0;
    QString sDedLDesc; // debt outcome
    int iAnaId_Attr = 0;
    QString sDocAttr; // assigning teacher
    int iAnaId_Ver = 0;
    QString sDocVer;          // verifying teacher
    bool bSufficiente = true; // the outcome counts as passed
    QStringList slNota;       // the note's lines
    bool bBloccato = false;
    TValDebito Salvato; // as last read from or written to the database
};
void InitCellaDebito(TRecDeb &rec, bool bBloccato);

// What a credit row stores beside its key and situation: a save writes a credit only when
// these differ from what it last read or wrote.
struct TValCredito
{
    int iCreCredito = 0;
    int iCrePerMedia = 0;
    int iBndId = 0;
    int iCreOutBanda = 0;
    double fCreMediaVoti = 0;
    int iCreFrmSco = 0;
    int iCreSosp = 0;
    int iCreRecup = 0;
    int iEncId = 0;
    QString sNota; // the note's lines joined by line breaks
    bool operator==(const TValCredito &) const = default;
};

// One credit row of a pupil's year (credits frame).
struct TRecCre : TVxGridObject
{
    int iCreId = 0;
    int iSitId = 0;
    int iAnsId = 0; // filled by the frame, kept by the initialiser
    QString sAnnoScol;
    QString sClsSDesc;
    int iAcsId = 0;
    int iAcsAnnoCorso = 0;
    int iTbnId = 0; // filled by the frame, kept by the initialiser
    int iBndId = 0; // 0 = no credit band
    QString sBndDesc;
    QString sBndCre; // the band's credit range
    QString sBndMed; // the band's average range
    double fCreMediaVoti = 0;
    int iCrePerMedia = 0;
    int iCreOutBanda = 0;
    int iCreFrmSco = 0;
    int iNumFrm = 0;
    int iNumSco = 0;
    int iCreSosp = 0;
    int iCreRecup = 0;
    int iCreCredito = 0;
    int iEncId = 0;
    QString sEncSDesc;
    QStringList lsNota;
    int iStatoDeb = 0;   // 0 no debt, 1 a debt not made up, 2 every debt made up
    TValCredito Salvato; // as last read from or written to the database
    // The row of the pupil's situation in another class of the class session's year (a pupil
    // who moved): shown, never written from this class.
    bool bAltraClasse = false;
};
void InitRigaCredito(TRecCre &rec);
// A credit row that may not be entered: a course year the pupil was not in (no situation), or
// his year in another class.
inline bool CreditoBloccato(const TRecCre &rec)
{
    return rec.iSitId == 0 || rec.bAltraClasse;
}

struct TRecGdz : TVxGridObject
{
    int iSitId = 0;
    int iGdzId = 0; // 0 = no stored judgment
    QString bGdzGiudizio;
    QString bGdzGiudizioSalvato; // as last read or written: only a changed text is written
};
void InitCellaGiudizio(TRecGdz &rec);

struct TRecFin : TVxGridObject
{
    int iPosFinId = 0; // 0 = no outcome
    QString sStaFinDettSDesc;
    int iPosFinIdSalvato = 0; // as last read or written: only a changed outcome is written
};

// Header records, built by the grade data module.
struct TRecMat : TVxGridObject
{
    int iClsSesMatId = 0; // in the lists keyed by subject: iMatId
    QString sMatSDesc;
    QString sMatLDesc;
    QString sMatCodUser;
    int iMatRmaId = 0;
    bool bMatInMedia = false; // counts in averages on the pupil's plan (pupil lists only)
};

struct TRecCmp : TVxGridObject
{
    int iCmpScaId = 0;
    int iScaId = 0;
    QString sCmpSDesc;
    QString sCmpLDesc;
    QString sScaDesc; // the grading scale
    bool bCmpScaInMedia = false;
};

struct TRecAna : TVxGridObject
{
    QString sPosReg; // two-digit register number
    QString sAnaNome;
    QString sAnaCognome;
    int iAnaId = 0;
    int iSitId = 0;
    int iPstId = 0;
};

// A list of texts, each with an optional record: the header lists of the grade data module,
// where item i is grid column or row i. Reads past the end give an empty text and no record.
class TqevStringList
{
public:
    int Count() const { return int(m_items.size()); }
    void Clear() { m_items.clear(); }
    void Add(const QString &text, std::shared_ptr<TVxGridObject> object = {});
    QString Strings(int index) const;
    std::shared_ptr<TVxGridObject> Objects(int index) const;
    template <typename T> std::shared_ptr<T> ObjectAs(int index) const
    {
        return std::dynamic_pointer_cast<T>(Objects(index));
    }
    int IndexOf(const QString &text) const;

private:
    struct Item
    {
        QString text;
        std::shared_ptr<TVxGridObject> object;
    };
    std::vector<Item> m_items;
};

// True when a subject record of the list has the id (its first field); components likewise.
bool CercaId(const TqevStringList &list, int id);
bool CercaIdCmp(const TqevStringList &list, int id);
// True when, at some index, the subject has idMat and the parallel component has idCmp.
bool CercaCoppia(const TqevStringList &listMat, const TqevStringList &listCmp, int idMat,
                 int idCmp);
