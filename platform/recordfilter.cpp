#include "platform/recordfilter.h"

#include "platform/vxexception.h"

#include <vector>

struct RecordFilter::Node
{
    enum Kind { Or, And, Not, Compare };
    enum Op { Eq, Ne, Lt, Gt, Le, Ge };
    struct Operand
    {
        enum Kind { Field, Number, Text } kind = Number;
        QString name;
        int column = -1;
        double number = 0;
        QString text;
    };

    Kind kind = Compare;
    std::vector<std::unique_ptr<Node>> children;
    Op op = Eq;
    Operand lhs;
    Operand rhs;
};

namespace {

using Node = RecordFilter::Node;

struct Token
{
    enum Kind { End, LParen, RParen, Op, Number, Text, Name } kind = End;
    QString text;
    int position = 0;
};

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) { tokenize(); }

    std::unique_ptr<Node> parse()
    {
        auto node = parseOr();
        if (current().kind != Token::End)
            fail(QStringLiteral("testo inatteso \"%1\"").arg(current().text), current().position);
        return node;
    }

private:
    [[noreturn]] void fail(const QString &what, int position) const
    {
        throw EVxException(QStringLiteral("Filtro non valido: %1 in posizione %2 di \"%3\".")
                               .arg(what)
                               .arg(position + 1)
                               .arg(m_text));
    }

    void tokenize()
    {
        const int n = int(m_text.size());
        int i = 0;
        while (i < n) {
            const QChar c = m_text.at(i);
            if (c.isSpace()) {
                ++i;
                continue;
            }
            Token t;
            t.position = i;
            if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
                t.kind = c == QLatin1Char('(') ? Token::LParen : Token::RParen;
                t.text = c;
                ++i;
            } else if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>')) {
                t.kind = Token::Op;
                t.text = c;
                ++i;
                if (i < n && c != QLatin1Char('=')) {
                    const QChar d = m_text.at(i);
                    if (d == QLatin1Char('=') || (c == QLatin1Char('<') && d == QLatin1Char('>'))) {
                        t.text += d;
                        ++i;
                    }
                }
            } else if (c.isDigit() ||
                       (c == QLatin1Char('-') && i + 1 < n && m_text.at(i + 1).isDigit())) {
                t.kind = Token::Number;
                int j = i + 1;
                while (j < n && m_text.at(j).isDigit())
                    ++j;
                if (j + 1 < n && m_text.at(j) == QLatin1Char('.') && m_text.at(j + 1).isDigit()) {
                    j += 2;
                    while (j < n && m_text.at(j).isDigit())
                        ++j;
                }
                t.text = m_text.mid(i, j - i);
                i = j;
            } else if (c == QLatin1Char('\'')) {
                t.kind = Token::Text;
                int j = i + 1;
                bool closed = false;
                while (j < n) {
                    if (m_text.at(j) == QLatin1Char('\'')) {
                        if (j + 1 < n && m_text.at(j + 1) == QLatin1Char('\'')) {
                            t.text += QLatin1Char('\'');
                            j += 2;
                            continue;
                        }
                        closed = true;
                        ++j;
                        break;
                    }
                    t.text += m_text.at(j++);
                }
                if (!closed)
                    fail(QStringLiteral("testo tra apici non chiuso"), i);
                i = j;
            } else if (c.isLetter() || c == QLatin1Char('_')) {
                t.kind = Token::Name;
                int j = i + 1;
                // Firebird's own names carry "$" (RDB$SYSTEM_FLAG).
                while (j < n &&
                       (m_text.at(j).isLetterOrNumber() || m_text.at(j) == QLatin1Char('_') ||
                        m_text.at(j) == QLatin1Char('$')))
                    ++j;
                t.text = m_text.mid(i, j - i);
                i = j;
            } else {
                fail(QStringLiteral("carattere \"%1\" non ammesso").arg(c), i);
            }
            m_tokens.push_back(t);
        }
        Token end;
        end.position = n;
        m_tokens.push_back(end);
    }

    const Token &current() const { return m_tokens[m_pos]; }
    bool isKeyword(const char *word) const
    {
        return current().kind == Token::Name &&
               current().text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    std::unique_ptr<Node> parseOr()
    {
        auto first = parseAnd();
        if (!isKeyword("OR"))
            return first;
        auto node = std::make_unique<Node>();
        node->kind = Node::Or;
        node->children.push_back(std::move(first));
        while (isKeyword("OR")) {
            ++m_pos;
            node->children.push_back(parseAnd());
        }
        return node;
    }

    std::unique_ptr<Node> parseAnd()
    {
        auto first = parseNot();
        if (!isKeyword("AND"))
            return first;
        auto node = std::make_unique<Node>();
        node->kind = Node::And;
        node->children.push_back(std::move(first));
        while (isKeyword("AND")) {
            ++m_pos;
            node->children.push_back(parseNot());
        }
        return node;
    }

    std::unique_ptr<Node> parseNot()
    {
        if (isKeyword("NOT")) {
            ++m_pos;
            auto node = std::make_unique<Node>();
            node->kind = Node::Not;
            node->children.push_back(parseNot());
            return node;
        }
        if (current().kind == Token::LParen) {
            ++m_pos;
            auto inner = parseOr();
            if (current().kind != Token::RParen)
                fail(QStringLiteral("manca la parentesi chiusa"), current().position);
            ++m_pos;
            return inner;
        }
        auto node = std::make_unique<Node>();
        node->kind = Node::Compare;
        node->lhs = parseOperand();
        if (current().kind != Token::Op)
            fail(QStringLiteral("manca l'operatore di confronto"), current().position);
        static const QStringList ops = {QStringLiteral("="),  QStringLiteral("<>"),
                                        QStringLiteral("<"),  QStringLiteral(">"),
                                        QStringLiteral("<="), QStringLiteral(">=")};
        node->op = Node::Op(ops.indexOf(current().text));
        ++m_pos;
        node->rhs = parseOperand();
        return node;
    }

    Node::Operand parseOperand()
    {
        const Token &t = current();
        Node::Operand operand;
        switch (t.kind) {
        case Token::Number:
            operand.kind = Node::Operand::Number;
            operand.number = t.text.toDouble();
            break;
        case Token::Text:
            operand.kind = Node::Operand::Text;
            operand.text = t.text;
            break;
        case Token::Name:
            if (isKeyword("AND") || isKeyword("OR") || isKeyword("NOT"))
                fail(QStringLiteral("parola chiave \"%1\" fuori posto").arg(t.text), t.position);
            operand.kind = Node::Operand::Field;
            operand.name = t.text;
            break;
        default:
            fail(t.kind == Token::End ? QStringLiteral("fine inattesa")
                                      : QStringLiteral("testo inatteso \"%1\"").arg(t.text),
                 t.position);
        }
        ++m_pos;
        return operand;
    }

    QString m_text;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
};

// A value on one side of a comparison: a number when it reads as one, else a text.
struct Value
{
    bool null = false;
    bool numeric = false;
    double number = 0;
    QString text;
};

Value valueOf(const Node::Operand &operand, const QList<QVariant> &values)
{
    Value v;
    switch (operand.kind) {
    case Node::Operand::Number:
        v.numeric = true;
        v.number = operand.number;
        return v;
    case Node::Operand::Text:
        v.text = operand.text;
        return v;
    case Node::Operand::Field:
        break;
    }
    const QVariant &value = values.at(operand.column);
    if (value.isNull()) {
        v.null = true;
        return v;
    }
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
    case QMetaType::Bool:
        v.numeric = true;
        v.number = value.toDouble();
        break;
    default:
        v.text = value.toString();
    }
    return v;
}

template <typename T> bool compare(Node::Op op, const T &a, const T &b)
{
    switch (op) {
    case Node::Eq:
        return a == b;
    case Node::Ne:
        return a != b;
    case Node::Lt:
        return a < b;
    case Node::Gt:
        return a > b;
    case Node::Le:
        return a <= b;
    case Node::Ge:
        return a >= b;
    }
    return false;
}

bool evaluate(const Node &node, const QList<QVariant> &values)
{
    switch (node.kind) {
    case Node::Or:
        for (const auto &child : node.children)
            if (evaluate(*child, values))
                return true;
        return false;
    case Node::And:
        for (const auto &child : node.children)
            if (!evaluate(*child, values))
                return false;
        return true;
    case Node::Not:
        return !evaluate(*node.children.front(), values);
    case Node::Compare:
        break;
    }
    Value a = valueOf(node.lhs, values);
    Value b = valueOf(node.rhs, values);
    if (a.null || b.null)
        return false;
    if (a.numeric != b.numeric) {
        // A text compared with a number counts as that number when it reads as one.
        Value &textual = a.numeric ? b : a;
        bool ok = false;
        const double n = textual.text.trimmed().toDouble(&ok);
        if (ok) {
            textual.numeric = true;
            textual.number = n;
        } else {
            Value &number = a.numeric ? a : b;
            number.numeric = false;
            number.text = QString::number(number.number);
        }
    }
    if (a.numeric)
        return compare(node.op, a.number, b.number);
    return compare(node.op, QStringView(a.text).compare(b.text), 0);
}

void bindNode(Node &node, const std::function<int(const QString &)> &columnOf, const QString &text)
{
    for (auto &child : node.children)
        bindNode(*child, columnOf, text);
    if (node.kind != Node::Compare)
        return;
    for (Node::Operand *operand : {&node.lhs, &node.rhs}) {
        if (operand->kind != Node::Operand::Field)
            continue;
        operand->column = columnOf(operand->name);
        if (operand->column == -1)
            throw EVxException(
                QStringLiteral("Filtro non valido: il campo \"%1\" non esiste (\"%2\").")
                    .arg(operand->name, text));
        if (operand->column < 0)
            throw EVxException(
                QStringLiteral(
                    "Filtro non valido: il campo \"%1\" non si può confrontare (\"%2\").")
                    .arg(operand->name, text));
    }
}

} // namespace

RecordFilter::RecordFilter() = default;
RecordFilter::~RecordFilter() = default;
RecordFilter::RecordFilter(RecordFilter &&) noexcept = default;
RecordFilter &RecordFilter::operator=(RecordFilter &&) noexcept = default;

RecordFilter RecordFilter::parse(const QString &text)
{
    RecordFilter filter;
    filter.m_text = text;
    if (!text.trimmed().isEmpty())
        filter.m_root = Parser(text).parse();
    return filter;
}

void RecordFilter::bind(const std::function<int(const QString &)> &columnOf)
{
    if (m_root)
        bindNode(*m_root, columnOf, m_text);
}

bool RecordFilter::matches(const QList<QVariant> &values) const
{
    return !m_root || evaluate(*m_root, values);
}
