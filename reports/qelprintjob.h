#pragma once

// The print-job descriptor of a digital register volume (the ".ist" beside its PDF): how the
// print service groups the PDF's pages, one entry per volume cover, per class cover and per
// run of pupil pages, written in PHP's serialize format, which the service unserializes.
//
//   PrintJobStart(*dmqelRptDataSets, stem + ".pdf", "A4", codCli, codMec);  // the wizard
//   ... the register template calls NewVolume, NewClasse, NewAlunno once per page ...
//   PrintJobEnd(*dmqelRptDataSets);                                           // the wizard
//   PrintJobWrite(folder + stem + ".ist", dmqelRptDataSets->PrintJobText());
//
// The text grows in the report data module's digital-print state, changed only through its
// setters. Every declared string length is the value's length in bytes of the UTF-8 the file
// is written in: a length that disagrees with its string makes the whole descriptor unreadable.

#include <QString>

class TdmqelRptDataSets;

// The builders. The header leaves the entry count open ("/*I_TOT_STRUCT*/") for the end.
QString PrintJobHeader(const QString &fileName, const QString &codCli, const QString &codMec);
// One entry: its key, page range, tray ("1" volume, "2" class, "3" pupils), media, print flag
// ("1") and title, all as text.
QString PrintJobStruct(const QString &code, const QString &from, const QString &to,
                       const QString &tray, const QString &media, const QString &print,
                       const QString &title);
QString PrintJobFooter();

// One register run. Start resets the state (the two page-text lists emptied, page 1, no
// entry) and begins the text with the header; a pupil page extends the open pupil range; a
// cover closes it, then adds its own entry; End closes the last range, the footer and the
// count. A cover given the page it prints on (0: not known) ends the open range just before
// it, whatever the pupil pages counted: a pupil's part may run over a page.
void PrintJobStart(TdmqelRptDataSets &m, const QString &fileName, const QString &media,
                   const QString &codCli, const QString &codMec);
void PrintJobNewAlunno(TdmqelRptDataSets &m);
void PrintJobNewVolume(TdmqelRptDataSets &m, int page = 0);
void PrintJobNewClasse(TdmqelRptDataSets &m, int page = 0);
void PrintJobEnd(TdmqelRptDataSets &m);

// The descriptor as a text file ending with a line break, replaced whole; EVxException when
// it cannot be written.
void PrintJobWrite(const QString &path, const QString &text);
