#pragma once

#include <QString>

#include <functional>

// The pupil-history writer the class export calls when its pages are asked for ("Includi storico
// HTML"). The exports part puts it here when it installs itself, so that the exchange calls
// nothing of exports/ and a program without that part says so instead of skipping the pages.
struct QelHistoryHooks
{
    // Writes the history pages of the pupils of the classes (decimal ids, comma-separated) under
    // folder + "storico/", for the school year iAnsId; returns the warning to show when the
    // list file beside the folder could not be saved, empty otherwise. Raises EVxException when
    // the pages cannot be written.
    std::function<QString(const QString &classIds, const QString &folder, int iAnsId)> buildHistory;
};
QelHistoryHooks &qelHistoryHooks();
