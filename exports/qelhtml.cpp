#include "exports/qelhtml.h"

#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/cp1252.h"
#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSqlRecord>

namespace {

// The pupils of the classes, in register order; the class ids are checked decimals.
const char kClsAlu[] =
    "SELECT Sit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, Ana.iAnaId, Sit.iSitId, Cp.iPstId, "
    "Cp.iClsId FROM TSit_Situazioni Sit "
    "JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "
    "JOIN TClsPst Cp ON Cp.iClsPstId = Sit.iClsPstId "
    "WHERE Cp.iClsId IN (%1) AND Sit.iSitOrdine = 1 "
    "ORDER BY Sit.iSitPosReg, Ana.sAnaCognomeNomeIdx";

const char kAnsAlu[] =
    "SELECT Ans.iAnsId, Sit.iAnaId, Sit.iSitId, Cls.sClsAnnoScol AS sAnnoScol, Cls.sClsSDesc "
    "FROM TSit_Situazioni Sit "
    "JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Sit.dStart "
    "JOIN TClsPst Cp ON Cp.iClsPstId = Sit.iClsPstId "
    "JOIN VCls_Classi Cls ON Cls.iClsId = Cp.iClsId "
    "WHERE Sit.iAnaId = :iAnaId AND Sit.iSitOrdine = 1 ORDER BY Ans.iAnsId";

// Grouped, not DISTINCT: a subject the pupil met under two plans is one row, in plan order.
const char kMatAlu[] =
    "SELECT Mat.iMatId, Mat.sMatLDesc, Mat.sMatSDesc FROM TSit_Situazioni Sit "
    "JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Sit.dStart "
    "JOIN TClsPst Cp ON Cp.iClsPstId = Sit.iClsPstId "
    "JOIN TClsSes Cs ON Cs.iClsId = Cp.iClsId "
    "JOIN TClsSesMat Csm ON Csm.iClsSesId = Cs.iClsSesId "
    "JOIN TClsMatCmp Cmc ON Cmc.iClsSesMatId = Csm.iClsSesMatId "
    "JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId "
    "JOIN TMatRmaPst Mrp ON Mrp.iMatRmaId = Csm.iMatRmaId AND Mrp.iPstId = Cp.iPstId "
    "JOIN TMat_Materie Mat ON Mat.iMatId = Rma.iMatId "
    "WHERE Sit.iAnaId = :iAnaId AND (Ans.iAnsId = :iAnsId OR 0 = :iAnsId) "
    "GROUP BY Mat.iMatId, Mat.sMatLDesc, Mat.sMatSDesc "
    "ORDER BY MIN(Cp.iPstId), MIN(Mrp.iMatRmaPstOrdine)";

const char kAssAlu[] =
    "SELECT SUM(Ass.iAssOre) AS nTotAss FROM TAss_Assenze Ass "
    "JOIN TClsSesMat Csm ON Csm.iClsSesMatId = Ass.iClsSesMatId "
    "JOIN TClsSes Cs ON Cs.iClsSesId = Csm.iClsSesId "
    "JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId "
    "WHERE Ass.iSitId = :iSitId AND (Rma.iMatId = :iMatId OR 0 = :iMatId) "
    "AND (Cs.iAnsSesDwgId = :iAnsSesDwgId OR 0 = :iAnsSesDwgId)";

const char kDebAlu[] =
    "SELECT Mat.sMatSDesc, Mat.sMatLDesc, Deb.iDebId AS DebEsiste, "
    "Ded.sDedLDesc AS sDebEsitoDescr, Ded.sDedSDesc AS sDebEsitoSigla, "
    "Dtd.sDtdLDesc AS sDebTipoDescr, Dtd.sDtdSDesc AS sDebTipoSigla, "
    "Des.iDesSufficiente AS iDebSanato, "
    "(SELECT MIN(Mrp.iMatRmaPstOrdine) FROM TMatRmaPst Mrp "
    " JOIN TMatRma Rma ON Rma.iMatRmaId = Mrp.iMatRmaId "
    " WHERE Rma.iMatId = Deb.iMatId AND Mrp.iPstId = Cp.iPstId) AS iMatRmaPstOrdine "
    "FROM TDeb_Debiti Deb JOIN TSit_Situazioni Sit ON Sit.iSitId = Deb.iSitId "
    "JOIN TClsPst Cp ON Cp.iClsPstId = Sit.iClsPstId "
    "JOIN TMat_Materie Mat ON Mat.iMatId = Deb.iMatId "
    "LEFT JOIN TDesDed DesDed ON DesDed.iDesDedId = Deb.iDesDedId "
    "LEFT JOIN TDes_DebEsito Des ON Des.iDesId = DesDed.iDesId "
    "LEFT JOIN TDed_DebEsDett Ded ON Ded.iDedId = DesDed.iDedId "
    "LEFT JOIN TDtpDtd DtpDtd ON DtpDtd.iDtpDtdId = Deb.iDtpDtdId "
    "LEFT JOIN TDtd_DebTpDett Dtd ON Dtd.iDtdId = DtpDtd.iDtdId "
    "WHERE Deb.iSitId = :iSitId AND (Deb.iMatId = :iMatId OR 0 = :iMatId) ORDER BY 9, 1";

// The votes of the final-kind sessions, or of one component of one year-session.
const char kVotFrom[] =
    "SELECT Vot.iScaLivId AS iValId, Liv.sLivSDesc AS sValSDesc, Liv.sLivLDesc AS sValLDesc, "
    "Sl.iScaLivSufficiente AS iValSuff, Sl.iScaLivValore AS iValValore, "
    "Sl.iScaLivInMedia AS iValInMedia FROM TVot_Voti Vot "
    "JOIN TClsMatCmp Cmc ON Cmc.iClsMatCmpId = Vot.iClsMatCmpId "
    "JOIN TClsSesMat Csm ON Csm.iClsSesMatId = Cmc.iClsSesMatId "
    "JOIN TClsSes Cs ON Cs.iClsSesId = Csm.iClsSesId "
    "JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = Cs.iAnsSesDwgId "
    "JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId "
    "JOIN TScaLiv Sl ON Sl.iScaLivId = Vot.iScaLivId "
    "JOIN TLiv_Livelli Liv ON Liv.iLivId = Sl.iLivId WHERE Vot.iSitId = :iSitId ";
const char kVtpFrom[] =
    "SELECT Vtp.iPrpScaLivId AS iValId, Prp.sPrpSDesc AS sValSDesc, Prp.sPrpLDesc AS sValLDesc, "
    "Sl.iScaLivSufficiente AS iValSuff, Psl.fPrpScaLivValore AS iValValore, "
    "Sl.iScaLivInMedia AS iValInMedia FROM TVtp_Proposti Vtp "
    "JOIN TClsMatCmp Cmc ON Cmc.iClsMatCmpId = Vtp.iClsMatCmpId "
    "JOIN TClsSesMat Csm ON Csm.iClsSesMatId = Cmc.iClsSesMatId "
    "JOIN TClsSes Cs ON Cs.iClsSesId = Csm.iClsSesId "
    "JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = Cs.iAnsSesDwgId "
    "JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId "
    "JOIN TPrpScaLiv Psl ON Psl.iPrpScaLivId = Vtp.iPrpScaLivId "
    "JOIN TPrp_Proposti Prp ON Prp.iPrpId = Psl.iPrpId "
    "LEFT JOIN TScaLiv Sl ON Sl.iScaLivId = Psl.iScaLivId WHERE Vtp.iSitId = :iSitId ";
const char kFinalSessions[] = "AND (Rma.iMatId = :iMatId OR 0 = :iMatId) AND Asd.iSfiId = 2";
const char kOneSession[] = "AND Rma.iMatId = :iMatId AND Cmc.iCmpScaId = :iCmpScaId "
                           "AND Cs.iAnsSesDwgId = :iAnsSesDwgId";

const char kEsiAlu[] =
    "SELECT Sit.iPosFinId, Pf.sStaFinDettSDesc, Pf.sStaFinDettLDesc FROM TSit_Situazioni Sit "
    "LEFT JOIN VPosFin Pf ON Pf.iPosFinId = Sit.iPosFinId WHERE Sit.iSitId = :iSitId";

// The status is the final position's, as the class export's credits read it.
const char kCreAlu[] =
    "SELECT Sit.iSitId, Cre.iCreId, Cls.sClsSDesc, Cls.sClsAnnoScol AS sAnnoScol, "
    "Cre.fCreMediaVoti, Bnd.iBndId, "
    "CAST(Bnd.iBndMedMin || '-' || Bnd.iBndMedMax AS VARCHAR(30)) AS sBndMed, "
    "CAST(Bnd.iBndCreMin || '-' || Bnd.iBndCreMax AS VARCHAR(30)) AS sBndCre, Bnd.sBndDesc, "
    "Cre.iCrePerMedia, Cre.iCreOutBanda, Cre.iCreFrmSco, Cre.iCreSosp, Cre.iCreRecup, "
    "Cre.iCreCredito, Enc.iEncId, Enc.sEncSDesc, Cls.iAcsId, Cls.iAnsId, Sit.iAnaId, "
    "Cre.dInsert, Cre.dStart, Cre.dEnd FROM TSit_Situazioni Sit "
    "JOIN TClsPst Cp ON Cp.iClsPstId = Sit.iClsPstId "
    "JOIN VCls_Classi Cls ON Cls.iClsId = Cp.iClsId "
    "LEFT JOIN TCre_Crediti Cre ON Cre.iSitId = Sit.iSitId "
    "LEFT JOIN TBnd_Bande Bnd ON Bnd.iBndId = Cre.iBndId "
    "LEFT JOIN TEnc_Encomio Enc ON Enc.iEncId = Cre.iEncId "
    "LEFT JOIN TPosFin Pf ON Pf.iPosFinId = Sit.iPosFinId "
    "WHERE Sit.iAnaId = :iAnaId AND Cls.iAcsAnnoCorso >= 3 "
    "AND (Pf.iStaFinId IN (1, 3, 5) OR Pf.iStaFinId IS NULL) "
    "AND (Sit.iSitOrdine = 1 OR Cre.lCreConsideraCurrDis = 1) ORDER BY Cls.iClsOrdine";

const char kTotCre[] =
    "SELECT Cre.iCreRecup, Cre.iCreCredito FROM TSit_Situazioni Sit "
    "LEFT JOIN TCre_Crediti Cre ON Cre.iSitId = Sit.iSitId "
    "WHERE Sit.iAnaId = :iAnaId AND (Sit.iSitOrdine = 1 OR Cre.lCreConsideraCurrDis = 1)";

const char kSesAlu[] =
    "SELECT Sit.iSitId, Asd.iAnsSesDwgId, Asd.dAnsSesDwgInizio, Asd.dAnsSesDwgFine, Asd.iAnsId, "
    "Asd.iAnsSesDwgOrdine, Ans.iAnsValore AS Anno, Ses.sSesDesc, Ses.sSesNote, Sfi.sSfiSDesc, "
    "Sfi.sSfiLDesc FROM TSit_Situazioni Sit "
    "JOIN TClsPst Cp ON Cp.iClsPstId = Sit.iClsPstId "
    "JOIN TClsSes Cs ON Cs.iClsId = Cp.iClsId "
    "JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = Cs.iAnsSesDwgId "
    "JOIN TAns_AnniScolast Ans ON Ans.iAnsId = Asd.iAnsId "
    "JOIN TSes_Sessione Ses ON Ses.iSesId = Asd.iSesId "
    "LEFT JOIN TSfi_SessFinale Sfi ON Sfi.iSfiId = Asd.iSfiId "
    "WHERE Sit.iSitId = :iSitId ORDER BY Asd.iAnsSesDwgOrdine";

const char kCmpAlu[] =
    "SELECT DISTINCT V.sCmpLDesc, V.sCmpSDesc, V.sScaDesc, V.iCmpScaId, V.iCmpScaTass, "
    "V.iCmpScaInMedia, V.iScaId, V.iCmpScaOrdine FROM VClsMatCmp V "
    "JOIN TSit_Situazioni Sit ON Sit.iClsPstId = V.iClsPstId "
    "WHERE Sit.iSitId = :iSitId AND V.iAnsSesDwgId = :iAnsSesDwgId AND V.iCmpScaTass = 0 "
    "ORDER BY V.iScaId, V.iCmpScaOrdine";

// One row per subject, however many components it has.
const char kMatSes[] =
    "SELECT Sit.iSitId, Sit.iAnaId, V.iMatId, V.sMatLDesc, V.sMatSDesc, V.sMatCodVexto, "
    "V.sMatCodMin FROM VClsMatCmp V JOIN TSit_Situazioni Sit ON Sit.iClsPstId = V.iClsPstId "
    "WHERE Sit.iSitId = :iSitId AND V.iAnsSesDwgId = :iAnsSesDwgId "
    "GROUP BY Sit.iSitId, Sit.iAnaId, V.iMatId, V.sMatLDesc, V.sMatSDesc, V.sMatCodVexto, "
    "V.sMatCodMin ORDER BY MIN(V.iMatRmaPstOrdine), MIN(V.iScaId), MIN(V.iCmpScaOrdine)";

const char kElencoSit[] =
    "SELECT DISTINCT Rec.iSitId, Cp.iClsId, Cls.sClsSDesc, Cls.sClsAnnoScol, Afd.iFreId, "
    "Fre.sFreSDesc FROM TRec_Recuperi Rec JOIN TSit_Situazioni Sit ON Sit.iSitId = Rec.iSitId "
    "JOIN TClsPst Cp ON Cp.iClsPstId = Sit.iClsPstId "
    "JOIN VCls_Classi Cls ON Cls.iClsId = Cp.iClsId "
    "JOIN TAnsFreDwg Afd ON Afd.iAnsFreDwgId = Rec.iAnsFreDwgId "
    "JOIN TFre_FasiRec Fre ON Fre.iFreId = Afd.iFreId "
    "WHERE Sit.iAnaId = :iAnaId AND Sit.iSitOrdine = 1";

const char kDettRec[] =
    "SELECT DISTINCT Tre.sTreSDesc, Tre.iTrePeso, Ere.sEreSDesc, Ere.iPesoRec, Rec.iMatId, "
    "Mat.sMatSDesc, Fre.sFreSDesc, Pvr.sPvrSDesc, Rec.dRecAttr, Rec.dRecVer "
    "FROM TRec_Recuperi Rec JOIN TMat_Materie Mat ON Mat.iMatId = Rec.iMatId "
    "JOIN TAnsFreDwg Afd ON Afd.iAnsFreDwgId = Rec.iAnsFreDwgId "
    "JOIN TFre_FasiRec Fre ON Fre.iFreId = Afd.iFreId "
    "LEFT JOIN TEre_EsitoRec Ere ON Ere.iEreId = Rec.iEreId "
    "LEFT JOIN TTre_TipoRec Tre ON Tre.iTreId = Rec.iTreId "
    "LEFT JOIN TPvr_ProvaRecupero Pvr ON Pvr.iPvrId = Rec.iPvrId "
    "WHERE Rec.iSitId = :iSitId AND Afd.iFreId = :iFreId ORDER BY Mat.sMatSDesc";

const QString kNbsp = QStringLiteral("&nbsp;");
const QString kMeta = QStringLiteral(
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">");
const QString kHead = QStringLiteral("<head>") + kMeta + QStringLiteral("</head>");
const QString kBody = QStringLiteral("<body bgcolor=\"lightYellow\" text=\"#0000FF\">");
const QString kEnd = QStringLiteral("</body></html>");

// A database text as plain page text: markup in a name or description shows as written.
QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString orNbsp(const QString &text)
{
    return text.trimmed().isEmpty() ? kNbsp : text;
}

QString text(const TqelHtmlRow &row, const QString &field)
{
    return row.value(field).toString();
}

int integer(const TqelHtmlRow &row, const char *field)
{
    return row.value(QLatin1String(field)).toInt();
}

QString cellText(const QString &value)
{
    return QStringLiteral("<font face=\"Times New Roman\" size=\"2\" color=\"#000000\">%1</font>")
        .arg(value);
}

QString cell(const QString &attributes, const QString &value)
{
    return QStringLiteral("<td %1>%2</td>").arg(attributes, cellText(value));
}

QString headerCell(const QString &attributes, const QString &value)
{
    return QStringLiteral("<td bgcolor=\"#99CCFF\" %1><b>%2</b></td>").arg(attributes,
                                                                          cellText(value));
}

QString valueCell(const QString &attributes, const QString &value)
{
    return cell(QStringLiteral("bgcolor=\"#FFFFFF\" ") + attributes, value);
}

QString row(const QString &cells)
{
    return QStringLiteral("<tr>") + cells + QStringLiteral("</tr>");
}

QString debtColour(const QString &state, const QString &white)
{
    if (state == QLatin1String("SI"))
        return QStringLiteral("#99FF66");
    if (state == QLatin1String("NO"))
        return QStringLiteral("red");
    return white;
}

QString heading(const QString &title)
{
    return QStringLiteral("<h3 align=\"center\"><font color=\"#0000FF\">%1</font></h3>")
        .arg(title);
}

QString historyDocument(const QString &title, const QString &tableAttributes,
                        const QString &rows)
{
    return QStringLiteral("<html>") + kHead + kBody + heading(title) +
           QStringLiteral("<table align=\"center\" border=\"1\"%1>").arg(tableAttributes) +
           rows + QStringLiteral("</table>") + kEnd;
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString crlfLines(const QStringList &lines)
{
    QString content;
    for (const QString &line : lines)
        content += line + QStringLiteral("\r\n");
    return content;
}

void writePage(const QString &path, const QStringList &lines)
{
    const QString content = crlfLines(lines);
    std::optional<QByteArray> bytes = encodeCp1252(content);
    if (!bytes) {
        // Nothing is lost: what Windows-1252 cannot hold becomes a character reference.
        QString referenced;
        for (const uint code : content.toUcs4()) {
            const QString ch = QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
            referenced += encodeCp1252(ch) ? ch : QStringLiteral("&#%1;").arg(code);
        }
        bytes = encodeCp1252(referenced);
    }
    // The export makes its files durable together once all are written.
    VxReplaceFile(path, *bytes, TVxFileSync::Later);
}

// The class ids go into the statement's text: only decimal ids are accepted.
QString classIdList(const QString &classIds)
{
    QStringList ids;
    for (const QString &item : classIds.split(QLatin1Char(','))) {
        bool ok = false;
        const int id = item.trimmed().toInt(&ok);
        if (!ok)
            throw EVxException(QStringLiteral("Classe non valida: %1").arg(item.trimmed()));
        ids << QString::number(id);
    }
    return ids.join(QStringLiteral(", "));
}

} // namespace

QVariant TqelHtmlRow::value(const QString &name) const
{
    for (int i = 0; i < names->size(); ++i)
        if (names->at(i).compare(name, Qt::CaseInsensitive) == 0)
            return values.at(i);
    return QVariant();
}

TdmqelHtml::Rows TdmqelHtml::rows(const QString &sql, const TVxFieldValues &values)
{
    QSqlQuery &query = m_transaction->Exec(sql, values);
    auto columns = m_columns.find(sql);
    if (columns == m_columns.end()) {
        const QSqlRecord record = query.record();
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        columns = m_columns.emplace(sql, names).first;
    }
    Rows result;
    while (fetchNext(query)) {
        TqelHtmlRow row{&columns->second, {}};
        for (int i = 0; i < columns->second.size(); ++i)
            row.values << query.value(i);
        result.push_back(std::move(row));
    }
    return result;
}

QString TdmqelHtml::firstField(const QString &sql, const TVxFieldValues &values,
                               const QString &field)
{
    const Rows found = rows(sql, values);
    return orNbsp(found.empty() ? QString() : escaped(text(found.front(), field)));
}

QString TdmqelHtml::BuildHistory(const QString &classIds, const QString &folder)
{
    PupilList.clear();
    const QString listPath = QDir::cleanPath(folder + QStringLiteral("../qek_alunni.txt"));
    QFile listFile(listPath);
    if (listFile.exists()) {
        if (!VxOpenRegularFile(listFile, listPath))
            throw EVxException(QStringLiteral("Impossibile leggere il file %1: %2")
                                   .arg(nativePath(listPath), VxFileErrorText(listFile)));
        QString content = decodeCp1252(listFile.readAll());
        content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (content.endsWith(QLatin1Char('\n')))
            content.chop(1);
        if (!content.isEmpty())
            PupilList = content.split(QLatin1Char('\n'));
    }

    // The averages keep their school year for whoever computes next: give it back.
    const int ansIdMedia = AnsIdMedia();
    {
        TVxTransactionScope reads(qqoVxGlobConn());
        m_transaction = &reads.transaction();
        try {
            WriteClassHistories(classIds, folder);
        } catch (...) {
            m_transaction = nullptr;
            SetAnsIdMedia(ansIdMedia);
            throw;
        }
        m_transaction = nullptr;
        SetAnsIdMedia(ansIdMedia);
        reads.Commit();
    }

    // The pages are written: a list that cannot be saved is told, not taken for a failure.
    try {
        VxReplaceFile(listPath, encodeCp1252(crlfLines(PupilList), '?'));
    } catch (const EVxException &e) {
        return QStringLiteral("Le pagine dello storico sono state scritte, ma non è stato "
                              "possibile salvare l'elenco degli alunni.\r") +
               e.message();
    }
    return QString();
}

void TdmqelHtml::WriteClassHistories(const QString &classIds, const QString &folder)
{
    // A link someone planted at the history's or a pupil's folder is refused by name: the pages
    // never replace the files of the folder it points to, and the link stays.
    HistoryDir = VxMakeOwnFolder(folder, QStringLiteral("storico")) + QLatin1Char('/');
    const Rows pupils = rows(QString::fromLatin1(kClsAlu).arg(classIdList(classIds)), {});
    for (const TqelHtmlRow &pupil : pupils) {
        m_pupil = pupil;
        PupilDir = VxMakeOwnFolder(HistoryDir, QString::number(integer(pupil, "iSitId"))) +
                   QLatin1Char('/');
        PupilName = text(pupil, QStringLiteral("sAnaCognome")) + QLatin1Char(' ') +
                    text(pupil, QStringLiteral("sAnaNome"));
        WritePupilPages();
        SetPupilListEntry(QString::number(integer(pupil, "iAnaId")), PupilDir);
        QCoreApplication::processEvents();
    }
}

void TdmqelHtml::SetPupilListEntry(const QString &key, const QString &value)
{
    const QString line = key + QLatin1Char('=') + value;
    for (QString &entry : PupilList) {
        const int equals = entry.indexOf(QLatin1Char('='));
        if (equals >= 0 && entry.left(equals).compare(key, Qt::CaseInsensitive) == 0) {
            entry = line;
            return;
        }
    }
    PupilList << line;
}

void TdmqelHtml::WritePupilPages()
{
    writePage(
        PupilDir + QStringLiteral("main.html"),
        {QStringLiteral(
             "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Frameset//EN\" "
             "\"http://www.w3.org/TR/html4/frameset.dtd\">"),
         QStringLiteral("<html><head>") + kMeta +
             QStringLiteral(
                 "<title>Scheda storica</title></head><frameset rows=\"50, *\">"
                 "<frame src=\"intestazione.html\" noresize scrolling=\"no\">"
                 "<frameset cols=\"15%, 85%\"><frame name=\"fixed\" src=\"anni.html\" noresize>"
                 "<frame name=\"dynamic\" src=\"Generale.html\" noresize></frameset>"
                 "</frameset></html>")});
    writePage(PupilDir + QStringLiteral("intestazione.html"),
              {QStringLiteral("<html>") + kHead + kBody +
               QStringLiteral("<center><h3>%1</h3></center>").arg(escaped(PupilName)) + kEnd});

    const auto item = [](const QString &file, const QString &label) {
        return QStringLiteral("<li><a href=\"%1\" target=\"dynamic\">%2</a></li>")
            .arg(file, escaped(label));
    };
    QString menu = item(QStringLiteral("Generale.html"), QStringLiteral("Generale"));
    WriteHistoryPage(0, 0, QStringLiteral("Generale"));
    const Rows years = rows(QString::fromLatin1(kAnsAlu),
                            valuesOf({{"iAnaId", integer(m_pupil, "iAnaId")}}));
    for (const TqelHtmlRow &year : years) {
        const QString annoScol = text(year, QStringLiteral("sAnnoScol"));
        menu += item(annoScol.left(4) + QStringLiteral(".html"), annoScol);
        WriteHistoryPage(integer(year, "iAnsId"), integer(year, "iSitId"), annoScol);
    }
    menu += item(QStringLiteral("Recuperi.html"), QStringLiteral("Recuperi"));
    const QString legend = QStringLiteral("<font size=\"2\" color=\"#000000\">%1</font>");
    writePage(PupilDir + QStringLiteral("anni.html"),
              {QStringLiteral("<html>") + kHead + kBody +
               QStringLiteral("<font color=\"#000000\" size=\"2\" face=\"Times New Roman\">"
                              "<menu>") +
               menu + QStringLiteral("</menu>") + QStringLiteral("<p>&nbsp;</p>").repeated(5) +
               QStringLiteral("<table align=\"center\" border=\"0\" width=\"150\">") +
               row(QStringLiteral("<td bgcolor=\"#FF0000\">%1</td>")
                       .arg(legend.arg(QStringLiteral("&nbsp;Debito non sanato")))) +
               row(QStringLiteral("<td bgcolor=\"#99FF66\">%1</td>")
                       .arg(legend.arg(QStringLiteral("&nbsp;Debito sanato")))) +
               QStringLiteral("</table></font>") + kEnd});

    WriteRecuperiPage(PupilDir);
}

void TdmqelHtml::WriteHistoryPage(int iAnsId, int iSitId, const QString &pageName)
{
    if (pageName.compare(QLatin1String("GENERALE"), Qt::CaseInsensitive) == 0)
        WriteGeneralPage();
    else if (iAnsId == CurrentAnsId)
        WriteCurrentYearPage(iSitId, PupilDir + pageName.left(4) + QStringLiteral(".html"));
    else
        WriteYearPage(iAnsId, iSitId, pageName);
}

void TdmqelHtml::WriteGeneralPage()
{
    const int iAnaId = integer(m_pupil, "iAnaId");
    const Rows years = rows(QString::fromLatin1(kAnsAlu), valuesOf({{"iAnaId", iAnaId}}));
    const QString w50 = QStringLiteral("width=\"50\" align=\"center\"");
    QString yearCells, labelCells, totalCells, outcomeCells;
    for (const TqelHtmlRow &year : years) {
        const int sit = integer(year, "iSitId");
        yearCells += headerCell(
            QStringLiteral("colspan=\"3\" width=\"150\" align=\"center\""),
            kNbsp + escaped(text(year, QStringLiteral("sAnnoScol")) + QStringLiteral(" - ") +
                            text(year, QStringLiteral("sClsSDesc"))));
        for (const char *label : {"Voto", "Assenze", "Debito"})
            labelCells += headerCell(QStringLiteral("width=\"50\""), QString::fromLatin1(label));
        totalCells += headerCell(w50, GetVoteText(sit, 0)) +
                      headerCell(w50, GetAbsenceHours(sit, 0, 0)) +
                      headerCell(w50, GetDebtText(sit, 0, QStringLiteral("Totali")));
        outcomeCells += headerCell(QStringLiteral("colspan=\"3\" width=\"150\""),
                                   GetOutcomeText(sit, QStringLiteral("sStaFinDettSDesc")));
    }
    const QString w434 = QStringLiteral("width=\"434\"");
    QString table = row(headerCell(QStringLiteral("width=\"434\" rowspan=\"2\""),
                                   QStringLiteral("&nbsp;Materia")) +
                        yearCells) +
                    row(labelCells);
    const Rows subjects =
        rows(QString::fromLatin1(kMatAlu), valuesOf({{"iAnaId", iAnaId}, {"iAnsId", 0}}));
    for (const TqelHtmlRow &subject : subjects) {
        const int mat = integer(subject, "iMatId");
        QString cells =
            valueCell(w434, kNbsp + escaped(text(subject, QStringLiteral("sMatLDesc"))));
        for (const TqelHtmlRow &year : years) {
            const int sit = integer(year, "iSitId");
            cells += valueCell(w50, GetVoteText(sit, mat, QStringLiteral("sValSDesc"))) +
                     valueCell(w50, GetAbsenceHours(sit, mat, 0)) +
                     cell(QStringLiteral("bgcolor=\"%1\" width=\"50\"")
                              .arg(debtColour(
                                  GetDebtText(sit, mat, QStringLiteral("iDebSanato")),
                                  QStringLiteral("FFFFFF"))),
                          kNbsp);
        }
        table += row(cells);
    }
    table += row(headerCell(w434, QStringLiteral("&nbsp;Totali")) + totalCells);
    table += row(headerCell(w434, QStringLiteral("&nbsp;Esito      finale")) + outcomeCells);

    QString classes, labels, values;
    const Rows credits = rows(QString::fromLatin1(kCreAlu), valuesOf({{"iAnaId", iAnaId}}));
    const QString w80 = QStringLiteral("width=\"80\"");
    for (const TqelHtmlRow &credit : credits) {
        classes += headerCell(QStringLiteral("colspan=\"2\" width=\"160\" align=\"center\""),
                              escaped(text(credit, QStringLiteral("sClsSDesc"))));
        labels += headerCell(w80, QStringLiteral("Credito attribuito")) +
                  headerCell(w80, QStringLiteral("Credito Recuperato"));
        for (const char *field : {"iCreCredito", "iCreRecup"})
            values += valueCell(w80, QStringLiteral("<b>%1</b>")
                                         .arg(orNbsp(text(credit, QString::fromLatin1(field)))));
    }
    const QString creditTable =
        QStringLiteral("<html>") + kHead +
        QStringLiteral("<body><p style=\"margin-top: 0; margin-bottom: 0\">&nbsp;</p>"
                       "<table align=\"center\" border=\"1\" width=\"640\">") +
        row(classes +
            headerCell(QStringLiteral("width=\"160\" rowspan=\"2\""), QStringLiteral("Totale"))) +
        row(labels) +
        row(values + valueCell(QStringLiteral("width=\"160\""),
                               QStringLiteral("<b>%1</b>").arg(GetTotalCredits(iAnaId)))) +
        QStringLiteral("</table>") + kEnd;

    writePage(PupilDir + QStringLiteral("Generale.html"),
              {historyDocument(QStringLiteral("Generale"), QString(), table), creditTable});
}

void TdmqelHtml::WriteCurrentYearPage(int iSitId, const QString &fileName)
{
    QStringList documents;
    const Rows sessions = rows(QString::fromLatin1(kSesAlu), valuesOf({{"iSitId", iSitId}}));
    const QString w60 = QStringLiteral("width=\"60\" align=\"center\"");
    for (const TqelHtmlRow &session : sessions) {
        const int ses = integer(session, "iAnsSesDwgId");
        const TVxFieldValues key = valuesOf({{"iSitId", iSitId}, {"iAnsSesDwgId", ses}});
        QString componentCells, labelCells;
        std::vector<int> components;
        for (const TqelHtmlRow &component : rows(QString::fromLatin1(kCmpAlu), key)) {
            componentCells +=
                headerCell(QStringLiteral("colspan=\"2\" width=\"120\" align=\"center\""),
                           escaped(text(component, QStringLiteral("sCmpLDesc"))));
            labelCells += headerCell(QStringLiteral("width=\"60\""), QStringLiteral("Voto")) +
                          headerCell(QStringLiteral("width=\"60\""),
                                     QStringLiteral("Voto      proposto"));
            components.push_back(integer(component, "iCmpScaId"));
        }
        QString table = row(headerCell(QStringLiteral("width=\"307\" rowspan=\"2\""),
                                       QStringLiteral("&nbsp;Materia")) +
                            componentCells +
                            headerCell(QStringLiteral("width=\"80\" rowspan=\"2\""),
                                       QStringLiteral("Assenze"))) +
                        row(labelCells);
        for (const TqelHtmlRow &subject : rows(QString::fromLatin1(kMatSes), key)) {
            const int mat = integer(subject, "iMatId");
            QString cells = valueCell(QStringLiteral("width=\"307\""),
                                      kNbsp + escaped(text(subject, QStringLiteral("sMatSDesc"))));
            for (const int cmp : components) {
                const QString field = QStringLiteral("sValSDesc");
                cells += valueCell(w60, kNbsp + GetSessionVoteText(iSitId, mat, cmp, ses, field)) +
                         valueCell(w60,
                                   kNbsp + GetSessionProposedText(iSitId, mat, cmp, ses, field));
            }
            cells += valueCell(QStringLiteral("width=\"80\" align=\"center\""),
                               GetAbsenceHours(iSitId, mat, ses));
            table += row(cells);
        }
        documents << historyDocument(escaped(text(session, QStringLiteral("sSesDesc"))),
                                     QString(), table);
    }
    writePage(fileName, documents);
}

void TdmqelHtml::WriteYearPage(int iAnsId, int iSitId, const QString &pageName)
{
    const QString field = QStringLiteral("sValLDesc");
    const QString w100 = QStringLiteral("width=\"100\" align=\"center\"");
    const QString w83 = QStringLiteral("width=\"83\" align=\"center\"");
    QString table =
        row(headerCell(QStringLiteral("width=\"307\""), QStringLiteral("&nbsp;Materia")) +
            headerCell(QStringLiteral("width=\"100\""), QStringLiteral("Voto")) +
            headerCell(QStringLiteral("width=\"100\""), QStringLiteral("Voto      proposto")) +
            headerCell(QStringLiteral("width=\"83\""), QStringLiteral("Assenze")) +
            headerCell(QStringLiteral("width=\"101\""), QStringLiteral("Debito")));
    const Rows subjects =
        rows(QString::fromLatin1(kMatAlu),
             valuesOf({{"iAnaId", integer(m_pupil, "iAnaId")}, {"iAnsId", iAnsId}}));
    for (const TqelHtmlRow &subject : subjects) {
        const int mat = integer(subject, "iMatId");
        table += row(
            valueCell(QStringLiteral("width=\"307\""),
                      kNbsp + escaped(text(subject, QStringLiteral("sMatSDesc")))) +
            valueCell(w100, GetVoteText(iSitId, mat, field)) +
            valueCell(w100, GetProposedVoteText(iSitId, mat, field)) +
            valueCell(w83, GetAbsenceHours(iSitId, mat, 0)) +
            QStringLiteral("<td bgcolor=\"%1\" width=\"101\"><font color=\"#FFFFFF\">%2</font></td>")
                .arg(debtColour(GetDebtText(iSitId, mat, QStringLiteral("iDebSanato")),
                                QStringLiteral("#FFFFFF")),
                     kNbsp));
    }
    table += row(headerCell(QStringLiteral("width=\"307\""), QStringLiteral("&nbsp;Medie e totali")) +
                 headerCell(w100, GetVoteText(iSitId, 0)) +
                 headerCell(w100, GetProposedVoteText(iSitId, 0)) +
                 headerCell(w83, GetAbsenceHours(iSitId, 0, 0)) +
                 headerCell(QStringLiteral("width=\"101\" align=\"center\""),
                            GetDebtText(iSitId, 0, QStringLiteral("Totali"))));
    writePage(PupilDir + pageName.left(4) + QStringLiteral(".html"),
              {historyDocument(escaped(pageName), QStringLiteral(" width=\"717\""), table)});
}

void TdmqelHtml::WriteRecuperiPage(const QString &folder)
{
    QStringList page{QStringLiteral("<html>"), kHead,
                     QStringLiteral("<body bgcolor=lightYellow text=\"#0000FF\">"),
                     QStringLiteral("<h3 align=center><font color=\"#0000FF\">Recuperi</font></h3>"),
                     QStringLiteral("<center>"),
                     QStringLiteral("<a name=indice><h4>Indice</h4></a>")};
    QStringList detail;
    const QString font =
        QStringLiteral("<font face=\"Times New Roman\" size=\"2\" color=\"#000000\">%1</font>");
    const QLocale locale;
    const auto date = [&locale](const TqelHtmlRow &rec, const char *field) {
        return locale.toString(rec.value(QLatin1String(field)).toDate(), QLocale::ShortFormat);
    };
    const Rows phases = rows(QString::fromLatin1(kElencoSit),
                             valuesOf({{"iAnaId", integer(m_pupil, "iAnaId")}}));
    for (const TqelHtmlRow &phase : phases) {
        const QString anchor = QString::number(integer(phase, "iSitId")) +
                               QString::number(integer(phase, "iClsId")) +
                               QString::number(integer(phase, "iFreId"));
        const QString title = escaped(text(phase, QStringLiteral("sClsAnnoScol")) +
                                      QStringLiteral(" - ") +
                                      text(phase, QStringLiteral("sClsSDesc")) +
                                      QStringLiteral(": "));
        const QString phaseName = escaped(text(phase, QStringLiteral("sFreSDesc")));
        page << title + QStringLiteral("<a href=#%1>%2</a><br>").arg(anchor, phaseName);
        detail << QStringLiteral("<a name=%1></a>").arg(anchor) << title + phaseName
               << QStringLiteral("<br>") << QStringLiteral("<table align=center width=600px border=1>")
               << QStringLiteral("<tr>");
        const std::pair<const char *, int> headers[] = {{"Materia", 120}, {"Recuperi", 120},
                                                        {"Data Ass.", 60}, {"Prova", 120},
                                                        {"Data Ver.", 60}, {"Esito", 120}};
        for (const auto &[label, width] : headers)
            detail << QStringLiteral("<td bgcolor=\"#99CCFF\" width=%1>%2</td>")
                          .arg(width)
                          .arg(font.arg(QString::fromLatin1(label)));
        detail << QStringLiteral("</tr>");
        const Rows records =
            rows(QString::fromLatin1(kDettRec),
                 valuesOf({{"iSitId", integer(phase, "iSitId")}, {"iFreId", integer(phase, "iFreId")}}));
        for (const TqelHtmlRow &record : records) {
            const QString values[] = {escaped(text(record, QStringLiteral("sMatSDesc"))),
                                      escaped(text(record, QStringLiteral("sTreSDesc"))),
                                      date(record, "dRecAttr"),
                                      escaped(text(record, QStringLiteral("sPvrSDesc"))),
                                      date(record, "dRecVer"),
                                      escaped(text(record, QStringLiteral("sEreSDesc")))};
            detail << QStringLiteral("<tr>");
            for (int i = 0; i < 6; ++i)
                detail << QStringLiteral("<td width=%1 align=center>%2</td>")
                              .arg(headers[i].second)
                              .arg(font.arg(orNbsp(values[i])));
            detail << QStringLiteral("</tr>");
        }
        detail << QStringLiteral("</table>")
               << QStringLiteral("<br><a href=#indice> Torna all'indice </a><br><br>");
    }
    if (phases.empty())
        page << QStringLiteral("<h1 align=center> Nessun recupero </h1>");
    else
        page << QStringLiteral("<br><br><br>********************<br><br><br>") << detail;
    page << QStringLiteral("</center>") << QStringLiteral("</body>") << QStringLiteral("</html>");
    writePage(folder + QStringLiteral("Recuperi.html"), page);
}

QString TdmqelHtml::GetAbsenceHours(int iSitId, int iMatId, int iAnsSesDwgId)
{
    return firstField(QString::fromLatin1(kAssAlu),
                      valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId},
                                {"iAnsSesDwgId", iAnsSesDwgId}}),
                      QStringLiteral("nTotAss"));
}

double TdmqelHtml::average(int iSitId, bool proposed)
{
    // The conduct rule compares a school year with 39: the year of the situation's sessions.
    const Rows sessions = rows(QString::fromLatin1(kSesAlu), valuesOf({{"iSitId", iSitId}}));
    SetAnsIdMedia(sessions.empty() ? 0 : integer(sessions.front(), "iAnsId"));
    return proposed ? MediaVotiProposti(iSitId, -1, 0) : MediaVoti(iSitId, -1, 0, false);
}

namespace {

// "#0.00" with the office's decimal separator.
QString formatAverage(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(RoundTo(value, -2), 'f', 2);
}

} // namespace

QString TdmqelHtml::GetVoteText(int iSitId, int iMatId, const QString &field)
{
    if (iMatId == 0)
        return formatAverage(average(iSitId, false));
    return firstField(QString::fromLatin1(kVotFrom) + QString::fromLatin1(kFinalSessions),
                      valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}}), field);
}

QString TdmqelHtml::GetProposedVoteText(int iSitId, int iMatId, const QString &field)
{
    if (iMatId == 0)
        return formatAverage(average(iSitId, true));
    return firstField(QString::fromLatin1(kVtpFrom) + QString::fromLatin1(kFinalSessions),
                      valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}}), field);
}

QString TdmqelHtml::GetSessionVoteText(int iSitId, int iMatId, int iCmpScaId, int iAnsSesDwgId,
                                       const QString &field)
{
    return firstField(QString::fromLatin1(kVotFrom) + QString::fromLatin1(kOneSession),
                      valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}, {"iCmpScaId", iCmpScaId},
                                {"iAnsSesDwgId", iAnsSesDwgId}}),
                      field);
}

QString TdmqelHtml::GetSessionProposedText(int iSitId, int iMatId, int iCmpScaId,
                                           int iAnsSesDwgId, const QString &field)
{
    return firstField(QString::fromLatin1(kVtpFrom) + QString::fromLatin1(kOneSession),
                      valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}, {"iCmpScaId", iCmpScaId},
                                {"iAnsSesDwgId", iAnsSesDwgId}}),
                      field);
}

QString TdmqelHtml::GetOutcomeText(int iSitId, const QString &field)
{
    return firstField(QString::fromLatin1(kEsiAlu), valuesOf({{"iSitId", iSitId}}), field);
}

QString TdmqelHtml::GetDebtText(int iSitId, int iMatId, const QString &field)
{
    const Rows debts =
        rows(QString::fromLatin1(kDebAlu), valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}}));
    QString result;
    if (field == QLatin1String("Totali")) {
        result = QString::number(debts.size());
    } else if (field == QLatin1String("iDebSanato")) {
        if (debts.empty() || integer(debts.front(), "DebEsiste") == 0)
            result = QStringLiteral("NODEB");
        else
            result = integer(debts.front(), "iDebSanato") == 1 ? QStringLiteral("SI")
                                                               : QStringLiteral("NO");
    } else if (!debts.empty()) {
        result = escaped(text(debts.front(), field));
    }
    const QString trimmed = result.trimmed();
    return trimmed.isEmpty() || trimmed == QLatin1String("0") ? kNbsp : result;
}

QString TdmqelHtml::GetTotalCredits(int iAnaId)
{
    int sum = 0;
    for (const TqelHtmlRow &credit :
         rows(QString::fromLatin1(kTotCre), valuesOf({{"iAnaId", iAnaId}})))
        sum += integer(credit, "iCreRecup") + integer(credit, "iCreCredito");
    return sum == 0 ? kNbsp : QString::number(sum);
}
