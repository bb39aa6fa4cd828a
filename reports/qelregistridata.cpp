#include "reports/qelregistridata.h"

#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/enumvalues.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSqlQuery>
#include <QStringList>

namespace {

const char kAvailable[] =
    "SELECT Cls.iClsId, Cls.sClsDesc FROM VCls_Classi Cls "
    "INNER JOIN TClsSes ClsSes ON (Cls.iClsId = ClsSes.iClsId) "
    "INNER JOIN TAnsSesDwg ASD ON (ClsSes.iAnsSesDwgId = ASD.iAnsSesDwgId) "
    "WHERE ASD.iAnsSesDwgId = :iAnsSesDwgId AND Cls.iClsId NOT IN (SELECT Osd.iClsId FROM "
    "TOsd_OpzStampaDig Osd WHERE Osd.iAnsSesDwgId = ASD.iAnsSesDwgId "
    "AND Osd.iTipoElenco = :iTipoElenco)";
const char kListed[] = "SELECT Cls.iClsId, Cls.sClsDesc FROM VCls_Classi Cls "
                       "INNER JOIN TOsd_OpzStampaDig Osd ON (Osd.iClsId = Cls.iClsId) "
                       "WHERE Osd.iAnsSesDwgId = :iAnsSesDwgId AND Osd.iTipoElenco = :iTipoElenco";
const char kDeleteClass[] = "DELETE FROM TOsd_OpzStampaDig WHERE iAnsSesDwgId = :iAnsSesDwgId "
                            "AND iTipoElenco = :iTipoElenco AND iClsId = :iClsId";
const QString kOptionsSavedElsewhere = QStringLiteral(
    "Un'altra postazione ha cambiato le stesse opzioni di stampa digitale dopo l'apertura della "
    "finestra: le opzioni indicate non sono state salvate, per non sostituire senza avviso "
    "quelle dell'altra postazione.\r\rChiudere la finestra e riaprirla per vedere le opzioni "
    "salvate, poi ripetere la modifica.");

const char kSelectSignature[] = "SELECT sFirmaSes1, sFirmaSes2, sFirmaSes3, sFirmaDiff "
                                "FROM TCfp_FirmaPreside WHERE iAnsId = :iAnsId";
const char kInsertSignature[] =
    "INSERT INTO TCfp_FirmaPreside (iCfpId, iAnsId, sFirmaSes1, sFirmaSes2, sFirmaSes3, "
    "sFirmaDiff) VALUES (:iCfpId, :iAnsId, :sFirmaSes1, :sFirmaSes2, :sFirmaSes3, :sFirmaDiff)";
const char *const kSignatureColumns[] = {"sFirmaSes1", "sFirmaSes2", "sFirmaSes3", "sFirmaDiff"};
const QString kSignatureSavedElsewhere = QStringLiteral(
    "La firma del preside di quest'anno è stata salvata da un'altra postazione dopo l'apertura "
    "della finestra: le firme indicate non sono state salvate, per non sostituire senza avviso "
    "quelle dell'altra postazione.\r\rConfermando di nuovo, le firme indicate sostituiscono "
    "quelle dell'altra postazione.");

TVxFieldValues listValues(int iAnsSesDwgId, int tipoElenco)
{
    return valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}, {"iTipoElenco", tipoElenco}});
}

// Started, or EVxException saying why not.
void start(TVxTransaction &tr)
{
    if (!tr.StartTransaction())
        throw EVxException(tr.lastError());
}

// A text the office emptied is stored as an empty string, not as a missing one.
QString stored(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

namespace QelRegisterOptions {

void LoadAvailable(QListWidget *list, int iAnsSesDwgId, int tipoElenco)
{
    VxExplain(QStringLiteral("Impossibile leggere le classi della sessione."), [&] {
        LoadEnumValues(qqoVxGlobConn(), list, QString::fromLatin1(kAvailable),
                       listValues(iAnsSesDwgId, tipoElenco));
    });
}

void LoadListed(QListWidget *list, int iAnsSesDwgId, int tipoElenco)
{
    VxExplain(QStringLiteral("Impossibile leggere le opzioni di stampa digitale."), [&] {
        LoadEnumValues(qqoVxGlobConn(), list, QString::fromLatin1(kListed),
                       listValues(iAnsSesDwgId, tipoElenco));
    });
}

void Save(int iAnsSesDwgId, const std::array<ListChange, 2> &lists)
{
    static const QString insertClass =
        VxInsertUnlessPresentSql(QStringLiteral("TOsd_OpzStampaDig"),
                                 {{"iOsdId", "INTEGER"},
                                  {"iAnsSesDwgId", "INTEGER"},
                                  {"iClsId", "INTEGER"},
                                  {"iTipoElenco", "SMALLINT"}},
                                 {"iAnsSesDwgId", "iClsId", "iTipoElenco"});
    VxExplain(QStringLiteral("Impossibile salvare le opzioni di stampa digitale."), [&] {
        const QSqlDatabase db = qqoVxGlobConn();
        TVxTransaction tr(db);
        start(tr);
        // Only what this office changed: a class another office listed or took out meanwhile
        // stays as it did. The same class added or taken out by both is told, as is a change
        // both make at the very same moment (the list's key, the rows' locks).
        try {
            for (int tipo = 0; tipo < int(lists.size()); ++tipo) {
                const ListChange &list = lists[std::size_t(tipo)];
                for (int cls : list.loaded) {
                    if (list.chosen.contains(cls))
                        continue;
                    TVxFieldValues values = listValues(iAnsSesDwgId, tipo);
                    values.setValue(QStringLiteral("iClsId"), cls);
                    if (tr.ExecChanged(QString::fromLatin1(kDeleteClass), values) == 0)
                        throw EVxException(kOptionsSavedElsewhere);
                }
                for (int cls : list.chosen) {
                    if (list.loaded.contains(cls))
                        continue;
                    TVxFieldValues values = listValues(iAnsSesDwgId, tipo);
                    values.setValue(QStringLiteral("iOsdId"),
                                    VxNewKey(db, QStringLiteral("TOSD_OPZSTAMPADIG")));
                    values.setValue(QStringLiteral("iClsId"), cls);
                    if (tr.ExecChanged(insertClass, values) == 0)
                        throw EVxException(kOptionsSavedElsewhere);
                }
            }
        } catch (const EVxException &e) {
            if (isDuplicateEntry(e) || isConcurrentChange(e))
                throw EVxException(kOptionsSavedElsewhere, EVxException::Error, e.detail());
            throw;
        }
        tr.Commit();
    });
}

} // namespace QelRegisterOptions

namespace QelHeadmasterSignature {

std::optional<Texts> Load(int iAnsId)
{
    return VxExplain(QStringLiteral("Impossibile leggere la firma del preside."), [iAnsId] {
        std::optional<Texts> texts;
        VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kSelectSignature),
                  valuesOf({{"iAnsId", iAnsId}}), [&texts](const QSqlQuery &q, const QSqlRecord &) {
                      texts.emplace();
                      for (int i = 0; i < int(texts->size()); ++i)
                          (*texts)[std::size_t(i)] = q.value(i).toString();
                  });
        return texts;
    });
}

void Save(int iAnsId, const Texts &texts, std::optional<Texts> &loaded)
{
    VxExplain(QStringLiteral("Impossibile salvare la firma del preside."), [&] {
        const QSqlDatabase db = qqoVxGlobConn();
        TVxTransaction tr(db);
        start(tr);
        TVxFieldValues values = valuesOf({{"iAnsId", iAnsId}});
        QStringList changed;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const QString column = QString::fromLatin1(kSignatureColumns[i]);
            if (!loaded || texts[i] != (*loaded)[i]) {
                values.setValue(column, stored(texts[i]));
                changed << column + QStringLiteral(" = :") + column;
            }
        }
        if (!loaded) {
            values.setValue(QStringLiteral("iCfpId"),
                            VxNewKey(db, QStringLiteral("TCFP_FIRMAPRESIDE")));
            try {
                tr.Exec(QString::fromLatin1(kInsertSignature), values);
            } catch (const EVxException &e) {
                // The year's key: another office saved the row since the window read the year, or
                // at this very moment. Read by a transaction begun after it: confirming again
                // writes over it.
                if (!isDuplicateEntry(e))
                    throw;
                tr.Rollback();
                loaded = Load(iAnsId);
                throw EVxException(kSignatureSavedElsewhere);
            }
        } else if (!changed.isEmpty()) {
            // Only the texts this office changed: another office's change to the others stays.
            if (tr.ExecChanged(QStringLiteral("UPDATE TCfp_FirmaPreside SET %1 WHERE iAnsId = "
                                              ":iAnsId")
                                   .arg(changed.join(QStringLiteral(", "))),
                               values) == 0) {
                // Deleted by another office: confirming again stores the texts anew.
                loaded.reset();
                throw rowGoneError();
            }
        }
        tr.Commit();
    });
}

} // namespace QelHeadmasterSignature
