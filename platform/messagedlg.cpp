#include "platform/messagedlg.h"

#include "platform/dialogseam.h"
#include "platform/helpers.h"
#include "platform/keys.h"
#include "platform/printoutput.h"
#include "platform/vxexception.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTranslator>
#include <QTreeView>
#include <QVBoxLayout>

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

QString VxShownMessageText(const QString &text)
{
    QStringList lines = withLineBreaks(text).split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = CutLine(line);
    return lines.join(QLatin1Char('\n'));
}

namespace {

QRect availableArea()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

// The width a message box gives its text before it wraps a line.
constexpr int kBoxTextWidth = 500;

QIcon typeIcon(TMsgDlgType type)
{
    QStyle *style = QApplication::style();
    switch (type) {
    case mtWarning:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case mtError:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case mtInformation:
        return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case mtConfirmation:
        return style->standardIcon(QStyle::SP_MessageBoxQuestion);
    case mtCustom:
        break;
    }
    return {};
}

// A message too tall for a message box: the summary stays in view above the lines, which
// scroll, and the window never outgrows the screen.
class TfmVxLongMessage : public QDialog
{
public:
    TfmVxLongMessage(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons,
                     int defaultButton)
        : QDialog(QApplication::activeWindow())
    {
        setObjectName(QStringLiteral("fmVxLongMessage"));
        setWindowTitle(QApplication::applicationName());
        const QString shown = VxShownMessageText(text);
        // The first paragraph is the summary when it is short; else everything scrolls.
        const qsizetype blank = shown.indexOf(QLatin1String("\n\n"));
        const bool summarised = blank > 0 && shown.left(blank).count(QLatin1Char('\n')) < 10;
        auto *layout = new QVBoxLayout(this);
        auto *top = new QHBoxLayout;
        const QIcon icon = typeIcon(type);
        if (!icon.isNull()) {
            auto *image = new QLabel;
            image->setPixmap(icon.pixmap(32, 32));
            top->addWidget(image, 0, Qt::AlignTop);
        }
        if (summarised) {
            auto *summary = new QLabel(shown.left(blank));
            summary->setObjectName(QStringLiteral("laSummary"));
            summary->setWordWrap(true);
            summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
            top->addWidget(summary, 1);
        } else {
            top->addStretch();
        }
        layout->addLayout(top);
        auto *lines = new QPlainTextEdit;
        lines->setObjectName(QStringLiteral("meText"));
        lines->setReadOnly(true);
        lines->setTabChangesFocus(true);
        lines->setLineWrapMode(QPlainTextEdit::NoWrap);
        lines->setPlainText(summarised ? shown.mid(blank + 2) : shown);
        layout->addWidget(lines, 1);
        auto *row = new QHBoxLayout;
        row->addStretch();
        const int fallback = defaultButton != mrNone ? defaultButton : fallbackDefault(buttons);
        m_escape = buttons & mbCancel ? int(mrCancel) : (buttons & mbNo ? int(mrNo) : fallback);
        for (const ButtonInfo &b : kButtons) {
            if (!(buttons & b.flag))
                continue;
            auto *button = new QPushButton(QString::fromUtf8(b.caption));
            button->setObjectName(QStringLiteral("button%1").arg(b.result));
            button->setDefault(b.result == fallback);
            const int result = b.result;
            connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
            row->addWidget(button);
        }
        layout->addLayout(row);

        const QRect area = availableArea();
        const QFontMetrics metrics(lines->font());
        int widest = 0;
        for (const QString &line : lines->toPlainText().split(QLatin1Char('\n')))
            widest = qMax(widest, metrics.horizontalAdvance(line));
        const int chrome = sizeHint().height() - lines->sizeHint().height();
        const int wanted =
            chrome + (lines->blockCount() + 1) * metrics.lineSpacing() + 2 * lines->frameWidth();
        setMaximumSize(area.size());
        resize(qBound(kBoxTextWidth, widest + 80, area.width() * 9 / 10),
               qMin(wanted, area.height() * 9 / 10));
    }

    void reject() override { done(m_escape); }

private:
    int m_escape = mrCancel;
};

} // namespace

bool VxMessageTooTall(const QString &text)
{
    const QFontMetrics metrics(QApplication::font());
    const int limit = availableArea().height() / 2;
    const QString shown = VxShownMessageText(text);
    // Counted before any layout: a list of thousands of rows is too tall at once.
    if (shown.count(QLatin1Char('\n')) * metrics.lineSpacing() > limit)
        return true;
    return metrics.boundingRect(QRect(0, 0, kBoxTextWidth, 1 << 24), Qt::TextWordWrap, shown)
               .height() > limit;
}

std::unique_ptr<QDialog> VxNewLongMessageDialog(const QString &text, TMsgDlgType type,
                                                TMsgDlgButtons buttons, int defaultButton)
{
    return std::make_unique<TfmVxLongMessage>(text, type, buttons == 0 ? mbOK : buttons,
                                              defaultButton);
}

int VxMessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext,
                 int defaultButton, const QString &detail)
{
    Q_UNUSED(helpContext);
    const QString shown = VxShownMessageText(text);
    if (buttons == 0)
        buttons = mbOK;
    const int fallback = defaultButton != mrNone ? defaultButton : fallbackDefault(buttons);

    if (DialogSeam::scripted()) {
        DialogSeam::record(QStringLiteral("message"), shown, QString::fromLatin1(typeName(type)),
                           VxShownMessageText(detail));
        return DialogSeam::hasAnswer() ? DialogSeam::takeAnswer().toInt() : fallback;
    }
    if (VxMessageTooTall(text)) {
        const auto dialog =
            VxNewLongMessageDialog(detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail,
                                   type, buttons, defaultButton);
        return dialog->exec();
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

namespace {

// QFileSystemModel writes dates and sizes in the system's locale: the program's instead.
class TVxFileTextsInLocale : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role == Qt::DisplayRole && files && index.isValid()) {
            const QModelIndex source = mapToSource(index);
            if (index.column() == 1 && !files->isDir(source))
                return QLocale().formattedDataSize(files->size(source));
            if (index.column() == 3)
                return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

QString chosenPath(TVxFileDialogMode mode, QWidget *parent, const QString &caption,
                   const QString &dir, const QString &filter)
{
    static const char *const kinds[] = {"open-file", "save-file", "folder"};
    if (DialogSeam::scripted())
        return scriptedPath(QString::fromLatin1(kinds[int(mode)]), caption);
    const auto dialog = VxNewFileDialog(parent, mode, caption, dir, filter);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
}

} // namespace

std::unique_ptr<QFileDialog> VxNewFileDialog(QWidget *parent, TVxFileDialogMode mode,
                                             const QString &caption, const QString &dir,
                                             const QString &filter)
{
    auto dialog = std::make_unique<QFileDialog>(parent, caption, dir, filter);
    // The desktop's own chooser speaks the system's language; Qt's speaks the program's.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setLocale(QLocale());
    dialog->setProxyModel(new TVxFileTextsInLocale(dialog.get()));
    switch (mode) {
    case TVxFileDialogMode::Open:
        dialog->setFileMode(QFileDialog::ExistingFile);
        break;
    case TVxFileDialogMode::Save:
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        break;
    case TVxFileDialogMode::Folder:
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    dialog->setViewMode(QFileDialog::Detail);
    // Size, type and date whole; the name takes the rest.
    if (auto *view = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    dialog->resize(QSize(900, 560).boundedTo(availableArea().size() * 9 / 10));
    return dialog;
}

QString VxOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                       const QString &filter)
{
    return chosenPath(TVxFileDialogMode::Open, parent, caption, dir, filter);
}

QString VxSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                       const QString &filter)
{
    return chosenPath(TVxFileDialogMode::Save, parent, caption, dir, filter);
}

QString VxSelectDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return chosenPath(TVxFileDialogMode::Folder, parent, caption, dir, QString());
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
    // Qt's own, as every chooser of the program: the desktop's speaks the system's language.
    const QFont font =
        QFontDialog::getFont(&ok, initial, parent, caption, QFontDialog::DontUseNativeDialog);
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
    const QColor color =
        QColorDialog::getColor(initial, parent, caption, QColorDialog::DontUseNativeDialog);
    return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
}

bool VxPrintDialog(QWidget *parent, TVxPrintOutput &output, const QString &caption, int pageCount)
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
        output.setFile(file);
        if (map.contains(QStringLiteral("from")))
            output.setPages(map.value(QStringLiteral("from")).toInt(),
                            map.value(QStringLiteral("to")).toInt());
        return true;
    }
    return VxNewPrintDialog(output.printer(), parent, caption, pageCount)->exec() ==
           QDialog::Accepted;
}

std::unique_ptr<QPrintDialog> VxNewPrintDialog(QPrinter &printer, QWidget *parent,
                                               const QString &caption, int pageCount)
{
    auto dialog = std::make_unique<QPrintDialog>(&printer, parent);
    dialog->setWindowTitle(caption);
    if (pageCount > 0) {
        dialog->setMinMax(1, pageCount);
        dialog->setOption(QAbstractPrintDialog::PrintPageRange);
    }
    // Qt's options ("Stampa tutto", "Pagine da", "Fascicola", "Ordine inverso") carry no letter.
    VxGiveMnemonics(dialog.get());
    return dialog;
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

namespace {

// What Qt's Italian catalogues (Debian 12) leave in English in the dialogs the program shows;
// asked after them, so that a catalogue that learns a text has the last word.
class TVxQtCatalogueGaps : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        static const struct
        {
            const char *context, *source, *italian;
        } kGaps[] = {
            {"QAbstractFileIconProvider", "Folder", "Cartella"},
            {"QAbstractFileIconProvider", "Drive", "Unità"},
            {"QPrintSettingsOutput", "Pages", "Pagine"},
            {"QPrintSettingsOutput", "Double Sided Printing", "Stampa fronte/retro"},
            {"QPrintSettingsOutput", "Off", "Solo fronte"},
            {"QPrintSettingsOutput", "Long side binding", "Rilegatura sul lato lungo"},
            {"QPrintSettingsOutput", "Short side binding", "Rilegatura sul lato corto"},
            {"QPrintSettingsOutput",
             "Specify pages or ranges separated by commas. Ranges are specified by two numbers "
             "separated by a hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
             "Indicare pagine o intervalli separati da virgole; un intervallo è dato da due "
             "numeri separati da un trattino. Ad esempio 3,5-7,9 stampa le pagine 3, 5, 6, 7 e 9."},
            {"QPrintPropertiesWidget", "Advanced", "Avanzate"},
            {"QPrintPropertiesWidget", "There are conflicts in some options. Please fix them.",
             "Alcune opzioni sono in conflitto: correggerle."},
        };
        for (const auto &gap : kGaps) {
            if (qstrcmp(context, gap.context) == 0 && qstrcmp(sourceText, gap.source) == 0)
                return QString::fromUtf8(gap.italian);
        }
        return {};
    }
};

} // namespace

bool installItalianLocale()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    // Installed first, asked last.
    QCoreApplication::installTranslator(new TVxQtCatalogueGaps(QCoreApplication::instance()));
    // Every Qt module the program shows (widgets, print settings, the file chooser's icons)
    // is in qtbase's catalogue.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
