#include "makeup/qelcreditcodes.h"

#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSqlQuery>

namespace {

// The statements of one kind of item: a fixed pair of tables, never a name pasted in.
struct KindStatements
{
    const char *text;
    const char *item;
    const char *link;
    const char *insertLink;
    const char *deleteLink;
    const char *linkTable;
};

const KindStatements kKinds[] = {
    {"Credito Scolastico",
     "SELECT Sco.sScoLDesc FROM TSco_Scolastici Sco WHERE Sco.iScoId = :iItem",
     "SELECT Lnk.iCreScoId FROM TCreSco Lnk WHERE Lnk.iCreId = :iCreId AND Lnk.iScoId = :iItem",
     "INSERT INTO TCreSco (iCreScoId, iCreId, iScoId, dInsert, dStart, dEnd) "
     "VALUES (:iLinkId, :iCreId, :iItem, :dStart, :dStart, :dEnd)",
     "DELETE FROM TCreSco WHERE iCreScoId = :iLinkId", "TCRESCO"},
    {"Credito formativo", "SELECT Frm.sFrmLDesc FROM TFrm_Formativi Frm WHERE Frm.iFrmId = :iItem",
     "SELECT Lnk.iCreFrmId FROM TCreFrm Lnk WHERE Lnk.iCreId = :iCreId AND Lnk.iFrmId = :iItem",
     "INSERT INTO TCreFrm (iCreFrmId, iCreId, iFrmId, dInsert, dStart, dEnd) "
     "VALUES (:iLinkId, :iCreId, :iItem, :dStart, :dStart, :dEnd)",
     "DELETE FROM TCreFrm WHERE iCreFrmId = :iLinkId", "TCREFRM"},
};

const KindStatements &kind(int itemKind)
{
    Q_ASSERT(itemKind == SchoolItem || itemKind == FormativeItem);
    return kKinds[itemKind == FormativeItem ? 1 : 0];
}

const char kPupil[] = "SELECT Ana.sAnaCognome || ' ' || Ana.sAnaNome AS sCognomeNome, "
                      "Cls.sClsDesc FROM TSit_Situazioni Sit "
                      "INNER JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = Sit.iAnaId) "
                      "INNER JOIN TClsPst Pst ON (Pst.iClsPstId = Sit.iClsPstId) "
                      "LEFT JOIN VCls_Classi Cls ON (Cls.iClsId = Pst.iClsId) "
                      "WHERE Sit.iSitId = :iSitId";

const char kCredit[] = "SELECT Cre.iCreId FROM TCre_Crediti Cre WHERE Cre.iSitId = :iSitId";

const char kSituationDates[] =
    "SELECT Sit.dStart, Sit.dEnd FROM TSit_Situazioni Sit WHERE Sit.iSitId = :iSitId";

// A new credit row holds only its pupil and the situation's dates.
const char kInsertCredit[] = "INSERT INTO TCre_Crediti (iCreId, iSitId, dInsert, dStart, dEnd) "
                             "VALUES (:iCreId, :iSitId, :dStart, :dStart, :dEnd)";

const char kItems[] = "SELECT Frm.sFrmLDesc AS sDesc FROM TCreFrm Lnk "
                      "INNER JOIN TCre_Crediti Cre ON (Cre.iCreId = Lnk.iCreId) "
                      "INNER JOIN TFrm_Formativi Frm ON (Frm.iFrmId = Lnk.iFrmId) "
                      "WHERE Cre.iSitId = :iSitId "
                      "UNION ALL "
                      "SELECT Sco.sScoLDesc FROM TCreSco Lnk "
                      "INNER JOIN TCre_Crediti Cre ON (Cre.iCreId = Lnk.iCreId) "
                      "INNER JOIN TSco_Scolastici Sco ON (Sco.iScoId = Lnk.iScoId) "
                      "WHERE Cre.iSitId = :iSitId";

int numberPart(const QString &text, qsizetype from, qsizetype length)
{
    const QString part = text.mid(from, length);
    int value = 0;
    for (const QChar c : part) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw EVxException(QStringLiteral("'%1' non è un valore intero valido.").arg(part));
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

QString textOf(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString().trimmed();
}

} // namespace

CreditCode parseCreditCode(const QString &text)
{
    CreditCode code;
    if (text == QLatin1String("05")) {
        code.kind = CreditCode::Close;
    } else if (text == QLatin1String("09")) {
        code.kind = CreditCode::Cancel;
    } else if (text.size() == 7) {
        code.kind = CreditCode::Pupil;
        code.iSitId = numberPart(text, 0, 7);
    } else if (text.size() == 16) {
        code.iSitId = numberPart(text, 0, 8);
        code.item = numberPart(text, 8, 7);
        code.itemKind = numberPart(text, 15, 1);
        // Any other kind would name no table at all.
        code.kind = code.itemKind == SchoolItem || code.itemKind == FormativeItem
                        ? CreditCode::Credit
                        : CreditCode::Wrong;
    }
    return code;
}

QString creditKindText(int itemKind)
{
    return QString::fromLatin1(kind(itemKind).text);
}

CreditRecognition::CreditRecognition(const QSqlDatabase &db) : m_db(db) {}

std::optional<CreditPupil> CreditRecognition::pupil(int iSitId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iSitId"), iSitId);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    execBound(query, QString::fromLatin1(kPupil), values);
    if (!fetchNext(query))
        return std::nullopt;
    return CreditPupil{textOf(query.value(0)), textOf(query.value(1))};
}

std::optional<QString> CreditRecognition::itemDescription(int itemKind, int item) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iItem"), item);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    execBound(query, QString::fromLatin1(kind(itemKind).item), values);
    if (!fetchNext(query))
        return std::nullopt;
    return textOf(query.value(0));
}

std::optional<CreditLink> CreditRecognition::record(int iSitId, int itemKind, int item) const
{
    const KindStatements &statements = kind(itemKind);
    TVxTransactionScope scope(m_db);
    TVxTransaction &tr = scope.transaction();
    TVxFieldValues values;
    values.setValue(QStringLiteral("iSitId"), iSitId);
    values.setValue(QStringLiteral("iItem"), item);

    QSqlQuery &credit = tr.Exec(QString::fromLatin1(kCredit), values);
    int iCreId = fetchNext(credit) ? credit.value(0).toInt() : 0;
    credit.finish();

    QSqlQuery &dates = tr.Exec(QString::fromLatin1(kSituationDates), values);
    if (!fetchNext(dates))
        throw EVxException(QStringLiteral("La situazione %1 non esiste più.").arg(iSitId));
    values.setValue(QStringLiteral("dStart"), dates.value(0));
    values.setValue(QStringLiteral("dEnd"), dates.value(1));
    dates.finish();

    if (iCreId == 0) {
        iCreId = VxNewKey(m_db, QStringLiteral("TCRE_CREDITI"));
        values.setValue(QStringLiteral("iCreId"), iCreId);
        tr.Exec(QString::fromLatin1(kInsertCredit), values);
    }
    values.setValue(QStringLiteral("iCreId"), iCreId);

    QSqlQuery &link = tr.Exec(QString::fromLatin1(statements.link), values);
    const bool present = fetchNext(link);
    link.finish();
    std::optional<CreditLink> made;
    if (!present) {
        const int linkId = VxNewKey(m_db, QString::fromLatin1(statements.linkTable));
        values.setValue(QStringLiteral("iLinkId"), linkId);
        tr.Exec(QString::fromLatin1(statements.insertLink), values);
        made = CreditLink{itemKind, linkId};
    }
    scope.Commit();
    return made;
}

bool CreditRecognition::cancel(const CreditLink &link) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iLinkId"), link.id);
    QSqlQuery query(m_db);
    return execBound(query, QString::fromLatin1(kind(link.itemKind).deleteLink), values) > 0;
}

QString CreditRecognition::itemsSql()
{
    return QString::fromLatin1(kItems);
}
