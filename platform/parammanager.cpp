#include "platform/parammanager.h"

#include "platform/connection.h"
#include "platform/dialogs.h"
#include "platform/enumvalues.h"
#include "platform/formatdatetime.h"
#include "platform/globalvars.h"
#include "platform/images.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

// The institutes and school years offered; a school year reads as "2007/2008".
const char *const kInstitutesSql =
    "SELECT Dow.iDwgId, Dow.sDowLDesc FROM TDow_DataOwner Dow WHERE Dow.iDwgId <> 1 "
    "ORDER BY Dow.sDowLDesc";

QString applCode(const QString &entry)
{
    return entry.section(QLatin1Char('='), 0, 0).trimmed().toUpper();
}

void selectId(QComboBox *combo, const QString &value)
{
    bool ok = false;
    const int id = value.trimmed().toInt(&ok);
    combo->setCurrentIndex(-1);
    if (!ok)
        return;
    for (int i = 0; i < combo->count(); ++i) {
        if (enumItemId(combo, i) == id) {
            combo->setCurrentIndex(i);
            return;
        }
    }
}

} // namespace

QString VxSchoolYearsSql()
{
    return QStringLiteral(
        "SELECT Ans.iAnsId, CAST(Ans.iAnsValore AS VARCHAR(4)) || '/' || "
        "CAST(Ans.iAnsValore + 1 AS VARCHAR(4)) FROM TAns_AnniScolast Ans ORDER BY Ans.iAnsValore");
}

TVxParamManager::TVxParamManager(QObject *parent) : QObject(parent)
{
    ApplCodeList = {QStringLiteral("QEL=1.0"), QStringLiteral("VX=1.0")};
}

QSqlDatabase TVxParamManager::Connection() const
{
    return m_db.isValid() ? m_db : qqoVxGlobConn();
}

namespace {

// A date format as the office reads it: an example, then its letters in Italian ("gg/mm/aaaa").
QString choiceText(const TVxParamDef &def, const QString &choice)
{
    if (def.Name.compare(TVxWorkingContext::reportDateFormatKey(), Qt::CaseInsensitive) != 0)
        return choice;
    QString letters = choice;
    letters.replace(QLatin1Char('d'), QLatin1Char('g')).replace(QLatin1Char('y'), QLatin1Char('a'));
    return QStringLiteral("%1 (%2)").arg(
        FormatDateTime(choice, QDateTime(QDate(2009, 6, 12), QTime())), letters);
}

} // namespace

QList<TVxParamDef> TVxParamManager::Definitions() const
{
    QStringList codes;
    for (const QString &entry : ApplCodeList)
        codes << applCode(entry);
    QList<TVxParamDef> defs;
    auto add = [&defs](const QString &code, const QString &name, const QString &caption,
                       TVxParamDef::Kind kind) -> TVxParamDef & {
        TVxParamDef def;
        def.ApplCode = code;
        def.Name = name;
        def.Caption = caption;
        def.kind = kind;
        def.Value = xgvmGlobalVar.GetValues(name).toString();
        defs.append(def);
        return defs.last();
    };
    if (codes.contains(QLatin1String("VX"))) {
        add(QStringLiteral("VX"), TVxWorkingContext::instituteKey(), QStringLiteral("Istituto"),
            TVxParamDef::List)
            .ListSQL = QString::fromLatin1(kInstitutesSql);
        add(QStringLiteral("VX"), TVxWorkingContext::schoolYearKey(),
            QStringLiteral("Anno scolastico di lavoro"), TVxParamDef::List)
            .ListSQL = VxSchoolYearsSql();
    }
    if (codes.contains(QLatin1String("QEL"))) {
        add(QStringLiteral("QEL"), TVxWorkingContext::sessionKey(),
            QStringLiteral("Sessione di lavoro"), TVxParamDef::List);
        add(QStringLiteral("QEL"), TVxWorkingContext::reportDateKey(),
            QStringLiteral("Data delle stampe"), TVxParamDef::Date);
        add(QStringLiteral("QEL"), TVxWorkingContext::reportDateFormatKey(),
            QStringLiteral("Formato della data delle stampe"), TVxParamDef::Text)
            .Choices = {QStringLiteral("dd/mm/yyyy"), QStringLiteral("d mmmm yyyy"),
                        QStringLiteral("dd mmmm yyyy"), QStringLiteral("dddd d mmmm yyyy")};
    }
    return defs;
}

QWidget *TVxParamManager::Control(const QString &name) const
{
    for (const auto &entry : m_controls) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return nullptr;
}

bool TVxParamManager::Execute()
{
    QList<TVxParamDef> defs = Definitions();
    TfmVxOkCancDlg dialog;
    dialog.setObjectName(QStringLiteral("fmVxParams"));
    dialog.setWindowTitle(QStringLiteral("Parametri applicazione"));
    dialog.setWindowIcon(VxImage(QStringLiteral("VXPARAMS")));
    auto *form = new QFormLayout(dialog.ClientArea());
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_dialog = &dialog;
    m_controls.clear();

    auto fire = [](const ParamEvent &event, QWidget *control, TVxParamDef &def) {
        bool doDefault = true;
        if (event)
            event(control, def, doDefault);
        return doDefault;
    };

    // Controls first, then every list, then the stored values: a handler of one list may
    // read another (the sessions follow the institute and the year).
    for (TVxParamDef &def : defs) {
        QWidget *control = nullptr;
        switch (def.kind) {
        case TVxParamDef::List: {
            auto *combo = new QComboBox;
            combo->setMinimumWidth(260);
            control = combo;
            break;
        }
        case TVxParamDef::Date: {
            auto *date = new QDateEdit;
            date->setCalendarPopup(true);
            date->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
            control = date;
            break;
        }
        case TVxParamDef::Text: {
            auto *combo = new QComboBox;
            combo->setEditable(true);
            for (const QString &choice : std::as_const(def.Choices))
                combo->addItem(choiceText(def, choice), choice);
            control = combo;
            break;
        }
        }
        control->setObjectName(QStringLiteral("ctl") + def.Name);
        form->addRow(def.Caption + QLatin1Char(':'), control);
        m_controls.append({def.Name, control});
        fire(AfterCreateCtrl, control, def);
    }
    const bool loaded = RunShowingErrors([&] {
        for (TVxParamDef &def : defs) {
            QWidget *control = Control(def.Name);
            if (def.kind == TVxParamDef::List && fire(FillListParam, control, def) &&
                !def.ListSQL.isEmpty())
                LoadEnumValues(Connection(), static_cast<QComboBox *>(control), def.ListSQL);
        }
        for (TVxParamDef &def : defs) {
            QWidget *control = Control(def.Name);
            if (!fire(ReadParam, control, def))
                continue;
            if (def.kind == TVxParamDef::List) {
                selectId(static_cast<QComboBox *>(control), def.Value);
            } else if (def.kind == TVxParamDef::Date) {
                const QDate date = QDate::fromString(def.Value.left(10), Qt::ISODate);
                static_cast<QDateEdit *>(control)->setDate(date.isValid() ? date
                                                                          : QDate::currentDate());
            } else {
                auto *combo = static_cast<QComboBox *>(control);
                const QString value = def.Value.isEmpty() ? def.Choices.value(0) : def.Value;
                const int offered = combo->findData(value);
                if (offered >= 0)
                    combo->setCurrentIndex(offered);
                else
                    combo->setCurrentText(value);
            }
        }
    });
    if (!loaded) {
        m_dialog = nullptr;
        m_controls.clear();
        return false;
    }

    bool accepted = dialog.ShowModal() == mrOk;
    if (accepted) {
        // The values are taken from the dialog, then stored in one write: a context of which
        // only the institute changed would name a session of another institute.
        accepted = RunShowingErrors([&] {
            QList<QPair<QString, QVariant>> values;
            for (TVxParamDef &def : defs) {
                QWidget *control = Control(def.Name);
                if (fire(WriteParam, control, def)) {
                    if (def.kind == TVxParamDef::List) {
                        auto *combo = static_cast<QComboBox *>(control);
                        const int id = enumItemId(combo, combo->currentIndex());
                        def.Value = id != 0 ? QString::number(id) : QString();
                    } else if (def.kind == TVxParamDef::Date) {
                        def.Value = static_cast<QDateEdit *>(control)->date().toString(Qt::ISODate);
                    } else {
                        // An offered choice is stored as the value it shows; a typed one as typed.
                        const auto *combo = static_cast<QComboBox *>(control);
                        const int index = combo->currentIndex();
                        def.Value = index >= 0 && combo->itemText(index) == combo->currentText()
                                        ? combo->itemData(index).toString()
                                        : combo->currentText().trimmed();
                    }
                }
                values.append({def.Name, def.Value.isEmpty() ? QVariant() : def.Value});
            }
            xgvmGlobalVar.SetValues(values);
        });
    }
    m_dialog = nullptr;
    m_controls.clear();
    return accepted;
}
