#include "reportengine/reportexpr.h"

#include <QDateTime>

#include <optional>

struct TfrNode
{
    enum Kind {
        Literal,
        Variable,
        Field,
        Call,
        Iif,
        Negate,
        Not,
        And,
        Or,
        Add,
        Subtract,
        Multiply,
        Divide,
        Equal,
        NotEqual,
        Less,
        LessOrEqual,
        Greater,
        GreaterOrEqual
    };
    Kind kind = Literal;
    QVariant value;        // Literal
    QString name;          // Variable; the dataset of Field; the function of Call
    QString field;         // Field
    QStringList arguments; // Call
    std::unique_ptr<TfrNode> a, b, c;
};

namespace {

// ---------------------------------------------------------------------------------------------
// Tokens

enum TokenKind {
    tEnd,
    tNumber,
    tText,
    tName,
    tVariable,
    tQuotedField,
    tOpen,
    tClose,
    tComma,
    tDot,
    tPlus,
    tMinus,
    tStar,
    tSlash,
    tEqual,
    tNotEqual,
    tLess,
    tLessOrEqual,
    tGreater,
    tGreaterOrEqual
};

struct Token
{
    TokenKind kind = tEnd;
    int start = 0; // in the expression text
    int end = 0;   // one past the last character
    QString text;  // name, variable, field or text contents
    QVariant number;
};

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('#');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString describe(const Token &t, const QString &source)
{
    if (t.kind == tEnd)
        return QStringLiteral("la fine dell'espressione");
    return QStringLiteral("«%1»").arg(source.mid(t.start, t.end - t.start));
}

class Parser
{
public:
    Parser(const QString &source, int offset) : m_source(source), m_offset(offset) { advance(); }

    std::unique_ptr<TfrNode> parseWhole()
    {
        auto node = parseOr();
        if (m_token.kind != tEnd)
            fail(m_token.start, QStringLiteral("atteso un operatore o la fine, trovato %1")
                                    .arg(describe(m_token, m_source)));
        return node;
    }

private:
    [[noreturn]] void fail(int position, const QString &what) const
    {
        throw EfrError(QStringLiteral("Espressione non valida alla posizione %1: %2.")
                           .arg(position + m_offset + 1)
                           .arg(what));
    }

    // -- lexer --------------------------------------------------------------------------------

    void advance()
    {
        m_lastEnd = m_token.end;
        const int n = int(m_source.size());
        int i = m_pos;
        while (i < n && m_source[i].isSpace())
            ++i;
        Token t;
        t.start = i;
        if (i >= n) {
            t.kind = tEnd;
            t.end = i;
            m_token = t;
            m_pos = i;
            return;
        }
        const QChar c = m_source[i];
        if (isDigit(c)) {
            int j = i;
            while (j < n && isDigit(m_source[j]))
                ++j;
            if (j + 1 < n && m_source[j] == QLatin1Char('.') && isDigit(m_source[j + 1])) {
                ++j;
                while (j < n && isDigit(m_source[j]))
                    ++j;
            }
            t.kind = tNumber;
            QVariant number;
            frParseNumber(m_source.mid(i, j - i), &number);
            t.number = number;
            t.end = j;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            int j = i + 1;
            QString text;
            for (;;) {
                if (j >= n)
                    fail(i, c == QLatin1Char('\'') ? QStringLiteral("testo tra apici non chiuso")
                                                   : QStringLiteral("nome di campo non chiuso"));
                if (m_source[j] == c) {
                    if (j + 1 < n && m_source[j + 1] == c) {
                        text += c;
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += m_source[j++];
            }
            t.kind = c == QLatin1Char('\'') ? tText : tQuotedField;
            t.text = text;
            t.end = j + 1;
        } else if (c == QLatin1Char('[')) {
            const int close = int(m_source.indexOf(QLatin1Char(']'), i + 1));
            const int open = int(m_source.indexOf(QLatin1Char('['), i + 1));
            if (close < 0)
                fail(i, QStringLiteral("nome di variabile senza «]»"));
            if (open >= 0 && open < close)
                fail(open, QStringLiteral("«[» dentro un nome di variabile"));
            t.kind = tVariable;
            t.text = m_source.mid(i + 1, close - i - 1);
            if (t.text.trimmed().isEmpty())
                fail(i, QStringLiteral("nome di variabile vuoto"));
            t.end = close + 1;
        } else if (isNameStart(c)) {
            int j = i + 1;
            while (j < n && isNamePart(m_source[j]))
                ++j;
            t.kind = tName;
            t.text = m_source.mid(i, j - i);
            t.end = j;
        } else {
            const QChar next = i + 1 < n ? m_source[i + 1] : QChar();
            t.end = i + 1;
            switch (c.unicode()) {
            case '(':
                t.kind = tOpen;
                break;
            case ')':
                t.kind = tClose;
                break;
            case ',':
                t.kind = tComma;
                break;
            case '.':
                t.kind = tDot;
                break;
            case '+':
                t.kind = tPlus;
                break;
            case '-':
                t.kind = tMinus;
                break;
            case '*':
                t.kind = tStar;
                break;
            case '/':
                t.kind = tSlash;
                break;
            case '=':
                t.kind = tEqual;
                break;
            case '<':
                if (next == QLatin1Char('>')) {
                    t.kind = tNotEqual;
                    t.end = i + 2;
                } else if (next == QLatin1Char('=')) {
                    t.kind = tLessOrEqual;
                    t.end = i + 2;
                } else {
                    t.kind = tLess;
                }
                break;
            case '>':
                if (next == QLatin1Char('=')) {
                    t.kind = tGreaterOrEqual;
                    t.end = i + 2;
                } else {
                    t.kind = tGreater;
                }
                break;
            default:
                fail(i, QStringLiteral("carattere non atteso «%1»").arg(c));
            }
        }
        m_token = t;
        m_pos = t.end;
    }

    bool isKeyword(const char *word) const
    {
        return m_token.kind == tName &&
               m_token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    void expect(TokenKind kind, const QString &what)
    {
        if (m_token.kind != kind)
            fail(m_token.start,
                 QStringLiteral("atteso %1, trovato %2").arg(what, describe(m_token, m_source)));
        advance();
    }

    // Each nesting level counts; the limit keeps hostile or damaged templates off the stack.
    struct Deeper
    {
        Deeper(Parser &p, int position) : parser(p)
        {
            if (++parser.m_depth > TfrExpression::MaxDepth)
                parser.fail(position, QStringLiteral("espressione annidata troppo in profondità"));
        }
        ~Deeper() { --parser.m_depth; }
        Parser &parser;
    };

    static std::unique_ptr<TfrNode> binary(TfrNode::Kind kind, std::unique_ptr<TfrNode> a,
                                           std::unique_ptr<TfrNode> b)
    {
        auto node = std::make_unique<TfrNode>();
        node->kind = kind;
        node->a = std::move(a);
        node->b = std::move(b);
        return node;
    }

    // -- grammar ------------------------------------------------------------------------------

    std::unique_ptr<TfrNode> parseOr()
    {
        auto left = parseAnd();
        while (isKeyword("or")) {
            advance();
            left = binary(TfrNode::Or, std::move(left), parseAnd());
        }
        return left;
    }

    std::unique_ptr<TfrNode> parseAnd()
    {
        auto left = parseNot();
        while (isKeyword("and")) {
            advance();
            left = binary(TfrNode::And, std::move(left), parseNot());
        }
        return left;
    }

    std::unique_ptr<TfrNode> parseNot()
    {
        if (isKeyword("not")) {
            Deeper deeper(*this, m_token.start);
            advance();
            auto node = std::make_unique<TfrNode>();
            node->kind = TfrNode::Not;
            node->a = parseNot();
            return node;
        }
        return parseComparison();
    }

    std::unique_ptr<TfrNode> parseComparison()
    {
        auto left = parseAdditive();
        TfrNode::Kind kind;
        switch (m_token.kind) {
        case tEqual:
            kind = TfrNode::Equal;
            break;
        case tNotEqual:
            kind = TfrNode::NotEqual;
            break;
        case tLess:
            kind = TfrNode::Less;
            break;
        case tLessOrEqual:
            kind = TfrNode::LessOrEqual;
            break;
        case tGreater:
            kind = TfrNode::Greater;
            break;
        case tGreaterOrEqual:
            kind = TfrNode::GreaterOrEqual;
            break;
        default:
            return left;
        }
        advance();
        return binary(kind, std::move(left), parseAdditive());
    }

    // One level of operators that apply from left to right.
    template <typename Next>
    std::unique_ptr<TfrNode> leftToRight(Next next, TokenKind first, TfrNode::Kind firstKind,
                                         TokenKind second, TfrNode::Kind secondKind)
    {
        auto left = (this->*next)();
        while (m_token.kind == first || m_token.kind == second) {
            const TfrNode::Kind kind = m_token.kind == first ? firstKind : secondKind;
            advance();
            left = binary(kind, std::move(left), (this->*next)());
        }
        return left;
    }

    std::unique_ptr<TfrNode> parseAdditive()
    {
        return leftToRight(&Parser::parseTerm, tPlus, TfrNode::Add, tMinus, TfrNode::Subtract);
    }

    std::unique_ptr<TfrNode> parseTerm()
    {
        return leftToRight(&Parser::parseUnary, tStar, TfrNode::Multiply, tSlash, TfrNode::Divide);
    }

    std::unique_ptr<TfrNode> parseUnary()
    {
        if (m_token.kind == tMinus || m_token.kind == tPlus) {
            Deeper deeper(*this, m_token.start);
            const bool negate = m_token.kind == tMinus;
            advance();
            auto operand = parseUnary();
            if (!negate)
                return operand;
            auto node = std::make_unique<TfrNode>();
            node->kind = TfrNode::Negate;
            node->a = std::move(operand);
            return node;
        }
        return parsePrimary();
    }

    std::unique_ptr<TfrNode> parsePrimary()
    {
        auto node = std::make_unique<TfrNode>();
        const Token t = m_token;
        switch (t.kind) {
        case tNumber:
            node->value = t.number;
            advance();
            return node;
        case tText:
            node->value = t.text;
            advance();
            return node;
        case tVariable:
            node->kind = TfrNode::Variable;
            node->name = t.text;
            advance();
            return node;
        case tOpen: {
            Deeper deeper(*this, t.start);
            advance();
            auto inner = parseOr();
            expect(tClose, QStringLiteral("«)»"));
            return inner;
        }
        case tName:
            if (isKeyword("and") || isKeyword("or") || isKeyword("not"))
                fail(t.start,
                     QStringLiteral("atteso un valore, trovato %1").arg(describe(t, m_source)));
            advance();
            if (m_token.kind == tOpen)
                return parseCall(t);
            if (m_token.kind == tDot) {
                advance();
                if (m_token.kind != tQuotedField)
                    fail(m_token.start,
                         QStringLiteral("atteso il nome del campo tra virgolette dopo «%1.»")
                             .arg(t.text));
                node->kind = TfrNode::Field;
                node->name = t.text;
                node->field = m_token.text;
                advance();
                return node;
            }
            if (t.text.compare(QLatin1String("IIF"), Qt::CaseInsensitive) == 0)
                fail(m_token.start, QStringLiteral("atteso «(» dopo IIF"));
            node->kind = TfrNode::Variable;
            node->name = t.text;
            return node;
        default:
            fail(t.start,
                 QStringLiteral("atteso un valore, trovato %1").arg(describe(t, m_source)));
        }
    }

    std::unique_ptr<TfrNode> parseCall(const Token &name)
    {
        Deeper deeper(*this, name.start);
        const bool iif = name.text.compare(QLatin1String("IIF"), Qt::CaseInsensitive) == 0;
        advance(); // "("
        auto node = std::make_unique<TfrNode>();
        node->kind = iif ? TfrNode::Iif : TfrNode::Call;
        node->name = name.text;
        std::vector<std::unique_ptr<TfrNode>> parsed;
        if (m_token.kind != tClose) {
            for (;;) {
                if (!iif && node->arguments.size() == 3)
                    fail(m_token.start,
                         QStringLiteral("la funzione %1 accetta al massimo tre argomenti")
                             .arg(name.text));
                if (m_token.kind == tComma || m_token.kind == tClose)
                    fail(m_token.start, QStringLiteral("argomento vuoto"));
                const int start = m_token.start;
                auto argument = parseOr();
                node->arguments << m_source.mid(start, m_lastEnd - start);
                if (iif)
                    parsed.push_back(std::move(argument));
                if (m_token.kind != tComma)
                    break;
                advance();
            }
        }
        expect(tClose, QStringLiteral("«,» o «)»"));
        if (iif) {
            if (parsed.size() != 3)
                fail(name.start, QStringLiteral("IIF vuole tre argomenti: condizione, valore "
                                                "se vera, valore se falsa"));
            node->a = std::move(parsed[0]);
            node->b = std::move(parsed[1]);
            node->c = std::move(parsed[2]);
            node->arguments.clear();
        }
        return node;
    }

    const QString &m_source;
    int m_offset;
    int m_pos = 0;
    int m_depth = 0;
    int m_lastEnd = 0; // end of the last consumed token: where an argument's text stops
    Token m_token;
};

// ---------------------------------------------------------------------------------------------
// Evaluation

bool isNumeric(TfrValueKind k)
{
    return k == vkInteger || k == vkFloat || k == vkBoolean;
}

// An operand of arithmetic: integer, float, or a text that reads as a number.
QVariant numeric(const QVariant &v)
{
    switch (frValueKind(v)) {
    case vkInteger:
    case vkBoolean:
        return frToInteger(v);
    case vkFloat:
        return v.toDouble();
    case vkText: {
        QVariant number;
        if (frParseNumber(frDisplayText(v), &number))
            return number;
        break;
    }
    default:
        break;
    }
    return frToFloat(v); // raises the conversion error with the value's text
}

QVariant arithmetic(TfrNode::Kind kind, const QVariant &left, const QVariant &right)
{
    const QVariant a = numeric(left);
    const QVariant b = numeric(right);
    if (kind == TfrNode::Divide) {
        const double divisor = b.toDouble();
        if (divisor == 0.0)
            throw EfrError(QStringLiteral("Divisione per zero."));
        return a.toDouble() / divisor;
    }
    if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong) {
        const qint64 x = a.toLongLong();
        const qint64 y = b.toLongLong();
        qint64 r = 0;
        bool overflow = false;
        switch (kind) {
        case TfrNode::Add:
            overflow = __builtin_add_overflow(x, y, &r);
            break;
        case TfrNode::Subtract:
            overflow = __builtin_sub_overflow(x, y, &r);
            break;
        default:
            overflow = __builtin_mul_overflow(x, y, &r);
            break;
        }
        if (!overflow)
            return qlonglong(r);
    }
    const double x = a.toDouble();
    const double y = b.toDouble();
    switch (kind) {
    case TfrNode::Add:
        return x + y;
    case TfrNode::Subtract:
        return x - y;
    default:
        return x * y;
    }
}

template <typename T> int order(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool isDateKind(const QVariant &v)
{
    return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime;
}

QDateTime asDateTime(const QVariant &v)
{
    return v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime();
}

// -1, 0, 1; nothing when the two cannot be ordered (null against a number or a date).
std::optional<int> compare(const QVariant &a, const QVariant &b)
{
    const TfrValueKind ka = frValueKind(a);
    const TfrValueKind kb = frValueKind(b);
    if (ka == vkNull || kb == vkNull) {
        if (ka == kb)
            return 0;
        if (ka == vkText || kb == vkText)
            return order(frDisplayText(a), frDisplayText(b));
        return std::nullopt;
    }
    QVariant na = a;
    QVariant nb = b;
    if (isNumeric(ka) && kb == vkText)
        frParseNumber(frDisplayText(b), &nb);
    if (isNumeric(kb) && ka == vkText)
        frParseNumber(frDisplayText(a), &na);
    const TfrValueKind fa = frValueKind(na);
    const TfrValueKind fb = frValueKind(nb);
    if (isNumeric(fa) && isNumeric(fb)) {
        if (fa != vkFloat && fb != vkFloat)
            return order(frToInteger(na), frToInteger(nb));
        return order(frToFloat(na), frToFloat(nb));
    }
    if (isDateKind(a) || isDateKind(b)) {
        QVariant da = a;
        QVariant db = b;
        try {
            if (!isDateKind(da))
                da = frToDate(da);
            if (!isDateKind(db))
                db = frToDate(db);
            return order(asDateTime(da), asDateTime(db));
        } catch (const EfrConversionError &) {
            // a text that is no date compares as text
        }
    }
    return order(frDisplayText(a), frDisplayText(b));
}

QVariant evaluateNode(const TfrNode &n, TfrEvalContext &context)
{
    switch (n.kind) {
    case TfrNode::Literal:
        return n.value;
    case TfrNode::Variable:
        return context.variable(n.name);
    case TfrNode::Field:
        return context.field(n.name, n.field);
    case TfrNode::Call:
        return context.callFunction(n.name, n.arguments);
    case TfrNode::Iif:
        return frToBoolean(evaluateNode(*n.a, context)) ? evaluateNode(*n.b, context)
                                                        : evaluateNode(*n.c, context);
    case TfrNode::Not:
        return !frToBoolean(evaluateNode(*n.a, context));
    case TfrNode::And:
        return frToBoolean(evaluateNode(*n.a, context)) && frToBoolean(evaluateNode(*n.b, context));
    case TfrNode::Or:
        return frToBoolean(evaluateNode(*n.a, context)) || frToBoolean(evaluateNode(*n.b, context));
    case TfrNode::Negate: {
        const QVariant v = evaluateNode(*n.a, context);
        if (frValueKind(v) == vkNull)
            return QVariant();
        return arithmetic(TfrNode::Subtract, qlonglong(0), v);
    }
    case TfrNode::Add:
    case TfrNode::Subtract:
    case TfrNode::Multiply:
    case TfrNode::Divide: {
        const QVariant a = evaluateNode(*n.a, context);
        const QVariant b = evaluateNode(*n.b, context);
        if (n.kind == TfrNode::Add && (frValueKind(a) == vkText || frValueKind(b) == vkText))
            return frJoinText(a, b);
        if (frValueKind(a) == vkNull || frValueKind(b) == vkNull)
            return QVariant();
        return arithmetic(n.kind, a, b);
    }
    case TfrNode::Equal:
    case TfrNode::NotEqual:
    case TfrNode::Less:
    case TfrNode::LessOrEqual:
    case TfrNode::Greater:
    case TfrNode::GreaterOrEqual: {
        const std::optional<int> c =
            compare(evaluateNode(*n.a, context), evaluateNode(*n.b, context));
        switch (n.kind) {
        case TfrNode::Equal:
            return c == 0;
        case TfrNode::NotEqual:
            return c != 0;
        case TfrNode::Less:
            return c.has_value() && *c < 0;
        case TfrNode::LessOrEqual:
            return c.has_value() && *c <= 0;
        case TfrNode::Greater:
            return c.has_value() && *c > 0;
        default:
            return c.has_value() && *c >= 0;
        }
    }
    }
    return QVariant();
}

} // namespace

TfrExpression::TfrExpression() = default;
TfrExpression::~TfrExpression() = default;
TfrExpression::TfrExpression(const TfrExpression &) = default;
TfrExpression &TfrExpression::operator=(const TfrExpression &) = default;

TfrExpression TfrExpression::parse(const QString &text, int offset)
{
    TfrExpression e;
    e.m_text = text;
    Parser parser(text, offset);
    e.m_root = parser.parseWhole();
    return e;
}

QVariant TfrExpression::evaluate(TfrEvalContext &context) const
{
    if (!m_root)
        throw EfrError(QStringLiteral("Espressione vuota."));
    return evaluateNode(*m_root, context);
}

TfrText TfrText::parse(const QString &memo)
{
    TfrText t;
    t.m_memo = memo;
    const int n = int(memo.size());
    int literalStart = 0;
    int i = 0;
    while (i < n) {
        if (memo[i] != QLatin1Char('[')) {
            ++i;
            continue;
        }
        // The segment closes at the "]" that balances its "[". Quoted text is skipped; inside
        // a [variable name] a quote is part of the name.
        int depth = 0;
        int j = i;
        QChar quote;
        for (; j < n; ++j) {
            const QChar c = memo[j];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (depth == 1 && (c == QLatin1Char('\'') || c == QLatin1Char('"'))) {
                quote = c;
            } else if (c == QLatin1Char('[')) {
                ++depth;
            } else if (c == QLatin1Char(']') && --depth == 0) {
                break;
            }
        }
        if (j >= n)
            throw EfrError(QStringLiteral("Testo non valido alla posizione %1: «[» senza la «]» "
                                          "che la chiude.")
                               .arg(i + 1));
        if (i > literalStart) {
            Segment s;
            s.literal = memo.mid(literalStart, i - literalStart);
            t.m_segments.push_back(std::move(s));
        }
        Segment s;
        s.isExpression = true;
        s.expression = TfrExpression::parse(memo.mid(i + 1, j - i - 1), i + 1);
        t.m_segments.push_back(std::move(s));
        i = j + 1;
        literalStart = i;
    }
    if (n > literalStart) {
        Segment s;
        s.literal = memo.mid(literalStart);
        t.m_segments.push_back(std::move(s));
    }
    return t;
}
