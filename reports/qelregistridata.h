#pragma once

// What the register options and the headmaster's signature read and write: for a session the
// classes that took the qualification exam (list 0) and the state exam (list 1), and for a
// school year the signature texts of its four sessions. The register template reads both
// through RegistroEsami and GetPreside. Failures raise EVxException with the database's text.

#include "platform/sqlparams.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

class QListWidget;

namespace QelRegisterOptions {

// The session's classes not in the list (available), and those in it (listed), as items of
// a double list: the class description, the class id as data.
void LoadAvailable(QListWidget *list, int iAnsSesDwgId, int tipoElenco);
void LoadListed(QListWidget *list, int iAnsSesDwgId, int tipoElenco);

// A list as the window read it and as the office left it.
struct ListChange
{
    QList<int> loaded;
    QList<int> chosen;
};
// The classes added to each list and taken out of it, in one transaction: either all are saved
// or nothing changes. Another office's change to other classes stays; one to the same classes,
// since the window read them or at the same moment, is told (EVxException) and nothing saved.
void Save(int iAnsSesDwgId, const std::array<ListChange, 2> &lists);

} // namespace QelRegisterOptions

namespace QelHeadmasterSignature {

// sFirmaSes1, sFirmaSes2, sFirmaSes3 and sFirmaDiff.
using Texts = std::array<QString, 4>;

// The year's texts; none when the year has no row.
std::optional<Texts> Load(int iAnsId);
// Inserts the year's row when there was none at loading; else writes the texts changed since
// then. Empty texts are stored as empty strings. Says so when another office stored the year's
// row meanwhile, or deleted it: loaded then becomes what the year holds now, so that saving
// again writes the texts over the other office's, or inserts them anew.
void Save(int iAnsId, const Texts &texts, std::optional<Texts> &loaded);

} // namespace QelHeadmasterSignature
