#pragma once

#include <QList>
#include <QString>

// The program's commands as data: pages and entries with their captions, orders, images and
// target windows. The command table builds the framework's items from it; tests walk it.
struct QelPageDef
{
    const char *name;
    const char *caption;
    int order;
    bool sorted;
    bool visible;
};

enum class QelCommandKind { Form, Component, Shell, Report };

struct QelCommandDef
{
    const char *name;
    const char *page; // a page name, or nullptr for an entry offered on no page
    QelCommandKind kind;
    const char *caption;
    int order;
    int image;             // -1: no image
    const char *formClass; // form commands only
    bool modal;
    bool visible;
};

const QList<QelPageDef> &qelPages();
const QList<QelCommandDef> &qelCommands();

// Where the office finds a command, as the command bar shows it: "page - command"
// ("Utilità e parametri - Parametri Invio docenti"). Messages that send the office to a
// command name it so; a name the table lacks is a programming error.
QString qelCommandPath(const char *name);

// Target classes of form commands whose windows belong to parts of the program not built
// yet; each is registered with the placeholder window. A window a part registers leaves this
// list the day it is registered: the command table's test holds the two to each other.
const QList<const char *> &qelPendingFormClasses();
// The windows of the suite's packages that are not part of Tavrin (session configuration,
// signatures, translations, communication settings); the placeholder stands for each.
QStringList qelOtherProgramFormClasses();
