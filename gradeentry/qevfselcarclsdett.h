#pragma once

// TfmqevSelCarClsDett: the class selection dialog with a second list that follows the class
// chosen in the first: the pupils of the class (TfmQevSelCarClsAlu, "Caricamento per
// singolo") or its subjects in the chosen session (TfmqevSelCarClsMat, "Caricamento per
// materia"). The second list is one of the grade data module's datasets, open while the dialog
// lives and read again whenever the class or the session changes; OK is refused while it is
// empty, so that no window opens on a pupil or a subject that is not there.

#include "gradeentry/qevfselcarcls.h"

#include <functional>

class TSQLClientDataSet;
class TVxClientDataSetModel;
class TVxFieldValues;

class TfmqevSelCarClsDett : public TfmQevSelCarCls
{
    Q_OBJECT
public:
    ~TfmqevSelCarClsDett() override;

    TfrqevSelRO *frDettaglio() const { return m_dettaglio; }

protected:
    // The list's parameters for the class chosen (its iClsId), set before it opens.
    using Parametri = std::function<void(TVxFieldValues &params, int iClsId)>;
    TfmqevSelCarClsDett(QWidget *parent, const char *frameName, const char *colonne,
                        TSQLClientDataSet &elenco, Parametri parametri);

    void cbAnsSesDwgChange() override;
    // Reads the second list again for the class chosen; also after the data module closed it.
    void ricarica();

private:
    TfrqevSelRO *m_dettaglio;
    TVxClientDataSetModel *m_model;
    TSQLClientDataSet &m_elenco;
    Parametri m_parametri;
    QString m_colonne;
};

// "Seleziona alunno": OK opens the class session and makes the chosen pupil current (his
// iAnaId, plan of studies iPstIdSel, then SelezionaAlunno). Pupils off the register and
// second situations are not listed.
class TfmQevSelCarClsAlu : public TfmqevSelCarClsDett
{
    Q_OBJECT
public:
    explicit TfmQevSelCarClsAlu(QWidget *parent = nullptr);
    // Chooses a pupil of the listed class by his situation; false when not listed.
    bool SelezionaAlunno(int iSitId);

protected:
    void OkClick() override;
};

// "Seleziona materia": OK opens the class session filtered on the chosen subject
// (iClsSesMatId), whose name the windows' caption then carries.
class TfmqevSelCarClsMat : public TfmqevSelCarClsDett
{
    Q_OBJECT
public:
    explicit TfmqevSelCarClsMat(QWidget *parent = nullptr);
    // Chooses a subject of the listed class by its class-session subject; false when not
    // listed.
    bool SelezionaMateria(int iClsSesMatId);

protected:
    void OkClick() override;
    int MateriaScelta() const override;
};
