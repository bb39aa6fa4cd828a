#include "db/demowriter.h"

#include "db/seedtable.h"
#include "reportengine/reporttemplate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlDatabase>

// Resources of a static library are registered by hand.
static void initReportTemplates()
{
    Q_INIT_RESOURCE(reporttemplates);
}

namespace demo {

namespace {

QStringList cols(const char *list)
{
    return QString::fromLatin1(list).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// Small tables of a key and texts.
void plainRows(QSqlDatabase &db, const char *table, const char *columns,
               std::initializer_list<std::initializer_list<QVariant>> rows)
{
    SeedTable t(db, QString::fromLatin1(table), cols(columns));
    for (const auto &row : rows)
        t.add(row);
}

QString numberWord(int v)
{
    static const char *words[] = {"Zero", "Uno",   "Due",  "Tre",  "Quattro", "Cinque",
                                  "Sei",  "Sette", "Otto", "Nove", "Dieci"};
    return QString::fromLatin1(words[v]);
}

void writeRegistry(QSqlDatabase &db)
{
    plainRows(db, "TSex_Sesso", "iSexId,sSexSDesc,sSexLDesc",
              {{1, "M", "Maschio"}, {2, "F", "Femmina"}});
    plainRows(db, "TCag_Categorie", "iCagId,sCagDesc",
              {{1, "Alunno"}, {2, "Genitore"}, {3, "Docente"}});
    plainRows(db, "TFreq_Frequenza", "iFreqId,sFreqLDesc,sFreqSDesc",
              {{1, "Frequenza regolare", "R"},
               {2, "Frequenza discontinua", "D"},
               {3, "Non frequentante", "N"}});
    plainRows(db, "TScuTyp_TipiScuola", "iScuTypId,sScuTypLDesc",
              {{1, "Scuola dell'infanzia"},
               {2, "Scuola primaria"},
               {3, "Scuola secondaria di primo grado"},
               {4, "Scuola secondaria di secondo grado"}});
    plainRows(db, "TIsc_Iscrizione", "iIscId,sIscLDesc,sIscSDesc",
              {{1, "Prima iscrizione", "PI"}, {2, "Ripetente", "RIP"}});
    plainRows(db, "TIes_IntEst", "iIesId,sIesLDesc,sIesSDesc",
              {{1, "Interno", "INT"}, {2, "Esterno", "EST"}});
    plainRows(db, "TDcr_DocRegola", "iDcrId,sDcrLDesc,sDcrSDesc",
              {{1, "Documenti in regola", "SI"}, {2, "Documenti mancanti", "NO"}});
    plainRows(db, "TAlt_Alternativa", "iAltId,sAltLDesc,sAltSDesc",
              {{1, "Attività didattiche alternative", "ALT"}, {2, "Uscita dalla scuola", "USC"}});
    plainRows(db, "TGpt_GradiParentela", "iGptId,sGptLDesc",
              {{1, "Padre"}, {2, "Madre"}, {3, "Tutore"}});
    plainRows(db, "TStc_StatiCivili", "iStcId,sStcOldLDesc,sStcOldSDesc",
              {{1, "Celibe/Nubile", "C/N"}, {2, "Coniugato/a", "CON"}});
    plainRows(db, "TVom_VivoMorto", "iVomId,sVomDesc,sVomCod",
              {{1, "Vivente", "V"}, {2, "Deceduto", "D"}});
    plainRows(db, "TSta_Stati", "iStaId,sStaLDesc,sStaCee",
              {{1, "Italia", "CEE"}, {2, "Francia", "CEE"}, {3, "Albania", sqlNull()}});
    plainRows(db, "TReg_Regioni", "iRegId,sRegDesc", {{1, "Lombardia"}});
    plainRows(db, "TPro_Province", "iProId,sProDesc,sProSigla,iRegId",
              {{1, "Milano", "MI", 1}, {2, "Bergamo", "BG", 1}});
    plainRows(db, "TCom_Comuni", "iComId,sComDesc,iProId",
              {{1, "Milano", 1},
               {2, "Sesto San Giovanni", 1},
               {3, "Bergamo", 2},
               {4, "Parigi", sqlNull()},
               {5, "Tirana", sqlNull()}});
    plainRows(db, "TCap", "iCapId,sCapValue", {{1, "20121"}, {2, "20099"}, {3, "24121"}});
    plainRows(db, "TSrpc", "iSrpcId,iStaId,iRegId,iProId,iComId",
              {{1, 1, 1, 1, 1},
               {2, 1, 1, 1, 2},
               {3, 1, 1, 2, 3},
               {4, 2, sqlNull(), sqlNull(), 4},
               {5, 3, sqlNull(), sqlNull(), 5}});
    plainRows(db, "TComCap", "iComCapId,iSrpcId,iCapId", {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    plainRows(db, "TScu_Scuole", "iScuId,sScuLDesc,sScuMecCod,iComCapId",
              {{1, "Scuola secondaria di primo grado A. Manzoni", "MIMM01000A", 1},
               {2, "Scuola secondaria di primo grado G. Verdi", "MIMM02000B", 2},
               {3, "Istituto tecnico commerciale C. Cattaneo", "BGTD03000C", 3}});
    plainRows(db, "TTfi_TipoFrequenza", "iTfiId,sTaxLDescVexto,sTdeLDesc,sTdeSDesc",
              {{1, "Tempo ordinario", "Frequenza ordinaria", "ORD"}});
    plainRows(db, "TObf_ObbligoFormativo", "iObfId,sObfCodice,sObfDescr",
              {{1, "OBF1", "Obbligo assolto a scuola"}});
    plainRows(db, "TQlf_Qualifiche", "iQlfId,sQlfLDesc,sQlfSDesc",
              {{1, "Operatore della gestione aziendale", "OGA"}});
    plainRows(db, "TLoc_UsiIndirizzo", "iLocId,sLocDesc",
              {{1, "Domicilio"}, {2, "Residenza"}, {3, "Recapito"}});
    plainRows(db, "TFraQua_FrazioniQuartieri", "iFraQuaId,sFraQuaDesc", {{1, "Centro storico"}});
    plainRows(db, "TAdi_AreeDiscip", "iAdiId,sAdiLDesc,sAdiSDesc",
              {{1, "Area linguistico-letteraria", "LING"},
               {2, "Area scientifica", "SCI"},
               {3, "Area tecnico-professionale", "TEC"}});
    plainRows(db, "TCst_StatiCandidato", "iCstId,sCstLDesc",
              {{1, "Candidato interno"}, {2, "Candidato esterno"}});
    plainRows(db, "TTvt_TipiVoto", "iTvtId,sTvtDesc,sTvtSDesc,iTvtMin,iTvtMax",
              {{1, "Prima prova scritta", "P1", 0, 15},
               {2, "Seconda prova scritta", "P2", 0, 15},
               {3, "Colloquio", "COL", 0, 30}});
    SeedTable sha(db, QStringLiteral("TSha_SituazioniHandicap"),
                  cols("iShaId,sShaDesc,bShaAssistenza"));
    sha.add({1, "Prove equipollenti", QStringLiteral("Assistenza durante le prove scritte.")});
    plainRows(db, "TCmm_Commissioni", "iCmmId,sCmmCodMecc", {{1, "MIL1001"}});
}

void writeStructure(QSqlDatabase &db)
{
    plainRows(db, "TDow_DataOwner", "iDowId,iDwgId,sDowLDesc,sDowSDesc,dStart",
              {{kInstitute, kInstitute, "Istituto di Istruzione Superiore Demo", "Istituto Demo",
                QDate(2000, 9, 1)}});
    plainRows(db, "TSed_Sedi", "iSedId,dStart", {{1, QDate(2000, 9, 1)}, {2, QDate(2004, 9, 1)}});
    plainRows(db, "TSedInf_SedeInfo",
              "iSedInfId,iSedId,sSedInfCodVexto,sSedMecCod,sSedNomLDesc,sSedNomSDesc,"
              "sSedNomCodiceFisc,sSedIndIndirizzo,iComCapId,sSedTelTelefono,sSedTelTelefono2,"
              "sSedFaxNo,sSedEmlEmail",
              {{1, 1, "1234", "ABCD01000X", "Istituto di Istruzione Superiore Demo - Sede centrale",
                "Sede centrale", "80012345678", "Via Roma 1", 1, "02 1234567", "02 1234568",
                "02 1234569", "segreteria@istitutodemo.it"},
               {2, 2, "1234", "ABCD01001Y", "Istituto di Istruzione Superiore Demo - Sede di Sesto",
                "Sede di Sesto", "80012345678", "Viale Italia 20", 2, "02 7654321", sqlNull(),
                sqlNull(), "sesto@istitutodemo.it"}});
    // The school-level main seat (iDwgId NULL), the institute's main seat and its second site.
    plainRows(db, "TDwgSed", "iDwgSedId,iDwgId,iSedId,lDwgSedMain,dStart",
              {{1, sqlNull(), 1, 1, QDate(2000, 9, 1)},
               {2, kInstitute, 1, 1, QDate(2000, 9, 1)},
               {3, kInstitute, 2, 0, QDate(2004, 9, 1)}});
    plainRows(db, "TScuOrd", "iScuOrdId,sScuOrdLDesc",
              {{1, "Scuola secondaria di primo grado"}, {2, "Scuola secondaria di secondo grado"}});
    plainRows(db, "TScuTypOrdGra", "iScuTypOrdGraId,iScuTypId,iScuOrdId", {{1, 4, 2}});
    plainRows(db, "TOtgDwg", "iOtgDwgId,iDowId,iScuTypOrdGraId", {{1, kInstitute, 1}});

    SeedTable ans(db, QStringLiteral("TAns_AnniScolast"),
                  cols("iAnsId,iAnsValore,dAnsVextoInizio,dAnsVextoFine,dAnsInizio,dAnsFine"));
    for (const Year &y : years())
        ans.add({y.ansId, y.valore, y.start(), y.end(), y.start(), y.end()});
    plainRows(db, "TSes_Sessione", "iSesId,sSesDesc,sSesNote",
              {{FirstTerm, "Primo periodo", "Scrutinio del primo periodo"},
               {Final, "Scrutinio finale", sqlNull()},
               {Deferred, "Sessione differita", "Alunni con giudizio sospeso"},
               {Qualification, "Esame di qualifica", sqlNull()},
               {Lumeno, "Lumeno", "Sessione del registro elettronico"}});
    plainRows(db, "TSfi_SessFinale", "iSfiId,sSfiLDesc,sSfiSDesc",
              {{1, "Intermedia", "INT"}, {2, "Finale", "FIN"}, {3, "Differita", "DIF"}});
    plainRows(db, "TFre_FasiRec", "iFreId,sFreSDesc,sFreLDesc",
              {{1, "1a fase", "Prima fase"}, {2, "2a fase", "Seconda fase"}});
    // Phases common to every institute (iDwgId NULL), one per year and phase.
    SeedTable fre(db, QStringLiteral("TAnsFreDwg"), cols("iAnsFreDwgId,iAnsId,iFreId,iDwgId"));
    for (const Year &y : years())
        for (int phase = 1; phase <= 2; ++phase)
            fre.add({yearPhase(y.ansId, phase), y.ansId, phase, sqlNull()});
    SeedTable asd(db, QStringLiteral("TAnsSesDwg"),
                  cols("iAnsSesDwgId,iAnsId,iDwgId,iSesId,iSfiId,iAnsSesDwgOrdine,"
                       "dAnsSesDwgInizio,dAnsSesDwgFine,lAnsSesDwgPagella,iAnsFreDwgId"));
    for (const Year &y : years()) {
        const int a = y.ansId;
        asd.add({yearSession(a, FirstTerm), a, kInstitute, FirstTerm, 1, 1,
                 sessionStart(a, FirstTerm), sessionEnd(a, FirstTerm), 1, sqlNull()});
        asd.add({yearSession(a, Final), a, kInstitute, Final, 2, 2, sessionStart(a, Final),
                 sessionEnd(a, Final), 1, sqlNull()});
        asd.add({yearSession(a, Deferred), a, kInstitute, Deferred, 3, 3, sessionStart(a, Deferred),
                 sessionEnd(a, Deferred), 0, yearPhase(a, 2)});
        if (a == kWorkingYear)
            asd.add({yearSession(a, Qualification), a, kInstitute, Qualification, 2, 4,
                     sessionStart(a, Qualification), sessionEnd(a, Qualification), 0, sqlNull()});
    }

    plainRows(
        db, "TTbn_TipoBanda", "iTbnId,sTbnDesc",
        {{1, "Bande del terzo anno"}, {2, "Bande del quarto anno"}, {3, "Bande del quinto anno"}});
    SeedTable acs(db, QStringLiteral("TAcs_AnniCorso"),
                  cols("iAcsId,iAcsAnnoCorso,sAcsLDesc,sAcsSDesc,iTbnId"));
    static const char *ordinals[] = {"", "Primo", "Secondo", "Terzo", "Quarto", "Quinto"};
    for (int a = 1; a <= 5; ++a)
        acs.add({a, a, QStringLiteral("%1 anno").arg(QLatin1String(ordinals[a])),
                 QStringLiteral("%1^").arg(a), a >= 3 ? QVariant(a - 2) : sqlNull()});
    // Band keys are type * 1000 + n: the credits grid counts band types from them.
    SeedTable bnd(
        db, QStringLiteral("TBnd_Bande"),
        cols("iBndId,iAcsId,sBndDesc,iBndMedMin,iBndMedMax,iBndCreMin,iBndCreMax,iLocked"));
    SeedTable tbnBnd(db, QStringLiteral("TTbnBnd"), cols("iTbnBndId,iTbnId,iBndId"));
    struct Band
    {
        const char *desc;
        int min, max, cre;
    };
    static const Band bands[] = {{"M = 6", 6, 6, 3},        {"6 < M <= 7", 6, 7, 4},
                                 {"7 < M <= 8", 7, 8, 5},   {"8 < M <= 9", 8, 9, 6},
                                 {"9 < M <= 10", 9, 10, 7}, {"M < 6", 0, 5, 2}};
    for (int type = 1; type <= 3; ++type) {
        for (int n = 1; n <= 6; ++n) {
            const Band &b = bands[n - 1];
            const int extra = type == 3 ? 1 : 0; // the fifth year's credits are higher
            bnd.add({type * 1000 + n, type + 2, b.desc, b.min, b.max, b.cre + extra,
                     b.cre + 1 + extra, 0});
            tbnBnd.add({type * 1000 + n, type, type * 1000 + n});
        }
    }

    plainRows(db, "TDpl_Diplomi", "iDplId,sDplLDesc,sDplSDesc",
              {{1, "Diploma di liceo scientifico", "LS"},
               {2, "Diploma di ragioniere e perito commerciale", "RAG"},
               {3, "Diploma di tecnico della gestione aziendale", "TGA"}});
    plainRows(db, "TInd_Indirizzo", "iIndId,sIndLDesc,sIndSDesc,sIndCodMin,sIndCod,iDplId",
              {{1, trackName(0), "Liceo", "PS01", "LS", 1},
               {2, trackName(1), "Tecnico", "TD01", "ITC", 2},
               {3, trackName(2), "Professionale", "RC01", "IPC", 3}});
    plainRows(db, "TSpz_Specializzazioni", "iSpzId,sSpzDescr,sSpzSperim",
              {{1, "Piano nazionale informatica", "PNI"}});
    SeedTable sez(db, QStringLiteral("TSez_Sezioni"), cols("iSezId,sSezLDesc,sSezSDesc"));
    for (int s = 0; s < 26 * 4; ++s)
        sez.add({s + 1, QStringLiteral("Sezione %1").arg(sectionName(s)), sectionName(s)});
}

void writeSubjects(QSqlDatabase &db)
{
    struct Mat
    {
        int id;
        const char *name;
        const char *shortName;
        const char *code;
        int area;
    };
    static const Mat subjects[] = {
        {Italiano, "ITALIANO", "ITA", nullptr, 1},
        {Storia, "STORIA", "STO", nullptr, 1},
        {Matematica, "MATEMATICA", "MAT", nullptr, 2},
        {Inglese, "INGLESE", "ING", nullptr, 1},
        {Scienze, "SCIENZE", "SCI", nullptr, 2},
        {Fisica, "FISICA", "FIS", nullptr, 2},
        {Latino, "LATINO", "LAT", nullptr, 1},
        {Economia, "ECONOMIA AZIENDALE", "ECO", nullptr, 3},
        {Informatica, "INFORMATICA", "INF", nullptr, 3},
        {Diritto, "DIRITTO", "DIR", nullptr, 3},
        {Laboratorio, "LABORATORIO DI TRATTAMENTO TESTI", "LAB", nullptr, 3},
        {EdFisica, "EDUCAZIONE FISICA", "EDF", nullptr, 2},
        {Religione, "RELIGIONE", "REL", "RELIGIONE", 1},
        {Condotta, "CONDOTTA", "CON", "CONDOTTA", 0},
        {Ammissione, "AMMISSIONE", "AMM", "AMMISSIONE", 0},
        {Qualifica, "QUALIFICA", "QUA", "QUALIFICA", 0},
        {ProvaScritta, "PROVA SCRITTA", "PRS", "PROVA", 0},
        {ProvaPratica, "PROVA PRATICA", "PRP", "PROVA", 0},
        {MatApplicata, "MATEMATICA APPLICATA", "MAP", nullptr, 2},
    };
    SeedTable mat(db, QStringLiteral("TMat_Materie"),
                  cols("iMatId,sMatLDesc,sMatSDesc,sMatCodUser,sMatCodMin,sMatCodVexto,iAdiId"));
    SeedTable rma(db, QStringLiteral("TMatRma"), cols("iMatRmaId,iMatId,iMatId_P"));
    for (const Mat &m : subjects) {
        mat.add({m.id, m.name, m.shortName, m.shortName,
                 QStringLiteral("M%1").arg(m.id, 3, 10, QLatin1Char('0')),
                 m.code ? QVariant(QString::fromLatin1(m.code)) : sqlNull(),
                 m.area ? QVariant(m.area) : sqlNull()});
        // A node per subject; applied mathematics belongs to mathematics.
        rma.add({m.id, m.id, m.id == MatApplicata ? Matematica : m.id});
    }

    plainRows(db, "TCOMPASSE", "ICOMPASSEID,SCOMPASSEDESC",
              {{1, "Asse dei linguaggi"},
               {2, "Asse matematico"},
               {3, "Asse scientifico-tecnologico"},
               {4, "Asse storico-sociale"}});
    plainRows(db, "TCOMPLIV",
              "ICOMPLIVID,SCOMPLIVDESC,ICOMPLIVVALUE,ICOMPLIVFASCIAMIN,ICOMPLIVFASCIAMAX",
              {{1, "Livello base non raggiunto", 1, 1, 5},
               {2, "Livello base", 2, 6, 6},
               {3, "Livello intermedio", 3, 7, 8},
               {4, "Livello avanzato", 4, 9, 10}});

    SeedTable pst(db, QStringLiteral("TPst_PianiStudio"),
                  cols("iPstId,sPstLDesc,sPstSDesc,iPstTotOre,iPstPei,iIndId"));
    SeedTable mrp(db, QStringLiteral("TMatRmaPst"),
                  cols("iMatRmaPstId,iMatRmaId,iPstId,iMatRmaPstOrdine,iMatRmaPstInMedia,"
                       "iCompAsseId,iOanId"));
    SeedTable oan(db, QStringLiteral("TOan_OreAn"), cols("iOanId,iOanAnnuali,iOanSettimanali"));
    for (int track = 0; track < kTracks; ++track) {
        QVector<int> plan = trackSubjects(track);
        if (track == kVocational)
            plan << Ammissione << Qualifica << ProvaScritta << ProvaPratica;
        for (int variant = 0; variant < 2; ++variant) {
            const bool withoutReligion = variant == 1;
            const int pstId = planOf(track, withoutReligion);
            const int hours = track == kVocational ? 1188 : 1056;
            pst.add(
                {pstId,
                 trackName(track) + (withoutReligion ? QStringLiteral(" senza religione")
                                                     : QStringLiteral(" ordinario")),
                 withoutReligion ? QStringLiteral("Senza religione") : QStringLiteral("Ordinario"),
                 withoutReligion ? hours - 33 : hours, 0, track + 1});
            int order = 0;
            for (int matId : plan) {
                if (matId == Religione && withoutReligion)
                    continue;
                const int key = pstId * 100 + matId;
                int weekly = 3;
                if (matId == Italiano || matId == Matematica || matId == MatApplicata ||
                    matId == Economia || matId == Laboratorio)
                    weekly = 4;
                else if (matId == Religione || matId == Condotta)
                    weekly = matId == Religione ? 1 : 0;
                else if (matId >= Ammissione && matId <= ProvaPratica)
                    weekly = 0;
                oan.add({key, weekly * 33, weekly});
                int axis = 0;
                if (matId == Italiano || matId == Inglese || matId == Latino)
                    axis = 1;
                else if (matId == Matematica || matId == MatApplicata || matId == Fisica ||
                         matId == Informatica)
                    axis = 2;
                else if (matId == Scienze || matId == Laboratorio)
                    axis = 3;
                else if (matId == Storia || matId == Diritto || matId == Economia)
                    axis = 4;
                const bool inAverage = matId != Religione && matId != Ammissione &&
                                       matId != ProvaScritta && matId != ProvaPratica;
                mrp.add({key, matId, pstId, ++order, inAverage ? 1 : 0, keyOrNull(axis), key});
            }
        }
    }
}

void writeScales(QSqlDatabase &db)
{
    plainRows(db, "TCmp_Componenti", "iCmpId,sCmpLDesc,sCmpSDesc,iCmpPeso",
              {{1, "Scritto", "S", 1},
               {2, "Orale", "O", 1},
               {3, "Pratico", "P", 1},
               {4, "Unico", "U", 1},
               {5, "Impegno", "IMP", sqlNull()},
               {6, "Partecipazione", "PAR", sqlNull()},
               {7, "Tipo recupero", "TR", 999},
               {8, "Esito recupero", "ER", 888},
               {9, "Altro", "ALT", 777},
               {10, "RELIGIONE", "REL", 1},
               {11, "Profitto", "PRF", sqlNull()}});
    plainRows(db, "TSca_Scale", "iScaId,sScaDesc",
              {{1, "Decimi"},
               {2, "Centesimi"},
               {3, "Giudizio"},
               {4, "Tipo recupero"},
               {5, "Esito recupero"}});
    plainRows(db, "TCmpSca", "iCmpScaId,iCmpId,iScaId,iCmpScaTass,iCmpScaInMedia,iCmpScaOrdine",
              {{WrittenTenths, 1, 1, 0, 1, 1},
               {OralTenths, 2, 1, 0, 1, 2},
               {PracticalTenths, 3, 1, 0, 1, 3},
               {SingleTenths, 4, 1, 0, 1, 4},
               {SingleHundredths, 4, 2, 0, 1, 5},
               {ReligionJudgment, 10, 3, 0, 0, 6},
               {Commitment, 5, 3, 1, 0, 7},
               {Participation, 6, 3, 1, 0, 8},
               {MakeUpType, 7, 4, 1, 0, 9},
               {MakeUpOutcome, 8, 5, 1, 0, 10},
               {Other, 9, 3, 1, 0, 11},
               {Profit, 11, 1, 1, 1, 12}});
    plainRows(db, "TTre_TipoRec", "iTreId,sTreSDesc,sTreLDesc,iTrePeso,lVisible",
              {{1, "CR", "Corso di recupero", 1, 1},
               {2, "SI", "Studio individuale", 2, 1},
               {3, "SP", "Sportello didattico", 3, 1}});
    plainRows(db, "TEre_EsitoRec", "iEreId,sEreSDesc,sEreLDesc,iPesoRec,lVisible",
              {{1, "REC", "Recuperato", 1, 1},
               {2, "NREC", "Non recuperato", 2, 1},
               {3, "ASS", "Assente alla verifica", 3, 1}});
    plainRows(db, "TPvr_ProvaRecupero", "iPvrId,sPvrSDesc,sPvrLDesc",
              {{1, "S", "Prova scritta"}, {2, "O", "Prova orale"}});

    // Level texts are shared between scales: a typed text means one level text.
    SeedTable liv(db, QStringLiteral("TLiv_Livelli"), cols("iLivId,sLivSDesc,sLivLDesc"));
    SeedTable scaLiv(db, QStringLiteral("TScaLiv"),
                     cols("iScaLivId,iScaId,iLivId,iScaLivValore,iScaLivSufficiente,"
                          "iScaLivInMedia,iScaLivOrd,iTreId"));
    std::map<QString, int> texts;
    auto text = [&](const QString &s, const QString &l) {
        auto it = texts.find(s);
        if (it != texts.end())
            return it->second;
        const int id = int(texts.size()) + 1;
        liv.add({id, s, l});
        texts[s] = id;
        return id;
    };
    scaLiv.add({kNotClassified, 1, text(QStringLiteral("NC"), QStringLiteral("Non classificato")),
                0, 0, 0, 0, sqlNull()});
    for (int v = 1; v <= 10; ++v)
        scaLiv.add({tenthsLevel(v), 1, text(QString::number(v), numberWord(v)), v, v >= 6 ? 1 : 0,
                    1, v, v <= 4 ? QVariant(1) : (v == 5 ? QVariant(2) : sqlNull())});
    for (int v = 0; v <= 100; v += 5)
        scaLiv.add({hundredthsLevel(v), 2,
                    text(QString::number(v), QStringLiteral("%1/100").arg(v)), v, v >= 60 ? 1 : 0,
                    1, v / 5 + 1, sqlNull()});
    static const char *judgments[] = {"OTTIMO", "DISTINTO", "BUONO", "SUFFICIENTE",
                                      "INSUFFICIENTE"};
    for (int j = 0; j < 5; ++j) {
        const QString s = QString::fromLatin1(judgments[j]);
        scaLiv.add({301 + j, 3, text(s, s.left(1) + s.mid(1).toLower()), 9 - j, j < 4 ? 1 : 0, 0,
                    j + 1, sqlNull()});
    }
    // Make-up types and outcomes: the level's value is the keypad weight of the type or outcome.
    scaLiv.add(
        {401, 4, text(QStringLiteral("CR"), QStringLiteral("Corso di recupero")), 1, 0, 0, 1, 1});
    scaLiv.add(
        {402, 4, text(QStringLiteral("SI"), QStringLiteral("Studio individuale")), 2, 0, 0, 2, 2});
    scaLiv.add(
        {403, 4, text(QStringLiteral("SP"), QStringLiteral("Sportello didattico")), 3, 0, 0, 3, 3});
    scaLiv.add(
        {501, 5, text(QStringLiteral("REC"), QStringLiteral("Recuperato")), 1, 1, 0, 1, sqlNull()});
    scaLiv.add({502, 5, text(QStringLiteral("NREC"), QStringLiteral("Non recuperato")), 2, 0, 0, 2,
                sqlNull()});
    scaLiv.add(
        {503, 5, text(QStringLiteral("ASS"), QStringLiteral("Assente")), 3, 0, 0, 3, sqlNull()});

    // Lower-school judgments: long texts equal to the upper-cased level texts.
    SeedTable gme(db, QStringLiteral("TGme_GiuMatEleMed"), cols("iGmeId,sGmeLDesc,sGmeSDesc"));
    for (int j = 0; j < 5; ++j)
        gme.add(
            {j + 1, QString::fromLatin1(judgments[j]), QString::fromLatin1(judgments[j]).left(4)});
    for (int v = 6; v <= 10; ++v)
        gme.add({v, numberWord(v).toUpper(), QString::number(v)});

    plainRows(db, "TDtp_DebTipo", "iDtpId,sDtpLDescVexto,sDtpSDescVexto",
              {{1, "Corso di recupero", "CR"}, {2, "Studio individuale", "SI"}});
    plainRows(db, "TDtd_DebTpDett", "iDtdId,sDtdLDesc,sDtdSDesc,iLocked",
              {{1, "Corso di recupero pomeridiano", "CORSO", 0},
               {2, "Studio individuale guidato", "STUDIO", 0},
               {3, "Sportello didattico", "SPORT", 0}});
    plainRows(db, "TDtpDtd", "iDtpDtdId,iDtpId,iDtdId,iLocked",
              {{1, 1, 1, 0}, {2, 2, 2, 0}, {3, 1, 3, 0}});
    plainRows(db, "TDes_DebEsito", "iDesId,sDesLDescVexto,sDesSDescVexto,iDesSufficiente",
              {{1, "Saldato", "S", 1}, {2, "Non saldato", "NS", 0}});
    plainRows(db, "TDed_DebEsDett", "iDedId,sDedLDesc,sDedSDesc,iLocked",
              {{1, "Debito saldato", "SALD", 0},
               {2, "Debito non saldato", "NSALD", 0},
               {3, "Debito saldato parzialmente", "PARZ", 0}});
    plainRows(db, "TDesDed", "iDesDedId,iDesId,iDedId,iLocked",
              {{1, 1, 1, 0}, {2, 2, 2, 0}, {3, 2, 3, 0}});

    // Proposed votes in halves from 4 to 10; each becomes the tenths level below it.
    SeedTable prp(db, QStringLiteral("TPrp_Proposti"), cols("iPrpId,sPrpSDesc,sPrpLDesc"));
    SeedTable prpLiv(db, QStringLiteral("TPrpScaLiv"),
                     cols("iPrpScaLivId,iScaLivId,iPrpId,fPrpScaLivValore,lPrpScaLivVisible,"
                          "iPrpScaLivOrd,iDtpDtdId"));
    for (int half = 8; half <= 20; ++half) {
        const int id = half - 7;
        const QString s =
            half % 2 ? QStringLiteral("%1.5").arg(half / 2) : QString::number(half / 2);
        prp.add({id, s, QStringLiteral("Proposta %1").arg(s)});
        prpLiv.add({600 + id, tenthsLevel(half / 2), id, half / 2.0, 1, id,
                    half < 10 ? QVariant(1) : (half < 12 ? QVariant(2) : sqlNull())});
    }
}

void writeOutcomeLookups(QSqlDatabase &db)
{
    plainRows(db, "TStaFin", "iStaFinId,sStaFinLDescVexto,sStaFinSDescVexto",
              {{1, "Ammesso alla classe successiva", "AMM"},
               {2, "Non ammesso", "NAM"},
               {3, "Idoneo", "IDO"},
               {5, "Ammesso all'esame di Stato", "AES"},
               {6, "Trasferito", "TRA"},
               {7, "Ritirato", "RIT"},
               {8, "Non scrutinato", "NSC"},
               {11, "Giudizio sospeso", "SOS"}});
    // Positions 1, 2, 17 and 19 are always exported; 20 is a hidden ordinary position.
    struct Pos
    {
        int id;
        int state;
        const char *l;
        const char *s;
        int visible;
    };
    static const Pos positions[] = {
        {Admitted, 1, "Ammesso alla classe successiva", "Ammesso", 1},
        {NotAdmitted, 2, "Non ammesso alla classe successiva", "Non amm.", 1},
        {3, 3, "Idoneo alla classe successiva", "Idoneo", 1},
        {5, 5, "Ammesso all'esame di Stato", "Amm. esame", 1},
        {Suspended, 11, "Sospensione del giudizio", "Sospeso", 1},
        {Transferred, 6, "Trasferito ad altra scuola", "Trasferito", 1},
        {Withdrawn, 7, "Ritirato", "Ritirato", 1},
        {20, 8, "Non scrutinato", "Non scrut.", 0},
    };
    SeedTable dett(db, QStringLiteral("TStaFinDett"),
                   cols("iStaFinDettId,iStaFinId,sStaFinDettLDesc,sStaFinDettSDesc"));
    SeedTable pos(db, QStringLiteral("TPosFin"),
                  cols("iPosFinId,iStaFinId,iStaFinDettId,lPosFinVisible"));
    for (const Pos &p : positions) {
        dett.add({p.id, p.state, p.l, p.s});
        pos.add({p.id, p.state, p.id, p.visible});
    }
    plainRows(db, "TStaAttDett", "iStaAttDettId,sStaAttDettLDesc,sStaAttDettSDesc",
              {{1, "Frequentante", "FREQ"}});
    plainRows(db, "TPosAtt", "iPosAttId,iStaAttId,iStaAttDettId", {{1, 1, 1}});
    plainRows(db, "TStaIniDett", "iStaIniDettId,sStaIniDettLDesc,sStaIniDettSDesc",
              {{1, "Iscritto", "ISCR"}});
    plainRows(db, "TPosIni", "iPosIniId,iStaIniId,iStaIniDettId", {{1, 1, 1}});

    plainRows(db, "TFrm_Formativi", "iFrmId,sFrmLDesc,sFrmSDesc,iFrmPeso,iLocked,lFrmVisible",
              {{1, "Attività sportiva agonistica", "SPORT", 1, 0, 1},
               {2, "Volontariato", "VOLONT", 1, 0, 1},
               {3, "Certificazione linguistica", "LINGUA", 1, 0, 1}});
    plainRows(db, "TSco_Scolastici", "iScoId,sScoLDesc,sScoSDesc,iScoPeso,iLocked,lScoVisible",
              {{1, "Assiduità della frequenza", "FREQ", 1, 0, 1},
               {2, "Interesse e impegno", "IMP", 1, 0, 1},
               {3, "Attività complementari", "COMPL", 1, 0, 1}});
    plainRows(db, "TEnc_Encomio", "iEncId,sEncLDesc,sEncSDesc,iLocked",
              {{1, "Encomio per il profitto", "ENC", 0}, {2, "Menzione d'onore", "MEN", 0}});
    SeedTable gdt(db, QStringLiteral("TGdt_GdzTemplate"), cols("iGdtId,sGdtTitolo,bGdtGiudizio"));
    gdt.add({1, "Ottimo profitto",
             QStringLiteral("L'alunno ha raggiunto risultati ottimi in tutte le discipline.")});
    gdt.add(
        {2, "Profitto sufficiente", QStringLiteral("L'alunno ha raggiunto gli obiettivi minimi.")});
    gdt.add(
        {3, "Giudizio sospeso", QStringLiteral("Il consiglio di classe sospende il giudizio.")});
}

void writeExchangeLookups(QSqlDatabase &db)
{
    // Five send modes in fixed positions: the web send takes the fifth.
    plainRows(db, "TMod_ModoInvio", "iModId,sModDesc,iModOrdine",
              {{1, "Floppy", 1},
               {2, "Cartella di rete", 2},
               {3, "Chiavetta USB", 3},
               {4, "Programma docente", 4},
               {5, "Servizio web", 5}});
    // The print settings as the office's dialog stores them: the working year's first-term,
    // final and deferred sessions side by side, each with the written, oral and practical votes
    // first, then the single votes in tenths and hundredths and religion's judgment.
    QStringList settings;
    const int sessions[] = {FirstTerm, Final, Deferred};
    // 0: none.
    const int components[8] = {WrittenTenths, OralTenths,       PracticalTenths,
                               SingleTenths,  SingleHundredths, ReligionJudgment};
    for (int slot = 1; slot <= 3; ++slot) {
        settings << QStringLiteral("[Sessione%1]").arg(slot)
                 << QStringLiteral("CodSessione%1=%2")
                        .arg(slot)
                        .arg(yearSession(kWorkingYear, sessions[slot - 1]));
        for (int n = 1; n <= 8; ++n)
            settings << QStringLiteral("CodComponente%1=%2").arg(n).arg(components[n - 1]);
    }
    SeedTable par(db, QStringLiteral("TParVal"), cols("iParValId,bParVal"));
    par.add({1, settings.join(QStringLiteral("\r\n"))});
    // Report numbers are the suite's, custom templates included (3000001..3009999). The
    // school's templates are the files of reports/templates/, named by number, described by
    // their title; a number without a file keeps a placeholder body, which loading refuses.
    const int kCustomRegister = 3000001;
    SeedTable rpt(db, QStringLiteral("TYRpt_RptTemplate"),
                  cols("iYRptId,sYRptDesc,iYRptVersion,bYRptReport,sYRptCodAppl"), 3010000);
    QMap<int, QString> reports = {
        {16005, "Brogliaccio invio"},
        {16006, "Brogliaccio raccolta"},
        {16089, "Voti"},
        {16090, "Note"},
        {16091, "Debiti"},
        {16100, "Comunicazione password"},
        {16169, "Registro A4 - esiti"},
        {16170, "Registro A3 - esiti"},
        {16171, "Registro A4 - voti"},
        {16172, "Registro A3 - voti"},
        {16173, "Registro A3 - debiti"},
        {16174, "Registro A3 - crediti"},
        {16175, "Registro A3 - assenze"},
        {16179, "Registro A3 - qualifica"},
        {16180, "Registro A3 - esame"},
        {16181, "Registro A3 - ammissione"},
        {16182, "Registro A4 - qualifica"},
        {16183, "Registro A4 - esame"},
        {16184, "Registro A3 - riepilogo"},
    };
    initReportTemplates();
    const QDir files(QStringLiteral(":/reports/templates"));
    for (const QString &name : files.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
        bool numbered = false;
        const int id = QFileInfo(name).baseName().toInt(&numbered);
        if (numbered)
            reports.insert(id, QString());
    }
    for (auto it = reports.cbegin(); it != reports.cend(); ++it) {
        QFile file(QStringLiteral(":/reports/templates/%1.xml").arg(it.key()));
        if (!file.open(QIODevice::ReadOnly)) {
            rpt.add({it.key(), it.value(), sqlNull(),
                     QByteArray("FRF placeholder ") + QByteArray::number(it.key()), "QEL"});
            continue;
        }
        const QByteArray body = file.readAll();
        QString title;
        try {
            title = frReadTemplate(body).Title;
        } catch (const EVxException &e) {
            throw SeedError(QStringLiteral("Modello %1: %2").arg(it.key()).arg(e.message()));
        }
        // A custom template is listed by the register wizard only with a version: the one in
        // preparation, a copy of the custom register, has none yet.
        if (it.key() == kCustomRegister) {
            rpt.add({it.key(), title, 1, body, "QEL"});
            rpt.add({kCustomRegister + 1, "Registro in preparazione", sqlNull(), body, "QEL"});
        } else {
            rpt.add({it.key(), title, sqlNull(), body, "QEL"});
        }
    }
    SeedTable xml(db, QStringLiteral("TYXml_XmlDefinizioni"),
                  cols("iYXmlId,sYXmlKey,sYXmlCodAppl,bYXmlText"));
    xml.add({1, "QEL_ALUFLT", "ZUN",
             QStringLiteral("<filtro><campo nome=\"sAnaCognome\" tipo=\"stringa\"/></filtro>")});
    plainRows(db, "TQua_Qualifiche", "iQuaId,sQuaCod", {{1, "DIRIGENTE.SCOL."}, {2, "DSGA"}});
    plainRows(db, "TQuaDett", "iQuaDettId,iQuaId,sQuaDettLDesc",
              {{1, 1, "Il Dirigente Scolastico"}, {2, 2, "Il Direttore dei servizi"}});
    plainRows(db, "TQuf_QuaFirme", "iQufId,iQuaId", {{1, 1}, {2, 2}});
    plainRows(db, "TFir_Firme", "iFirId,iQufId,iDwgId,sFirNome,dStart",
              {{1, 1, kInstitute, "Prof.ssa Maria Bianchi", QDate(2005, 9, 1)},
               {2, 2, kInstitute, "Dott. Carlo Neri", QDate(2005, 9, 1)}});
    SeedTable cfp(db, QStringLiteral("TCfp_FirmaPreside"),
                  cols("iCfpId,iAnsId,sFirmaSes1,sFirmaSes2,sFirmaSes3,sFirmaDiff"));
    // The deferred session's text stays empty: the headmaster's signature then applies.
    cfp.add({1, kWorkingYear, "Il Dirigente Scolastico Prof.ssa Maria Bianchi",
             "Il Dirigente Scolastico Prof.ssa Maria Bianchi",
             "Il Dirigente Scolastico Prof.ssa Maria Bianchi", QStringLiteral("")});
}

} // namespace

void writeLookups(QSqlDatabase &db)
{
    writeRegistry(db);
    writeStructure(db);
    writeSubjects(db);
    writeScales(db);
    writeOutcomeLookups(db);
    writeExchangeLookups(db);
}

} // namespace demo
