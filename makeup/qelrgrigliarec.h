#pragma once

#include "makeup/qelmakeuprecords.h"
#include "makeup/qevrgrigliarec.h"

// The assignment grid over the database: the pupils of the class session (main situations
// only) with their grades in every subject and the record of each cell in the phase FreId of
// the class session's year.
class TfrQelGrigliaRec : public TfrQevGrigliaRec
{
    Q_OBJECT
public:
    explicit TfrQelGrigliaRec(QWidget *parent = nullptr);

    void SetClasse(const MakeupClass &cls) { m_classe = cls; }
    int FreId() const { return m_freId; }
    void SetFreId(int value) { m_freId = value; }

    // Name column 150 pixels wide and fixed, subject columns 70.
    void ImpostaColonne() override;
    // Reads pupils, subjects, records and grades (four statements, whatever the class) and
    // shows them.
    void CaricaGriglia() override;
    // Reads the cell's record again, after it changed under the grid.
    void RicaricaCella(int iSitId, int iMatId);

private:
    MakeupRecords m_data;
    MakeupClass m_classe;
    int m_freId = 0;
};
