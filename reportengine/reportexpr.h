#pragma once

// The expression language of report templates (reportengine/reportexpressions.md) and the text of
// a text object: literal text with [expression] segments.
//
//   TfrExpression e = TfrExpression::parse("IIF([Codice Sessione 1] = '', 'no', 'si')");
//   QVariant v = e.evaluate(context);          // what the expression reads comes from context
//   TfrText t = TfrText::parse("Classe [qquClsSes.\"sClsDesc\"] del [DATE]");
//   for (const TfrText::Segment &s : t.segments()) ...
//
// parse raises EfrError naming the position (1-based, in the text given to parse) and what was
// expected; nothing malformed gets as far as evaluation. A call Name(a, b, c) is not
// evaluated by the engine: the context receives the argument texts as written (blanks around
// them left out) and a function library evaluates them when and if it wants (frParser.Calc).
// An expression is immutable once parsed; evaluation is re-entrant.

#include "reportengine/reportvalue.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

// What an expression reads while it is evaluated.
class TfrEvalContext
{
public:
    virtual ~TfrEvalContext() = default;
    // [name] or a bare name.
    virtual QVariant variable(const QString &name) = 0;
    // dataSet."field"
    virtual QVariant field(const QString &dataSet, const QString &field) = 0;
    // Name(a, b, c): the argument texts, at most three.
    virtual QVariant callFunction(const QString &name, const QStringList &arguments) = 0;
};

struct TfrNode;

class TfrExpression
{
public:
    TfrExpression();
    ~TfrExpression();
    TfrExpression(const TfrExpression &);
    TfrExpression &operator=(const TfrExpression &);

    // offset is added to the positions of the error messages (a segment inside a text).
    static TfrExpression parse(const QString &text, int offset = 0);

    QVariant evaluate(TfrEvalContext &context) const;
    QString text() const { return m_text; }

    // Expressions nest at most this deep (parentheses, calls, signs, not): deeper ones are
    // refused rather than risking the stack.
    static constexpr int MaxDepth = 200;

private:
    QString m_text;
    std::shared_ptr<const TfrNode> m_root;
};

class TfrText
{
public:
    struct Segment
    {
        QString literal;          // literal text, when the segment is not an expression
        TfrExpression expression; // the [expression] segment
        bool isExpression = false;
    };

    // Raises EfrError for an unclosed "[" or a malformed expression, with the position in
    // the memo. A "]" outside a segment is literal text.
    static TfrText parse(const QString &memo);

    const std::vector<Segment> &segments() const { return m_segments; }
    QString memo() const { return m_memo; }

private:
    QString m_memo;
    std::vector<Segment> m_segments;
};
