#pragma once

#include "xls/records.h"

#include <QString>

#include <memory>
#include <vector>

// Cell formats, fonts, number formats, the colour palette and the sheet-name list.
namespace xls {

class TXFRecord : public TRecordOf<TXFRecord>
{
public:
    using TRecordOf::TRecordOf;
};

class TFontRecord : public TRecordOf<TFontRecord>
{
public:
    using TRecordOf::TRecordOf;
    QString fontName() const;
};

class TFormatRecord : public TRecordOf<TFormatRecord>
{
public:
    using TRecordOf::TRecordOf;
    int formatIndex() const { return getWord(0); }
    QString formatString() const;
};

class TPaletteRecord : public TRecordOf<TPaletteRecord>
{
public:
    using TRecordOf::TRecordOf;
    static std::unique_ptr<TPaletteRecord> CreateDefault();
    int colorCount() const { return getWord(0); }
};

// The 56 default colours as a PALETTE entry holds them (0x00BBGGRR).
quint32 defaultPaletteColor(int index);
// The built-in number formats 0..49 (empty for the unused indexes and beyond).
QString builtInFormat(int index);

// A cell format as the adapter reports it.
struct TXlsCellFormat
{
    QString FontName;
    int FontHeight = 0;
    int FontColor = 0;
    bool Bold = false, Italic = false, StrikeOut = false, Superscript = false, Subscript = false;
    int Underline = 0;
    int BorderStyle[4] = {0, 0, 0, 0}; // left, right, top, bottom
    int BorderColor[4] = {0, 0, 0, 0};
    int DiagonalStyle = 0;
    int DiagonalColor = 0;
    int FillPattern = 0;
    int FillForeground = 0;
    int FillBackground = 0;
    QString NumberFormat;
    int HAlign = 0, VAlign = 0, Indent = 0;
    bool Wrap = false, ShrinkToFit = false, Locked = false, Hidden = false, Merge = false;
    int Parent = 0;
};

// Sheet names, kept unique: names compare by length first, then by code units (case counts).
class TSheetNameList
{
public:
    void clear() { m_items.clear(); }
    // "Sheet name already exist: %s" for a name already present.
    void Add(const QString &name);
    // The name itself when unused, else the name followed by the next free number.
    QString AddUnique(const QString &name);
    void Remove(const QString &name);
    bool contains(const QString &name) const;

private:
    struct Entry
    {
        QString name;
        int suffix = 0;
    };
    int find(const QString &name, bool &found) const;
    std::vector<Entry> m_items;
};

} // namespace xls
