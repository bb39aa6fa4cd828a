#pragma once

// The demo school as test templates read it: 5A and 3C of the working session (frdClsSes),
// their pupils and subjects reopened by the classes' scroll handler, and a vote query whose
// parameters the pupil's and the subject's scroll handlers set and leave closed, opened by the
// cell that reads it. Needs the program's shared connection open on a demo-school copy.
#include "reportengine/reportdataset.h"

class SchoolReportModule : public TfrDataModule
{
public:
    explicit SchoolReportModule(const QString &name = QStringLiteral("dmScuola"))
        : TfrDataModule(name)
    {
        clsSes = query("qquClsSes",
                       "SELECT ClsSes.iClsSesId, ClsSes.iClsId, Cls.sClsSDesc FROM TClsSes ClsSes "
                       "JOIN TCls_Classi Cls ON Cls.iClsId = ClsSes.iClsId "
                       "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND Cls.iClsId IN (39005, 39023) "
                       "ORDER BY Cls.iClsId",
                       {"iAnsSesDwgId"});
        clsAlu = query(
            "qquClsAlu",
            "SELECT Sit.iSitId, Sit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, Ana.dAnaNascita "
            "FROM TSit_Situazioni Sit JOIN TClsPst ClsPst ON ClsPst.iClsPstId = Sit.iClsPstId "
            "JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "
            "WHERE ClsPst.iClsId = :iClsId AND Sit.iSitOrdine = 1 AND Sit.iSitPosReg > 0 "
            "ORDER BY Sit.iSitPosReg, Ana.sAnaCognomeNomeIdx",
            {"iClsId"});
        clsMat = query("qquClsMat",
                       "SELECT Csm.iClsSesMatId, Mat.sMatSDesc FROM TClsSesMat Csm "
                       "JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId "
                       "JOIN TMat_Materie Mat ON Mat.iMatId = Rma.iMatId "
                       "WHERE Csm.iClsSesId = :iClsSesId ORDER BY Mat.iMatId",
                       {"iClsSesId"});
        voto = query("qquVoto",
                     "SELECT FIRST 1 Liv.sLivSDesc FROM TVot_Voti Vot "
                     "JOIN TClsMatCmp Cmc ON Cmc.iClsMatCmpId = Vot.iClsMatCmpId "
                     "JOIN TScaLiv Sl ON Sl.iScaLivId = Vot.iScaLivId "
                     "JOIN TLiv_Livelli Liv ON Liv.iLivId = Sl.iLivId "
                     "WHERE Cmc.iClsSesMatId = :iClsSesMatId AND Vot.iSitId = :iSitId "
                     "ORDER BY Cmc.iCmpScaId",
                     {"iClsSesMatId", "iSitId"});
        AddReportDataSet("frdClsSes", clsSes);
        AddReportDataSet("frdClsAlu", clsAlu);
        clsSes->ParamByName("iAnsSesDwgId").setValue(392);
        clsSes->AfterScroll = [this](TfrDataSet &master) {
            clsAlu->Close();
            clsAlu->ParamByName("iClsId").setValue(master.FieldByName("iClsId").Value());
            clsAlu->Open();
            clsMat->Close();
            clsMat->ParamByName("iClsSesId").setValue(master.FieldByName("iClsSesId").Value());
            clsMat->Open();
        };
        const auto setOnly = [this](const char *param, const QVariant &value) {
            voto->Close();
            voto->ParamByName(param).setValue(value);
        };
        clsAlu->AfterScroll = [setOnly](TfrDataSet &d) {
            setOnly("iSitId", d.FieldByName("iSitId").Value());
        };
        clsMat->AfterScroll = [setOnly](TfrDataSet &d) {
            setOnly("iClsSesMatId", d.FieldByName("iClsSesMatId").Value());
        };
    }

    TfrQuery *clsSes;
    TfrQuery *clsAlu;
    TfrQuery *clsMat;
    TfrQuery *voto;

private:
    TfrQuery *query(const char *name, const char *sql, const QStringList &params)
    {
        TfrQuery *q = AddQuery(name);
        q->setSQL(sql);
        for (const QString &p : params)
            q->DeclareParam(p, TfrParamType::Integer);
        return q;
    }
};
