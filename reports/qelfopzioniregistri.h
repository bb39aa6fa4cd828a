#pragma once

#include "platform/wizard.h"

#include <QList>

#include <array>

class TfrVxDoubleListView;

// The register options of the working session: which classes took the qualification exam
// (page 1, list 0) and which the state exam (page 2, list 1), so that the register prints
// their exam pages. A class may stand in both lists. Finish saves both lists together.
class TfmQelOpzioniRegistri : public TfmVxWizard
{
    Q_OBJECT
public:
    explicit TfmQelOpzioniRegistri(QWidget *owner = nullptr);

    // tipoElenco 0 or 1: the page's classes, available on the left and listed on the right.
    TfrVxDoubleListView *dlElenco(int tipoElenco) const { return m_lists[std::size_t(tipoElenco)]; }

protected:
    // A page whose listed classes are empty is read again from the database; one the office
    // has filled stays as it was left.
    void PageShown(int page) override;
    // A save that fails is shown and keeps the window open, with nothing saved; so does Finish
    // after a page could not be read (saving it would empty its list).
    bool Finish() override;

private:
    std::array<TfrVxDoubleListView *, 2> m_lists{};
    // Each page's listed classes as last read: a save writes what changed since.
    std::array<QList<int>, 2> m_loaded;
    bool m_loadFailed = false;
};
