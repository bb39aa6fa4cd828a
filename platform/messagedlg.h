#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The suite's message dialog. Types, buttons and results keep the suite's values, which
// callers compare against (Yes 6, No 7, OK 1, Cancel 2).
enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn : unsigned {
    mbYes = 0x001,
    mbNo = 0x002,
    mbOK = 0x004,
    mbCancel = 0x008,
    mbAbort = 0x010,
    mbRetry = 0x020,
    mbIgnore = 0x040,
    mbAll = 0x080,
    mbNoToAll = 0x100,
    mbYesToAll = 0x200,
    mbHelp = 0x400,
};
using TMsgDlgButtons = unsigned;

constexpr TMsgDlgButtons mbYesNo = mbYes | mbNo;
constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;

enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// Shows the text (a "\r" or "\n" is a line break) and returns the button pressed. The
// default button is the one a scripted run without a queued answer presses; without one,
// the first of OK, Yes, Cancel, No present. A detail (the engine's text behind the message)
// is offered for the technician behind a button, not put in the office's way.
// No line is longer than kMaxLineChars (platform/helpers.h): a longer one is cut with "…".
// A text taller than a message box can show on the screen (a list of refused rows) comes in
// VxNewLongMessageDialog's dialog instead; its first paragraph, the summary, stays in view.
int VxMessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0,
                 int defaultButton = mrNone, const QString &detail = QString());

class QDialog;

// The text of VxMessageDlg as shown: line breaks made "\n", each line cut.
QString VxShownMessageText(const QString &text);
// Whether the text, as a message box would lay it out, is taller than the screen allows.
bool VxMessageTooTall(const QString &text);
// The dialog of a text too tall for a message box: a short first paragraph on top as the
// summary ("laSummary"), the other lines in a scrolling read-only box ("meText"), the buttons
// below; never larger than the screen's available area. exec() returns the button pressed (Escape:
// Cancel, else the default).
std::unique_ptr<QDialog> VxNewLongMessageDialog(const QString &text, TMsgDlgType type,
                                                TMsgDlgButtons buttons, int defaultButton = mrNone);

// The one boundary of work started by an event (a command, a button, a timer, a window's
// activation): runs the work and shows an exception it raises once, an EVxException with its
// own severity and detail, anything else as an error; false then. Qt cannot carry an exception out
// of an event handler: without this boundary an expected failure would end the program.
bool RunShowingErrors(const std::function<void()> &work);

class QWidget;

// File and folder choosers of the program, in VxNewFileDialog's dialog. Scripted runs take the
// next queued answer as the chosen path (a queued empty text, or none, is a cancelled
// chooser); the caption is recorded. An empty result means the user cancelled.
QString VxOpenFileName(QWidget *parent, const QString &caption, const QString &dir = {},
                       const QString &filter = {});
QString VxSaveFileName(QWidget *parent, const QString &caption, const QString &dir = {},
                       const QString &filter = {});
QString VxSelectDirectory(QWidget *parent, const QString &caption, const QString &dir = {});

class QFileDialog;
enum class TVxFileDialogMode { Open, Save, Folder };
// The chooser as the program shows it: Qt's own dialog, never the desktop's (which speaks the
// system's language), its dates and sizes in the program's locale, in detail, every column but
// the name as wide as its texts.
std::unique_ptr<QFileDialog> VxNewFileDialog(QWidget *parent, TVxFileDialogMode mode,
                                             const QString &caption, const QString &dir = {},
                                             const QString &filter = {});

// Font and colour choosers of the program: the chosen value, none when the user cancelled.
// Scripted runs record the caption (kinds "font" and "color") and take the next queued answer:
// a QFont or QColor (a colour also as its name, "#rrggbb"); none queued, or an empty one, is a
// cancelled chooser.
std::optional<QFont> VxChooseFont(QWidget *parent, const QFont &initial,
                                  const QString &caption = {});
std::optional<QColor> VxChooseColor(QWidget *parent, const QColor &initial,
                                    const QString &caption = {});

class QPrinter;
class TVxPrintOutput;

// The print dialog of the program: true when the user chose to print, the output then set as
// chosen (printer or PDF file, pages, copies: printoutput.h). With a page count the dialog
// offers a range within it. Scripted runs record the caption (kind "print") and take the next
// queued answer: a file name prints to that PDF file; a map {"file", "from", "to"} prints that
// page range to it; none queued, or an empty one, is a cancelled dialog.
bool VxPrintDialog(QWidget *parent, TVxPrintOutput &output, const QString &caption,
                   int pageCount = 0);
class QPrintDialog;
// The print dialog VxPrintDialog shows.
std::unique_ptr<QPrintDialog> VxNewPrintDialog(QPrinter &printer, QWidget *parent,
                                               const QString &caption, int pageCount = 0);

// The program speaks Italian whatever the system's locale: every widget's dates, numbers and day
// names (QLocale's default, taken by each widget when it is made), and Qt's own dialogs and
// buttons (file choosers, print settings, standard buttons) through Debian's Qt translations,
// with the program's own Italian for the few texts they leave in English; false when those
// are not installed, the dialogs then staying mostly in English. Once, at start, before the
// first window.
bool installItalianLocale();

// Runs a dialog modally through the seam and returns its modal result (mrOk, mrCancel, ...).
// Scripted runs record the dialog (kind "modal", its title, its class) and never block: a
// queued modal script drives the live dialog; a queued number is the result; with nothing
// queued the dialog is cancelled (mrCancel).
int VxExecModal(QDialog *dialog);
