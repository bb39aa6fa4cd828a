#include "platform/messagedlg.h"

#include "platform/dialogseam.h"
#include "platform/vxexception.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTranslator>

namespace {

struct ButtonInfo
{
    TMsgDlgBtn flag;
    int result;
    const char *caption;
    QMessageBox::ButtonRole role;
};

const ButtonInfo kButtons[] = {
    {mbYes, mrYes, "&Sì", QMessageBox::YesRole},
    {mbNo, mrNo, "&No", QMessageBox::NoRole},
    {mbOK, mrOk, "OK", QMessageBox::AcceptRole},
    {mbCancel, mrCancel, "Annulla", QMessageBox::RejectRole},
    {mbAbort, mrAbort, "&Interrompi", QMessageBox::RejectRole},
    {mbRetry, mrRetry, "&Riprova", QMessageBox::AcceptRole},
    {mbIgnore, mrIgnore, "&Ignora", QMessageBox::AcceptRole},
    {mbAll, mrAll, "&Tutti", QMessageBox::YesRole},
    {mbNoToAll, mrNoToAll, "N&o a tutti", QMessageBox::NoRole},
    {mbYesToAll, mrYesToAll, "Sì a t&utti", QMessageBox::YesRole},
};

const char *typeName(TMsgDlgType type)
{
    switch (type) {
    case mtWarning:
        return "warning";
    case mtError:
        return "error";
    case mtInformation:
        return "information";
    case mtConfirmation:
        return "confirmation";
    case mtCustom:
        break;
    }
    return "custom";
}

int fallbackDefault(TMsgDlgButtons buttons)
{
    for (int result : {mrOk, mrYes, mrCancel, mrNo}) {
        for (const ButtonInfo &b : kButtons) {
            if (b.result == result && (buttons & b.flag))
                return result;
        }
    }
    return mrNone;
}

} // namespace

namespace {

QString withLineBreaks(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

} // namespace

int VxMessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext,
                 int defaultButton, const QString &detail)
{
    Q_UNUSED(helpContext);
    const QString shown = withLineBreaks(text);
    if (buttons == 0)
        buttons = mbOK;
    const int fallback = defaultButton != mrNone ? defaultButton : fallbackDefault(buttons);

    if (DialogSeam::scripted()) {
        DialogSeam::record(QStringLiteral("message"), shown, QString::fromLatin1(typeName(type)),
                           withLineBreaks(detail));
        return DialogSeam::hasAnswer() ? DialogSeam::takeAnswer().toInt() : fallback;
    }

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QApplication::applicationName());
    box.setText(shown);
    if (!detail.isEmpty())
        box.setDetailedText(withLineBreaks(detail));
    switch (type) {
    case mtWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case mtError:
        box.setIcon(QMessageBox::Critical);
        break;
    case mtInformation:
        box.setIcon(QMessageBox::Information);
        break;
    case mtConfirmation:
        box.setIcon(QMessageBox::Question);
        break;
    case mtCustom:
        break;
    }
    QList<QPair<QAbstractButton *, int>> map;
    for (const ButtonInfo &b : kButtons) {
        if (!(buttons & b.flag))
            continue;
        QPushButton *button = box.addButton(QString::fromUtf8(b.caption), b.role);
        button->setObjectName(QStringLiteral("button%1").arg(b.result));
        map.append({button, b.result});
        if (b.result == fallback)
            box.setDefaultButton(button);
        if (b.flag == mbCancel || (b.flag == mbNo && !(buttons & mbCancel)))
            box.setEscapeButton(button);
    }
    box.exec();
    for (const auto &entry : std::as_const(map)) {
        if (box.clickedButton() == entry.first)
            return entry.second;
    }
    return buttons & mbCancel ? int(mrCancel) : fallback;
}

namespace {

QString scriptedPath(const QString &kind, const QString &caption)
{
    DialogSeam::record(kind, caption);
    return DialogSeam::hasAnswer() ? DialogSeam::takeAnswer().toString() : QString();
}

} // namespace

QString VxOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                       const QString &filter)
{
    if (DialogSeam::scripted())
        return scriptedPath(QStringLiteral("open-file"), caption);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString VxSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                       const QString &filter)
{
    if (DialogSeam::scripted())
        return scriptedPath(QStringLiteral("save-file"), caption);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString VxSelectDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    if (DialogSeam::scripted())
        return scriptedPath(QStringLiteral("folder"), caption);
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

std::optional<QFont> VxChooseFont(QWidget *parent, const QFont &initial, const QString &caption)
{
    if (DialogSeam::scripted()) {
        DialogSeam::record(QStringLiteral("font"), caption);
        const QVariant answer = DialogSeam::hasAnswer() ? DialogSeam::takeAnswer() : QVariant();
        if (answer.typeId() != QMetaType::QFont)
            return std::nullopt;
        return answer.value<QFont>();
    }
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent, caption);
    return ok ? std::optional<QFont>(font) : std::nullopt;
}

std::optional<QColor> VxChooseColor(QWidget *parent, const QColor &initial, const QString &caption)
{
    if (DialogSeam::scripted()) {
        DialogSeam::record(QStringLiteral("color"), caption);
        const QVariant answer = DialogSeam::hasAnswer() ? DialogSeam::takeAnswer() : QVariant();
        const QColor color = answer.typeId() == QMetaType::QColor
                                 ? answer.value<QColor>()
                                 : QColor::fromString(answer.toString());
        return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
    }
    const QColor color = QColorDialog::getColor(initial, parent, caption);
    return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
}

bool VxPrintDialog(QWidget *parent, QPrinter &printer, const QString &caption, int pageCount)
{
    if (DialogSeam::scripted()) {
        DialogSeam::record(QStringLiteral("print"), caption);
        const QVariant answer = DialogSeam::hasAnswer() ? DialogSeam::takeAnswer() : QVariant();
        const QVariantMap map = answer.typeId() == QMetaType::QVariantMap
                                    ? answer.toMap()
                                    : QVariantMap{{QStringLiteral("file"), answer.toString()}};
        const QString file = map.value(QStringLiteral("file")).toString();
        if (file.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        if (map.contains(QStringLiteral("from"))) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(map.value(QStringLiteral("from")).toInt(),
                              map.value(QStringLiteral("to")).toInt());
        }
        return true;
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(caption);
    if (pageCount > 0) {
        dialog.setMinMax(1, pageCount);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    }
    return dialog.exec() == QDialog::Accepted;
}

int VxExecModal(QDialog *dialog)
{
    if (!DialogSeam::scripted())
        return dialog->exec();
    DialogSeam::record(QStringLiteral("modal"), dialog->windowTitle(),
                       QString::fromLatin1(dialog->metaObject()->className()));
    // Ended is told by the dialog itself: a result of 0 is a valid outcome for some dialogs.
    bool ended = false;
    int result = mrNone;
    const QMetaObject::Connection connection =
        QObject::connect(dialog, &QDialog::finished, dialog, [&ended, &result](int r) {
            ended = true;
            result = r;
        });
    // A script may press a button that the dialog refuses (OK cleared to keep it open);
    // the next queued answer then gets its turn.
    while (!ended && DialogSeam::hasAnswer()) {
        if (DialogSeam::nextIsModalScript()) {
            const int answer = DialogSeam::takeModalScript()(dialog);
            if (!ended && answer != mrNone)
                dialog->done(answer);
        } else {
            dialog->done(DialogSeam::takeAnswer().toInt());
        }
    }
    if (!ended)
        dialog->done(mrCancel);
    QObject::disconnect(connection);
    return ended ? result : int(mrCancel);
}

bool RunShowingErrors(const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const EVxException &e) {
        const TMsgDlgType type = e.severity() == EVxException::Information ? mtInformation
                                 : e.severity() == EVxException::Warning   ? mtWarning
                                                                           : mtError;
        VxMessageDlg(e.message(), type, mbOK, 0, mrNone, e.detail());
    } catch (const std::exception &e) {
        VxMessageDlg(QString::fromUtf8(e.what()), mtError, mbOK);
    }
    return false;
}

bool installItalianLocale()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    // "qt" is the catalogue that pulls in the others (qtbase, ...) of the same language.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qt"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
