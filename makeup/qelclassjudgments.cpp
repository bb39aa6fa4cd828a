#include "makeup/qelclassjudgments.h"

#include "platform/sqlparams.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const char kClasses[] = "SELECT VCls.iClsId, VCls.sClsDesc FROM TClsSes TClsSes "
                        "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsSes.iClsId) "
                        "WHERE (TClsSes.iAnsSesDwgId = :iAnsSesDwgId) ORDER BY VCls.iClsOrdine";

const char kPupils[] = "SELECT Sit.iSitId, Ana.sAnaCognome, Ana.sAnaNome FROM TSit_Situazioni Sit "
                       "INNER JOIN TAns_AnniScolast Ans ON (Ans.dAnsVextoInizio = Sit.dStart) "
                       "INNER JOIN TClsPst Pst ON (Pst.iClsPstId = Sit.iClsPstId) "
                       "INNER JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = Sit.iAnaId) "
                       "WHERE Sit.iSitOrdine = 1 AND Ans.iAnsId = :iAnsId "
                       "AND Pst.iClsId = :iClsId ORDER BY Sit.iSitId";

const char kTaxonomies[] = "SELECT Cmp.sCmpLDesc, Liv.sLivLDesc FROM TTas_Tassonomie Tas "
                           "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = Tas.iClsMatCmpId) "
                           "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
                           "INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId) "
                           "INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = Csm.iMatRmaId) "
                           "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Rma.iMatId) "
                           "INNER JOIN TCmpSca Cms ON (Cms.iCmpScaId = Cmc.iCmpScaId) "
                           "INNER JOIN TCmp_Componenti Cmp ON (Cmp.iCmpId = Cms.iCmpId) "
                           "INNER JOIN TScaLiv Sl ON (Sl.iScaLivId = Tas.iScaLivId) "
                           "INNER JOIN TLiv_Livelli Liv ON (Liv.iLivId = Sl.iLivId) "
                           "WHERE Tas.iSitId = :iSitId AND Cs.iAnsSesDwgId = :iAnsSesDwgId "
                           "AND Mat.sMatCodVexto = :sMatCodVexto "
                           "ORDER BY Cms.iScaId, Cms.iCmpScaOrdine";

// The earliest note: the same judgment on every run, whatever order the rows were stored in.
const char kNote[] = "SELECT FIRST 1 Nt.bNotNota FROM TNot_Note Nt "
                     "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Nt.iClsSesMatId) "
                     "INNER JOIN TClsSes Cs ON (Cs.iClsSesId = Csm.iClsSesId) "
                     "INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = Csm.iMatRmaId) "
                     "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Rma.iMatId) "
                     "WHERE Nt.iSitId = :iSitId AND Cs.iAnsSesDwgId = :iAnsSesDwgId "
                     "AND Mat.sMatCodVexto = :sMatCodVexto "
                     "ORDER BY Nt.dNotData ASC NULLS LAST, Nt.iNotId";

const char kFound[] = "SELECT COUNT(*) AS NrFound FROM TGdz_Giudizi TGdz "
                      "WHERE (TGdz.iAnsSesDwgId = :iAnsSesDwgId) AND (TGdz.iSitId = :iSitId)";

// The dates of a new row are the situation's own.
const char kInsert[] =
    "INSERT INTO TGdz_Giudizi (iGdzId, iAnsSesDwgId, iSitId, bGdzGiudizio, dInsert, dStart, dEnd) "
    "VALUES (:iGdzId, :iAnsSesDwgId, :iSitId, :bGdzGiudizio, "
    "(SELECT Sit.dStart FROM TSit_Situazioni Sit WHERE Sit.iSitId = :iSitId), "
    "(SELECT Sit.dStart FROM TSit_Situazioni Sit WHERE Sit.iSitId = :iSitId), "
    "(SELECT Sit.dEnd FROM TSit_Situazioni Sit WHERE Sit.iSitId = :iSitId))";

const char kUpdate[] = "UPDATE TGdz_Giudizi TGdz SET TGdz.bGdzGiudizio = :bGdzGiudizio "
                       "WHERE TGdz.iSitId = :iSitId AND TGdz.iAnsSesDwgId = :iAnsSesDwgId "
                       "AND (:Sostituisci = 1 OR TGdz.bGdzGiudizio IS NULL "
                       "OR CHAR_LENGTH(TRIM(TGdz.bGdzGiudizio)) = 0)";

const char kDelete[] = "DELETE FROM TGdz_Giudizi TGdz WHERE (TGdz.iSitId = :iSitId) "
                       "AND (TGdz.iAnsSesDwgId = :iAnsSesDwgId)";

const QString kConduct = QStringLiteral("CONDOTTA");

QString blobText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return value.toString();
}

} // namespace

QString trimJudgment(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start).unicode() <= 0x20)
        ++start;
    while (end > start && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(start, end - start);
}

ClassJudgments::ClassJudgments(const QSqlDatabase &db, int iAnsId, int iAnsSesDwgId)
    : m_db(db), m_iAnsId(iAnsId), m_iAnsSesDwgId(iAnsSesDwgId)
{
}

TVxEnumItems ClassJudgments::classes() const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnsSesDwgId"), m_iAnsSesDwgId);
    return LoadEnumItems(m_db, QString::fromLatin1(kClasses), values);
}

TVxFieldValues ClassJudgments::pupilValues(int iSitId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iSitId"), iSitId);
    values.setValue(QStringLiteral("iAnsSesDwgId"), m_iAnsSesDwgId);
    values.setValue(QStringLiteral("sMatCodVexto"), kConduct);
    return values;
}

QSqlQuery ClassJudgments::select(const char *sql, const TVxFieldValues &values) const
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    execBound(query, QString::fromLatin1(sql), values);
    return query;
}

QList<ClassPupil> ClassJudgments::pupils(int iClsId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnsId"), m_iAnsId);
    values.setValue(QStringLiteral("iClsId"), iClsId);
    QList<ClassPupil> result;
    VxEachRow(m_db, QString::fromLatin1(kPupils), values,
              [&result](const QSqlQuery &q, const QSqlRecord &) {
                  result.append({q.value(0).toInt(), q.value(1).toString().trimmed() +
                                                         QLatin1Char(' ') +
                                                         q.value(2).toString().trimmed()});
              });
    return result;
}

QString ClassJudgments::conductFromTaxonomies(int iSitId) const
{
    QString text;
    VxEachRow(m_db, QString::fromLatin1(kTaxonomies), pupilValues(iSitId),
              [&text](const QSqlQuery &q, const QSqlRecord &) {
                  text += q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString() +
                          QStringLiteral("\r\n");
              });
    return trimJudgment(text);
}

QString ClassJudgments::conductNote(int iSitId) const
{
    QSqlQuery query = select(kNote, pupilValues(iSitId));
    return fetchNext(query) ? trimJudgment(blobText(query.value(0))) : QString();
}

bool ClassJudgments::write(int iSitId, const QString &text, bool replace) const
{
    // The count and the write in one transaction: the pupil is written whole or not at all.
    TVxTransactionScope scope(m_db);
    TVxTransaction &tr = scope.transaction();
    TVxFieldValues values = pupilValues(iSitId);
    QSqlQuery &found = tr.Exec(QString::fromLatin1(kFound), values);
    const int count = fetchNext(found) ? found.value(0).toInt() : 0;
    found.finish();

    values.setValue(QStringLiteral("bGdzGiudizio"), text);
    int changed = 0;
    if (count < 1) {
        values.setValue(QStringLiteral("iGdzId"), VxNewKey(m_db, QStringLiteral("TGDZ_GIUDIZI")));
        changed = tr.ExecChanged(QString::fromLatin1(kInsert), values);
    } else {
        values.setValue(QStringLiteral("Sostituisci"), replace ? 1 : 0);
        changed = tr.ExecChanged(QString::fromLatin1(kUpdate), values);
    }
    scope.Commit();
    return changed > 0;
}

bool ClassJudgments::remove(int iSitId) const
{
    TVxTransactionScope scope(m_db);
    const int deleted =
        scope.transaction().ExecChanged(QString::fromLatin1(kDelete), pupilValues(iSitId));
    scope.Commit();
    return deleted > 0;
}

void ClassJudgments::forEachPupil(const QList<int> &classIds, const TVxStepwiseWords &words,
                                  const std::function<bool(int iSitId)> &step) const
{
    TVxStepwiseRun run(words);
    for (int iClsId : classIds) {
        for (const ClassPupil &pupil : pupils(iClsId))
            run.Step(pupil.name, [&] { return step(pupil.iSitId); });
    }
}

namespace {

// The words of a run that writes judgments, stop: how it tells where it stopped.
TVxStepwiseWords writtenWords(const char *stop)
{
    return {QString::fromUtf8(stop), QStringLiteral("i giudizi di %1 sono già scritti"),
            QStringLiteral("nessun giudizio è stato ancora scritto")};
}

} // namespace

void ClassJudgments::compose(const QList<int> &classIds, bool replace) const
{
    forEachPupil(classIds, writtenWords("Composizione dei giudizi interrotta a %1"),
                 [&](int iSitId) {
                     const QString text = conductFromTaxonomies(iSitId);
                     return !text.isEmpty() && write(iSitId, text, replace);
                 });
}

void ClassJudgments::copyNotes(const QList<int> &classIds, bool replace) const
{
    forEachPupil(classIds, writtenWords("Copia dei giudizi dalle note interrotta a %1"),
                 [&](int iSitId) {
                     const QString text = conductNote(iSitId);
                     return !text.isEmpty() && write(iSitId, text, replace);
                 });
}

void ClassJudgments::removeAll(const QList<int> &classIds) const
{
    forEachPupil(classIds,
                 {QStringLiteral("Cancellazione dei giudizi interrotta a %1"),
                  QStringLiteral("i giudizi di %1 sono già cancellati"),
                  QStringLiteral("nessun giudizio è stato ancora cancellato")},
                 [&](int iSitId) { return remove(iSitId); });
}
