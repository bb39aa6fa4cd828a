#pragma once

// A report template: the page, the bands and the objects they print, as the XML format of
// version 1 holds them (reportengine/reporttemplate.md, schema reportengine/reporttemplate.xsd).
//
//   TfrTemplate t = frReadTemplate(bytes);    // EfrTemplateError: line, column, what is wrong
//   QByteArray again = frWriteTemplate(t);    // the same text for a template in written form
//
// Lengths are millimetres, font sizes points. Reading refuses what it does not know (another
// version, an element or attribute, a value out of range, an expression that does not parse)
// with the line and column where it stands, so that a template never fails half-way through
// a run for a fault that could be seen on reading. Writing puts attributes in one order and
// leaves out those at their default: a template read from its written form writes back the
// same bytes.

#include "platform/vxexception.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class EfrTemplateError : public EVxException
{
public:
    EfrTemplateError(qint64 line, qint64 column, const QString &what);
    qint64 Line() const { return m_line; }
    qint64 Column() const { return m_column; }
    QString What() const { return m_what; }

private:
    qint64 m_line;
    qint64 m_column;
    QString m_what;
};

// The format of a text object's expressions: "number:N" prints numbers (and texts that read as
// numbers) with N decimals and a comma; "date:PATTERN" prints dates (and texts that read as
// dates) with a Qt date pattern in Italian ("d MMMM yyyy": 3 settembre 2008). Other values
// print their display text.
class TfrFormat
{
public:
    // Raises EfrError saying what is wrong.
    static TfrFormat parse(const QString &text);
    QString apply(const QVariant &value) const;
    bool isEmpty() const { return m_kind == None; }

private:
    enum Kind { None, Number, Date };
    Kind m_kind = None;
    int m_decimals = 0;
    QString m_pattern;
    // A report prints the same few dates over and over, and Qt reads the pattern anew at
    // every date it formats: the texts made are kept, by day.
    std::shared_ptr<QHash<qint64, QString>> m_dates;
};

enum class TfrAlign : quint8 { Left, Center, Right };
enum class TfrObjectKind { Text, Line, Rect };

// Sides of a text object's frame.
enum TfrFrameSide { fsNone = 0, fsLeft = 1, fsTop = 2, fsRight = 4, fsBottom = 8, fsAll = 15 };

struct TfrObject
{
    TfrObjectKind Kind = TfrObjectKind::Text;
    QString Name;
    double Left = 0, Top = 0, Width = 0, Height = 0;

    // Text: literal text with [expression] segments.
    QString Memo;
    // The report's default font where not given.
    std::optional<double> FontSize;
    std::optional<bool> Bold;
    std::optional<bool> Italic;
    TfrAlign Align = TfrAlign::Left;
    bool WordWrap = true;
    bool Stretch = false; // grows with its text (in a stretching band); else clipped
    // Shrinks, half a point at a time down to this size, until the text fits its box.
    std::optional<double> MinFontSize;
    int Frame = fsNone; // TfrFrameSide bits
    QString Format;     // "number:2", "date:dd/MM/yyyy" or empty

    // Text frames, lines and rectangles.
    double LineWidth = 0.2;
    QColor Fill; // invalid: none (text, rectangle)

    bool operator==(const TfrObject &) const = default;
};

// What an across band does with columns that would pass the right margin.
enum class TfrAcrossOverflow {
    Clip,   // not printed
    Shrink, // every column narrowed so that all fit
    Wrap    // continued on a new row of columns below, the band growing
};

enum class TfrBandKind {
    ReportTitle,
    PageHeader,
    PageFooter,
    Data,
    Header,
    Continued, // data: atop each page a row of its goes on to
    Footer,
    Across,
    Summary
};

struct TfrBand
{
    TfrBandKind Kind = TfrBandKind::Data;
    QString Name;
    QString DataSet; // data and across bands: the report dataset walked
    double Height = 0;
    double Left = 0, Width = 0; // across: where the first column starts, each column's width
    bool Stretch = false;
    bool NewPageBefore = false;
    bool NewPageAfter = false;
    bool PrintWhenEmpty = false;
    bool KeepTogether = false;
    bool KeepWhole = false; // data: header, rows and footer on one page when they fit on one
    bool Repeat = false;    // header: again atop each page its band's rows go on to
    TfrAcrossOverflow Overflow = TfrAcrossOverflow::Clip; // across
    QString Visible;                                      // an expression; empty: always

    std::vector<TfrObject> Objects;
    // A data band: its header, continued band and footer (at most one each), across bands and
    // nested data bands; another band: its across bands.
    std::vector<TfrBand> Bands;

    const TfrBand *child(TfrBandKind kind) const;
    // The name the layout and its errors give the band: its own, else its element's.
    QString displayName() const;

    bool operator==(const TfrBand &) const = default;
};

enum class TfrPaper { A4, A3 };
enum class TfrOrientation { Portrait, Landscape };

struct TfrTemplate
{
    static constexpr int Version = 1;

    QString Title;
    TfrPaper Paper = TfrPaper::A4;
    TfrOrientation Orientation = TfrOrientation::Portrait;
    double MarginLeft = 10, MarginTop = 10, MarginRight = 10, MarginBottom = 10;
    double FontSize = 9;
    bool Bold = false;
    bool Italic = false;

    // In written order: the report title, page header, page footer and summary at most once;
    // data bands in the order they print.
    std::vector<TfrBand> Bands;

    QSizeF pageSize() const; // millimetres, turned for landscape
    const TfrBand *band(TfrBandKind kind) const;

    bool operator==(const TfrTemplate &) const = default;
};

TfrTemplate frReadTemplate(const QByteArray &xml);
QByteArray frWriteTemplate(const TfrTemplate &report);

// The element name of a kind of band ("data", "page-header" ...).
QString frBandElement(TfrBandKind kind);
