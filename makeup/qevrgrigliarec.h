#pragma once

#include "platform/frames.h"
#include "platform/stringgrid.h"

#include <QList>
#include <QString>

class TqevGrigliaRec;

// One subject cell of the make-up grid: the subject, the cell's record (0: none) with its
// type's weight, and the pupil's grades in the subject.
struct TqevCellaRec : TVxGridObject
{
    int iMatId = 0;
    int iRecId = 0;
    int iPesoRec = 0;
};

// One pupil's row.
struct TqevRigaRec : TVxGridObject
{
    int iSitId = 0;
};

// The grid of pupils (rows) and subjects (columns) of the make-up windows, as the derived
// frame fills it: the name column stays in view while the subjects scroll sideways, a cell
// with a record is coloured by the weight of its type. The frame follows the grid's current
// cell in RecId, SitId, MatId, Peso and IndiceCampo (-1 in the first three on the name
// column), and reports digits typed and double clicks to its host.
class TfrQevGrigliaRec : public TfrVxVuoto
{
    Q_OBJECT
public:
    explicit TfrQevGrigliaRec(QWidget *parent = nullptr);

    TVxStringGrid *dbgRec() const;

    int RecId() const { return m_recId; }
    void SetRecId(int value) { m_recId = value; }
    int SitId() const { return m_sitId; }
    int MatId() const { return m_matId; }
    int Peso() const { return m_peso; }
    void SetPeso(int value) { m_peso = value; }
    int IndiceCampo() const { return m_indiceCampo; }
    // 0 the proposed votes, 1 the votes.
    int TipoVoto() const { return m_tipoVoto; }
    void SetTipoVoto(int value) { m_tipoVoto = value; }
    // The last digit typed on the grid, -1 after any other key.
    int Cifra() const { return m_cifra; }

    virtual void ImpostaColonne();
    virtual void CaricaGriglia();
    // Writes RecId and Peso into the cell of SitId and MatId.
    virtual void AggiornaCella();

    // The cell of a pupil and subject; nullptr when the grid has none.
    TqevCellaRec *Cella(int iSitId, int iMatId) const;
    // The pupil's name (without the register number) and the subject's title, as the office
    // reads them where a message names the cell.
    QString NomeAlunno(int iSitId) const;
    QString NomeMateria(int iMatId) const;
    // Puts the cursor on the first pupil's row (the column kept when it still exists) and
    // follows it.
    void PrimaRiga();
    // Reads the current cell's state again (its record changed) and tells the host.
    void SeguiCellaCorrente();

signals:
    void cellaCorrenteCambiata();
    void cifraDigitata(int digit);
    void doppioClick();

protected:
    // What CaricaGriglia shows: one row per pupil with its label and one cell (with its
    // grades text) per subject, under the subjects' titles.
    struct Riga
    {
        int iSitId = 0;
        QString label;
        QList<std::shared_ptr<TqevCellaRec>> celle;
        QStringList testi;
    };
    QStringList m_titoli;
    QList<Riga> m_righe;

private:
    friend class TqevGrigliaRec;
    void segui(int col, int row);

    TqevGrigliaRec *m_grid;
    int m_recId = -1;
    int m_sitId = -1;
    int m_matId = -1;
    int m_peso = 0;
    int m_indiceCampo = 0;
    int m_tipoVoto = 1;
    int m_cifra = -1;
};
