#pragma once

#include "platform/childforms.h"
#include "platform/dbgridframes.h"

class QPlainTextEdit;

// The predefined judgments (TGdt_GdzTemplate): a short title and the judgment's text. The
// list shows the titles only.
class TfrQelGiudizi : public TfrVxDBRWGrid
{
    Q_OBJECT
public:
    explicit TfrQelGiudizi(QWidget *parent = nullptr);

    TVxQueryCollection *xqcGiudizi() const { return m_collection; }
    QLineEdit *VxDBEdit1() const { return m_title; }
    QPlainTextEdit *VxDBMemo1() const { return m_text; }

    // Only the title column, under its heading. Applied again whenever the rows are read
    // afresh: the grid then shows every column again.
    void ImpostaGriglia();

private:
    TVxQueryCollection *m_collection;
    QLineEdit *m_title;
    QPlainTextEdit *m_text;
};

class TfmQelGiudizi : public TfmVxChildDB
{
    Q_OBJECT
public:
    explicit TfmQelGiudizi(QWidget *parent = nullptr);

    TfrQelGiudizi *frame() const { return m_frame; }

protected:
    void FormShow() override;

private:
    TfrQelGiudizi *m_frame;
};
