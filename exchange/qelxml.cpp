#include "exchange/qelxml.h"

#include "exchange/qelwait.h"
#include "exchange/qelxmlsql.h"
#include "platform/connection.h"
#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

TdmqelXML *dmqelXML = nullptr;

namespace {

// The class session's flags, in the order classSessionFlags selects them.
constexpr int TdmqelXML::*kClassFlags[] = {&TdmqelXML::iVot, &TdmqelXML::iVtp, &TdmqelXML::iTas,
                                           &TdmqelXML::iAss, &TdmqelXML::iAiu, &TdmqelXML::iNot,
                                           &TdmqelXML::iDeb, &TdmqelXML::iEsi, &TdmqelXML::iCre,
                                           &TdmqelXML::iGdz, &TdmqelXML::iComp};

constexpr TqelXmlKind kKinds[] = {
    {0, &TdmqelXML::iVot, "ClsVot.xml", "TVOT_VOTI"},
    {1, &TdmqelXML::iVtp, "ClsVtp.xml", "TVTP_PROPOSTI"},
    {2, &TdmqelXML::iTas, "ClsTas.xml", "TTAS_TASSONOMIE"},
    {3, &TdmqelXML::iAss, "ClsAss.xml", "TASS_ASSENZE"},
    {4, &TdmqelXML::iAiu, "ClsAiu.xml", "TAIU_AIUTI"},
    {5, &TdmqelXML::iNot, "ClsNot.xml", "TNOT_NOTE"},
    {7, &TdmqelXML::iDeb, "ClsDeb.xml", "TDEB_DEBITI"},
    {8, &TdmqelXML::iGdz, "ClsGdz.xml", "TGdz_Giudizi"},
    {9, &TdmqelXML::iEsi, "ClsFin.xml", "TSIT_SITUAZIONI.iPosFinId"},
    {10, &TdmqelXML::iComp, "Competenze.xml", "TCOMP_COMPETENZE"},
};

QString idList(const QList<qint64> &ids)
{
    QStringList texts;
    texts.reserve(ids.size());
    for (const qint64 id : ids)
        texts << QString::number(id);
    return QLatin1Char('(') + texts.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

std::span<const TqelXmlKind> qelXmlKinds()
{
    return kKinds;
}

TdmqelXML::TdmqelXML(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("dmqelXML"));
    iAnsSesDwgId = TVxWorkingContext::session();
    iAnsId = TVxWorkingContext::schoolYear();
    xIniFileScrutinio.setFileName(QStringLiteral("qelParScrut.ini"));
    xIniFileScrutinio.setScriviSempre(true);
    xpsPathScrutinio.setINIFile(xIniFileScrutinio);
    xpsPathScrutinio.setSection(QStringLiteral("sDirBase"));
    xpsPathScrutinio.setIdent(QStringLiteral("xpsPathScrutinio"));
    xpsPathScrutinio.setDefault(LongDir(QDir::homePath()));
    dmqelXML = this;
}

TdmqelXML::~TdmqelXML()
{
    if (dmqelXML == this)
        dmqelXML = nullptr;
}

QString TdmqelXML::ScrutinioBaseFolder() const
{
    // A folder stored by an office on Windows ("c:\", "\\server\...") does not exist here and
    // counts as never chosen.
    QString stored = xpsPathScrutinio.GetValore().trimmed();
    stored.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (stored.startsWith(QLatin1Char('/'))) {
        const QString path = resolvePath(stored);
        if (QFileInfo(path).isDir())
            return LongDir(path);
    }
    return LongDir(QDir::homePath());
}

TdmqelParGen &TdmqelXML::parGen() const
{
    if (dmqelParGen)
        return *dmqelParGen;
    if (!m_ownParGen)
        m_ownParGen = std::make_unique<TdmqelParGen>();
    return *m_ownParGen;
}

TdmqelXML::ExpDocFlags TdmqelXML::readExpDoc() const
{
    const TdmqelParGen &p = parGen();
    ExpDocFlags flags;
    const TVxParInteger *params[] = {&p.xpiVot, &p.xpiVtp, &p.xpiTas, &p.xpiAss,
                                     &p.xpiAiu, &p.xpiNot, &p.xpiDeb, &p.xpiComp};
    for (const TVxParInteger *par : params)
        flags.values.append({par->Section(), par->Ident(), par->GetValore()});
    return flags;
}

bool TdmqelXML::ExpDocFlags::on(const QString &key) const
{
    for (const ExpDocFlag &flag : values) {
        if (flag.key.compare(key, Qt::CaseInsensitive) == 0)
            return flag.value == 1;
    }
    return false;
}

QString TdmqelXML::FolderFile(const QString &fileName) const
{
    return resolvePath(LongDir(sFolder) + fileName);
}

TVxINIFile TdmqelXML::folderInfo() const
{
    TVxINIFile ini(FolderFile(QStringLiteral("Info.ini")), true);
    // The teachers' program reads it as Windows-1252.
    ini.setNewFileEncoding(TVxIniEncoding::Cp1252);
    return ini;
}

void TdmqelXML::SetSessionKind(int iSfiId)
{
    iSessionKind = iSfiId;
}

void TdmqelXML::LoadClassFlags(int classId)
{
    iClsId = classId;
    for (int TdmqelXML::*flag : kClassFlags)
        this->*flag = 0;
    if (iMode == 1) {
        TVxFieldValues values;
        values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
        values.setValue(QStringLiteral("iClsId"), classId);
        bool first = true;
        VxEachRow(qqoVxGlobConn(), QelXmlSql::classSessionFlags(), values,
                  [&](const QSqlQuery &query, const QSqlRecord &) {
                      if (!first)
                          return;
                      first = false;
                      for (int i = 0; i < int(std::size(kClassFlags)); ++i)
                          this->*kClassFlags[i] = query.value(i).toInt();
                  });
        return;
    }
    const TVxINIFile ini = folderInfo();
    const QPair<const char *, int TdmqelXML::*> teacherFlags[] = {
        {"Vot", &TdmqelXML::iVot}, {"Vtp", &TdmqelXML::iVtp},  {"Tas", &TdmqelXML::iTas},
        {"Ass", &TdmqelXML::iAss}, {"Aiu", &TdmqelXML::iAiu},  {"Not", &TdmqelXML::iNot},
        {"Deb", &TdmqelXML::iDeb}, {"Comp", &TdmqelXML::iComp}};
    // A flag the folder spoils must not silently leave its kind out of the collection.
    for (const auto &[key, flag] : teacherFlags) {
        const QString text =
            ini.ReadString(QStringLiteral("ExpDoc"), QLatin1String(key), QStringLiteral("0"))
                .trimmed();
        if (text != QLatin1String("0") && text != QLatin1String("1"))
            throw EVxException(
                QStringLiteral("Il file %1 non è valido: nella sezione [ExpDoc] la chiave %2 "
                               "vale \"%3\" e non 0 o 1. La cartella non è stata raccolta e "
                               "nessun dato è stato modificato.")
                    .arg(nativePath(FolderFile(QStringLiteral("Info.ini"))), QLatin1String(key),
                         text));
        this->*flag = text.toInt();
    }
}

bool TdmqelXML::CheckClassInfo(int classId, int classSessionId) const
{
    return ClassFolderFault(classId, classSessionId).isEmpty();
}

bool TdmqelXML::CheckTeacherInfo(int teacherId) const
{
    return TeacherFolderFault(teacherId).isEmpty();
}

QString YearSessionText(int iAnsSesDwgId)
{
    int year = 0;
    VxEachRow(
        qqoVxGlobConn(),
        QStringLiteral("SELECT iAnsId FROM TAnsSesDwg WHERE iAnsSesDwgId = :iAnsSesDwgId"),
        valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}}),
        [&year](const QSqlQuery &query, const QSqlRecord &) { year = query.value(0).toInt(); });
    if (year == 0)
        return QStringLiteral("di una sessione che non c'è in questo archivio (%1)")
            .arg(iAnsSesDwgId);
    return QStringLiteral("della sessione \"%1\" dell'anno %2")
        .arg(GetSessioneDesc(iAnsSesDwgId).trimmed(), AnnoScolTextOfAnsId(year));
}

namespace {

// Info.ini, the seal of a folder the send wrote: the id it names in its section, or why it
// names none (the folder or the file missing, no id).
struct FolderSeal
{
    int id = 0;
    QString fault;
};

FolderSeal readSeal(const QString &folder, const QString &info, const QString &section,
                    const QString &whose)
{
    if (!QFileInfo(folder).isDir())
        return {0, QStringLiteral("La cartella %1 non c'è.").arg(nativePath(folder))};
    if (!QFileInfo(info).isFile())
        return {0, QStringLiteral("Nella cartella %1 manca il file Info.ini: non è una cartella "
                                  "scritta dall'invio, o il suo invio non è finito.")
                       .arg(nativePath(folder))};
    const int id = TVxINIFile(info, true).ReadInteger(section, QStringLiteral("ID"), 0);
    if (id == 0)
        return {0, QStringLiteral("Il file %1 non dice di quale %2 è la cartella (sezione [%3], "
                                  "chiave ID).")
                       .arg(nativePath(info), whose, section)};
    return {id, QString()};
}

} // namespace

QString TdmqelXML::ClassFolderFault(int classId, int classSessionId) const
{
    const QString folder = FolderFile(QString());
    const FolderSeal seal = readSeal(folder, FolderFile(QStringLiteral("Info.ini")),
                                     QStringLiteral("Classe"), QStringLiteral("classe"));
    if (!seal.fault.isEmpty())
        return seal.fault;
    const QString packet = FolderFile(QStringLiteral("ClsSes.xml"));
    if (!QFileInfo(packet).isFile())
        return QStringLiteral("Nella cartella %1 manca il file ClsSes.xml.")
            .arg(nativePath(folder));
    TClientDataSet session;
    try {
        session.LoadFromFile(packet);
    } catch (const EVxException &e) {
        return QStringLiteral("Il file %1 non è leggibile.\r\r%2")
            .arg(nativePath(packet), e.message());
    }
    session.First();
    const auto value = [&](const char *name) {
        const TField *f = session.IsEmpty() ? nullptr : session.FindField(QLatin1String(name));
        return f ? f->Value() : QVariant();
    };
    if (value("iClsSesId").isNull())
        return QStringLiteral("Il file %1 non dice di quale classe è la cartella.")
            .arg(nativePath(packet));
    // Another session's or year's folder is that, whatever class it names.
    const qint64 theirs = value("iAnsSesDwgId").toLongLong();
    if (theirs != 0 && theirs != iAnsSesDwgId)
        return QStringLiteral("La cartella %1 è %2, non di quella di lavoro: si raccoglie solo "
                              "nella sua sessione.")
            .arg(nativePath(folder), YearSessionText(int(theirs)));
    // The class each file names, as this archive calls it.
    const auto className = [](qint64 id) {
        QString name;
        VxEachRow(qqoVxGlobConn(),
                  QStringLiteral("SELECT sClsDesc FROM VCls_Classi WHERE iClsId = :iClsId"),
                  valuesOf({{"iClsId", id}}), [&name](const QSqlQuery &query, const QSqlRecord &) {
                      name = query.value(0).toString().trimmed();
                  });
        return name.isEmpty() ? QString::number(id) : name;
    };
    const qint64 packetClass = value("iClsId").toLongLong();
    if (packetClass != 0 && packetClass != seal.id)
        return QStringLiteral("I file della cartella %1 non concordano: Info.ini è della classe "
                              "%2, ClsSes.xml della classe %3. La cartella non si raccoglie.")
            .arg(nativePath(folder), className(seal.id), className(packetClass));
    if (seal.id != classId)
        return QStringLiteral("La classe selezionata non è la stessa del percorso specificato."
                              "\r\rLa cartella %1 è della classe %2.")
            .arg(nativePath(folder), className(seal.id));
    if (value("iClsSesId").toLongLong() == classSessionId)
        return QString();
    return QStringLiteral("La cartella %1 è di una sessione della classe che non c'è più in "
                          "questo archivio (iClsSesId %2).")
        .arg(nativePath(folder), value("iClsSesId").toString());
}

QString TdmqelXML::TeacherFolderFault(int teacherId) const
{
    const QString folder = FolderFile(QString());
    const FolderSeal seal = readSeal(folder, FolderFile(QStringLiteral("Info.ini")),
                                     QStringLiteral("Docente"), QStringLiteral("docente"));
    if (!seal.fault.isEmpty() || seal.id == teacherId)
        return seal.fault;
    QString name;
    VxEachRow(qqoVxGlobConn(),
              QStringLiteral("SELECT TRIM(sAnaCognome) || ' ' || TRIM(sAnaNome) FROM "
                             "TAna_Anagrafiche WHERE iAnaId = :iAnaId"),
              valuesOf({{"iAnaId", seal.id}}), [&name](const QSqlQuery &query, const QSqlRecord &) {
                  name = query.value(0).toString();
              });
    return QStringLiteral("Il docente selezionato non è lo stesso del percorso specificato.\r\r"
                          "La cartella %1 è del docente %2.")
        .arg(nativePath(folder), name.isEmpty() ? QString::number(seal.id) : name);
}

QString TdmqelXML::BuildPstFilter(int pstId, const QString &sql, const QString &alias,
                                  bool lOnlyAdmitted) const
{
    // The alias is the program's own: checked, so that the filter never carries other text.
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (pstId >= 0 && !identifier.match(alias).hasMatch())
        throw EVxException(
            QStringLiteral("Alias non valido nel filtro del piano di studi: %1").arg(alias));
    QString condition = pstId >= 0 ? alias + QStringLiteral(".iPstId=") + QString::number(pstId)
                                   : QStringLiteral("1=1");
    if (iSessionKind == 3 && lOnlyAdmitted)
        condition += QStringLiteral(" and TSit.IPOSFINID_SOSP is not null");
    if (lOnlyAdmitted) {
        TVxFieldValues values;
        values.setValue(QStringLiteral("iClsSesId"), iClsSesId);
        int subjects = 0;
        VxEachRow(
            qqoVxGlobConn(), QelXmlSql::hasQualification(), values,
            [&](const QSqlQuery &query, const QSqlRecord &) { subjects = query.value(0).toInt(); });
        if (subjects > 0)
            condition += QelXmlSql::admittedCondition(iClsId, iAnsSesDwgId);
    }
    QString result = sql;
    result.replace(QStringLiteral("/*PST*/"), condition);
    return result;
}

QString TdmqelXML::FieldValueList(const QString &field) const
{
    const TField *column = scdExp.FieldByName(field);
    // Only keys go into SQL text: a column of text would carry whatever the database holds.
    if (column->DataType() != ftInteger)
        throw EVxException(
            QStringLiteral("La colonna %1 non contiene chiavi numeriche.").arg(field));
    QList<qint64> ids;
    for (int row = 0; row < scdExp.RecordCount(); ++row) {
        const QVariant value = scdExp.Value(row, column->Index());
        if (!value.isNull())
            ids << value.toLongLong();
    }
    return ids.isEmpty() ? QStringLiteral("(-1)") : idList(ids);
}

TdmqelXML::ReadsOfRun::ReadsOfRun(TdmqelXML &xml)
    : m_xml(xml), m_side(std::make_unique<TVxSideConnection>(qqoVxGlobConn())),
      m_reads(std::make_unique<TVxTransaction>(m_side->database()))
{
    if (!m_reads->StartTransaction())
        throw EVxException(m_reads->lastError());
    m_marks = std::make_unique<TVxTransaction>(qqoVxGlobConn());
    if (!m_marks->StartTransaction())
        throw EVxException(m_marks->lastError());
    m_xml.m_runReads = m_side->database();
    m_xml.scdExp.setConnection(m_side->database());
    // The year and the session every teacher's Info.ini names, read once.
    m_xml.m_runYearAndSession = {AnnoScolTextOfAnsId(m_xml.iAnsId),
                                 GetSessioneDesc(m_xml.iAnsSesDwgId)};
}

TdmqelXML::ReadsOfRun::~ReadsOfRun()
{
    m_xml.scdExp.Close();
    m_xml.scdExp.setConnection(qqoVxGlobConn());
    m_xml.m_runReads.reset();
    m_xml.m_runYearAndSession.reset();
    // Nothing was written: the reads end as they would end with a failure; a mark not stored
    // by Commit is taken back with its teacher.
    m_reads.reset();
    m_marks.reset();
}

void TdmqelXML::ReadsOfRun::Commit()
{
    if (m_marks->InTransaction())
        m_marks->CommitRetaining();
}

QSqlDatabase TdmqelXML::readsConnection() const
{
    return m_runReads ? *m_runReads : qqoVxGlobConn();
}

QString TdmqelXML::TeacherClassList() const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnaId"), iAnaId);
    values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    QList<qint64> ids;
    VxEachRow(
        readsConnection(), QelXmlSql::teacherClasses(), values,
        [&](const QSqlQuery &query, const QSqlRecord &) { ids << query.value(0).toLongLong(); });
    return ids.isEmpty() ? QString() : idList(ids);
}

void TdmqelXML::ClearFolder(const QString &folder)
{
    QString path = folder.trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // An empty or relative folder would be the current one: its files are not the exchange's.
    if (path.isEmpty())
        throw EVxException(QStringLiteral("Non è stata indicata la cartella da svuotare."));
    if (!QDir::isAbsolutePath(path))
        throw EVxException(
            QStringLiteral("La cartella da svuotare \"%1\" non è un percorso completo.")
                .arg(folder));
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (QDir(path).isRoot() || canonical == QStringLiteral("/"))
        throw EVxException(
            QStringLiteral("La cartella \"%1\" è la radice del disco: non viene svuotata.")
                .arg(nativePath(path)));
    const QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // A link stays: nothing the program does removes one, and what it points to is not in
        // this folder.
        if (entry.isFile() && !entry.isSymLink())
            QFile::remove(entry.absoluteFilePath());
    }
}

void TdmqelXML::DeleteFolderInfo()
{
    if (ShortDir(sFolder).trimmed().isEmpty() || !QDir::isAbsolutePath(LongDir(sFolder)))
        throw EVxException(QStringLiteral("Non è stata indicata la cartella di scambio."));
    const QString folder = VxMakeOwnFolder(resolvePath(LongDir(sFolder)));
    // Every spelling: the folder may come from a Windows medium.
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::System |
                                                             QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().compare(QStringLiteral("Info.ini"), Qt::CaseInsensitive) != 0)
            continue;
        QFile file(entry.absoluteFilePath());
        if (!file.remove())
            throw EVxException(
                QStringLiteral("Impossibile cancellare il file %1:\r%2")
                    .arg(nativePath(entry.absoluteFilePath()), VxFileErrorText(file)));
    }
}

TfmqelWait *TdmqelXML::Wait() const
{
    return m_wait;
}

void TdmqelXML::afterPacket(const QString &fileName)
{
    if (onPacketWritten)
        onPacketWritten(fileName);
    if (m_wait)
        m_wait->Refresh();
}

void TdmqelXML::WritePacket(const QString &fileName, const QString &sql,
                            const TVxFieldValues &params)
{
    scdExp.setCommandText(sql);
    scdExp.Params() = params;
    scdExp.Open();
    scdExp.SaveToFile(FolderFile(fileName), dfXML, TVxFileSync::Later);
    afterPacket(fileName);
}

void TdmqelXML::SyncFolder() const
{
    const QString folder = FolderFile(QString());
    if (!SyncFolderToDisk(folder))
        throw EVxException(
            QStringLiteral("Impossibile completare la scrittura dei file nella cartella %1.")
                .arg(nativePath(folder)));
}

void TdmqelXML::ExportGeneralTables()
{
    exportGeneralTables(readExpDoc(), iMode != 1);
}

void TdmqelXML::exportGeneralTables(const ExpDocFlags &flags, bool gated)
{
    const bool all = !gated;
    WritePacket(QStringLiteral("InfoSed.xml"), QelXmlSql::infoSed());
    TVxFieldValues years;
    years.setValue(QStringLiteral("iAnsId"), 0);
    years.setValue(QStringLiteral("All"), 1);
    WritePacket(QStringLiteral("Ans.xml"), QelXmlSql::ans(), years);
    if (all || flags.on(QStringLiteral("Vot")) || flags.on(QStringLiteral("Tas")))
        WritePacket(QStringLiteral("LivVot_Tas.xml"), QelXmlSql::livVotTas());
    if (all || flags.on(QStringLiteral("Vtp")))
        WritePacket(QStringLiteral("LivVtp.xml"), QelXmlSql::livVtp());
    if (all || flags.on(QStringLiteral("Deb"))) {
        WritePacket(QStringLiteral("DebTip.xml"), QelXmlSql::debTip());
        WritePacket(QStringLiteral("DebEsi.xml"), QelXmlSql::debEsi());
    }
    if (all || flags.on(QStringLiteral("Vot")) || flags.on(QStringLiteral("Not"))) {
        TVxFieldValues institute;
        institute.setValue(QStringLiteral("iDwgId"),
                           AggregateiDwgId(TVxWorkingContext::institute()));
        WritePacket(QStringLiteral("DocIst.xml"), QelXmlSql::docIst(), institute);
    }
}

void TdmqelXML::WriteClassInfo()
{
    folderInfo().WriteValues(QStringLiteral("Classe"),
                             {{QStringLiteral("ID"), QString::number(iClsId)},
                              {QStringLiteral("Descrizione"), sClsDesc}});
}

void TdmqelXML::WriteTeacherInfo()
{
    writeTeacherInfo(readExpDoc());
}

void TdmqelXML::writeTeacherInfo(const ExpDocFlags &flags)
{
    // The year's text comes from the year itself: the key is not a calendar year.
    QList<QPair<QString, TVxIniValues>> sections = {
        {QStringLiteral("Docente"),
         {{QStringLiteral("ID"), QString::number(iAnaId)},
          {QStringLiteral("Nome"), sDocNome},
          {QStringLiteral("Anno"),
           m_runYearAndSession ? m_runYearAndSession->first : AnnoScolTextOfAnsId(iAnsId)},
          {QStringLiteral("Sessione"),
           m_runYearAndSession ? m_runYearAndSession->second : GetSessioneDesc(iAnsSesDwgId)}}}};
    for (const ExpDocFlag &flag : flags.values) {
        auto section = std::find_if(sections.begin(), sections.end(), [&](const auto &s) {
            return s.first.compare(flag.section, Qt::CaseInsensitive) == 0;
        });
        if (section == sections.end()) {
            sections.append({flag.section, {}});
            section = sections.end() - 1;
        }
        section->second.append({flag.key, QString::number(flag.value)});
    }
    // One replacement of the file: the folder is sealed whole or not at all.
    folderInfo().WriteSections(sections);
}
