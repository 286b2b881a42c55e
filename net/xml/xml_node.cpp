#include "net/xml/xml_node.h"

#include <cstring>
#include <string_view>

namespace zv {

namespace {

// The scans for the end of a text or a quoted value always treat a backslash
// as protecting the next byte, whatever escapeChar the caller set.
constexpr char kScanEscape = '\\';

// White space for trimming values and for the blank test.
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// White space skipped between tags, names and attributes. Exactly the bytes
// that end an element name, so that "</" followed by a name skipped to always
// finds the name that was written.
bool isMarkupSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isBlank(QByteArrayView text)
{
    for (char c : text) {
        if (!isSpace(c))
            return false;
    }
    return true;
}

QByteArray format1(const char* pattern, const QByteArray& a)
{
    QByteArray out(pattern);
    out.replace("%s", a);
    return out;
}

QByteArray format2(std::string_view before, const QByteArray& a, std::string_view middle, const QByteArray& b,
                   std::string_view after)
{
    QByteArray out;
    out.append(before.data(), qsizetype(before.size()));
    out.append(a);
    out.append(middle.data(), qsizetype(middle.size()));
    out.append(b);
    out.append(after.data(), qsizetype(after.size()));
    return out;
}

// One parse over one text. Every scan moves forward from where the previous
// one stopped, so the whole parse is linear in the length of the text.
class XmlParser final {
public:
    XmlParser(QByteArrayView text, _XmlParseInfo& info) : m_text(text), m_size(text.size()), m_info(info) {}

    std::optional<qsizetype> parseNode(TXmlNode& node, qsizetype pos, int depth);

private:
    enum class Prolog { Continue, SiblingRead, Failed };

    char at(qsizetype i) const { return m_text.data()[i]; }
    bool startsWith(qsizetype pos, std::string_view s) const
    {
        return pos >= 0 && m_size - pos >= qsizetype(s.size()) && std::memcmp(m_text.data() + pos, s.data(), s.size()) == 0;
    }
    qsizetype skipSpace(qsizetype pos, qsizetype end) const
    {
        while (pos < end && isMarkupSpace(at(pos)))
            ++pos;
        return pos;
    }
    // First byte of `set` in [pos, end); end when there is none.
    qsizetype findAny(qsizetype pos, qsizetype end, std::string_view set) const
    {
        for (; pos < end; ++pos) {
            if (set.find(at(pos)) != std::string_view::npos)
                return pos;
        }
        return end;
    }
    // First `stop` byte in [pos, end), a backslash skipping the byte after it; end when there is none.
    qsizetype scanTo(qsizetype pos, qsizetype end, char stop) const
    {
        while (pos < end) {
            const char c = at(pos);
            if (c == stop)
                return pos;
            pos += (c == kScanEscape) ? 2 : 1;
        }
        return end;
    }
    // A closing delimiter of a comment, CDATA section or instruction; a
    // backslash does not hide it. -1 when there is none.
    qsizetype findDelimiter(qsizetype pos, std::string_view delimiter) const
    {
        return m_text.indexOf(QByteArrayView(delimiter.data(), qsizetype(delimiter.size())), pos);
    }

    QByteArray textValue(qsizetype start, qsizetype end) const;
    void recordError(qsizetype pos, int code, QByteArray text);
    Prolog readProlog(TXmlNode& node, qsizetype& pos);
    std::optional<qsizetype> readAttributes(TXmlNode& node, qsizetype pos, qsizetype end, bool instruction);

    QByteArrayView m_text;
    qsizetype m_size;
    _XmlParseInfo& m_info;
};

QByteArray XmlParser::textValue(qsizetype start, qsizetype end) const
{
    if (m_info.trimValue) {
        while (start < end && isSpace(at(start)))
            ++start;
        while (end > start && isSpace(at(end - 1)))
            --end;
    }
    if (start >= end)
        return {};
    const QByteArrayView stretch = m_text.sliced(start, end - start);
    QByteArray out;
    const char escape = m_info.escapeChar;
    if (escape != 0 && stretch.indexOf(escape) >= 0) {
        out.reserve(stretch.size());
        bool previousLeftOut = false;
        for (char c : stretch) {
            if (c == escape && !previousLeftOut) {
                previousLeftOut = true;
                continue;
            }
            previousLeftOut = false;
            out.append(c);
        }
    } else {
        out = stretch.toByteArray();
    }
    if (m_info.decodeEntities && m_info.entities)
        out = m_info.entities->Decode(out);
    return out;
}

void XmlParser::recordError(qsizetype pos, int code, QByteArray text)
{
    if (m_info.errorOccurred)
        return;
    m_info.errorOccurred = true;
    m_info.errorPosition = pos;
    m_info.errorCode = code;
    m_info.errorText = std::move(text);
}

XmlParser::Prolog XmlParser::readProlog(TXmlNode& node, qsizetype& pos)
{
    const bool inContent = node.parent && node.parent->type != XmlNodeType::Document;
    bool consumed = true;
    while (consumed) {
        consumed = false;

        pos = skipSpace(pos, m_size);
        if (startsWith(pos, "<?")) {
            const qsizetype close = findDelimiter(pos + 2, "?>");
            if (close < 0)
                return Prolog::Failed;
            if (node.document) {
                auto instruction = std::make_unique<TXmlNode>();
                instruction->type = XmlNodeType::ProcessingInstruction;
                const qsizetype nameEnd = findAny(pos + 2, close, " ?>");
                instruction->name = m_text.sliced(pos + 2, nameEnd - pos - 2).toByteArray();
                readAttributes(*instruction, nameEnd, close, true);
                node.document->AddChild(std::move(instruction));
            }
            pos = close + 2;
            consumed = true;
        }

        pos = skipSpace(pos, m_size);
        if (startsWith(pos, "<!--")) {
            const qsizetype close = findDelimiter(pos + 4, "-->");
            if (close < 0)
                return Prolog::Failed;
            if (node.parent) {
                auto comment = TXmlNode::MakeChild("#COMMENT", m_text.sliced(pos + 4, close - pos - 4));
                comment->type = XmlNodeType::Comment;
                node.parent->AddChild(std::move(comment));
            }
            pos = close + 3;
            consumed = true;
            if (inContent)
                return Prolog::SiblingRead;
        }

        pos = skipSpace(pos, m_size);
        if (startsWith(pos, "<![CDATA[")) {
            const qsizetype close = findDelimiter(pos + 9, "]]>");
            if (close < 0)
                return Prolog::Failed;
            if (node.parent) {
                auto cdata = TXmlNode::MakeChild("#CDATA", m_text.sliced(pos + 9, close - pos - 9));
                cdata->type = XmlNodeType::Cdata;
                node.parent->AddChild(std::move(cdata));
            }
            pos = close + 3;
            consumed = true;
            if (inContent)
                return Prolog::SiblingRead;
        }
    }
    return Prolog::Continue;
}

// Reads attributes from pos up to end. For an element end is the end of the
// text and the list must stop at '>' or '/'; for a processing instruction end
// is its "?>" and reaching it ends the list.
std::optional<qsizetype> XmlParser::readAttributes(TXmlNode& node, qsizetype pos, qsizetype end, bool instruction)
{
    for (;;) {
        pos = skipSpace(pos, end);
        if (pos >= end)
            return instruction ? std::optional<qsizetype>(end) : std::nullopt;
        const char c = at(pos);
        if (c == '>' || c == '/')
            return pos;

        const qsizetype nameEnd = findAny(pos, end, " =");
        if (nameEnd >= end && !instruction) {
            recordError(pos, 4, format1("<%s> attribute has error ", node.name));
            return std::nullopt;
        }
        TXmlAttr* attr = node.AddAttr(TXmlNode::MakeAttr(m_text.sliced(pos, nameEnd - pos)));

        pos = skipSpace(nameEnd, end);
        if (pos >= end || at(pos) != '=')
            continue;
        pos = skipSpace(pos + 1, end);

        const char quote = pos < end ? at(pos) : 0;
        const bool quoted = quote == '"' || quote == '\'';
        qsizetype valueStart = pos;
        qsizetype valueEnd;
        if (quoted) {
            ++valueStart;
            valueEnd = scanTo(valueStart, end, quote);
        } else {
            valueEnd = findAny(pos, end, " >");
        }
        attr->value = textValue(valueStart, valueEnd);
        pos = valueEnd;
        if (quoted && pos < end)
            ++pos;
    }
}

std::optional<qsizetype> XmlParser::parseNode(TXmlNode& node, qsizetype pos, int depth)
{
    node.Clear();
    node.name.clear();
    node.value.clear();

    // Find the start tag; instructions, comments and CDATA sections may come
    // first, and text between them is skipped like text before the first '<'.
    for (;;) {
        pos = pos < m_size ? m_text.indexOf('<', pos) : -1;
        if (pos < 0)
            return std::nullopt;
        if (startsWith(pos, "</"))
            return pos;
        switch (readProlog(node, pos)) {
        case Prolog::Failed:
            return std::nullopt;
        case Prolog::SiblingRead:
            return pos;
        case Prolog::Continue:
            break;
        }
        if (pos < m_size && at(pos) == '<' && !startsWith(pos, "</"))
            break;
    }

    const qsizetype tagStart = pos;
    const qsizetype nameEnd = findAny(pos + 1, m_size, " />\t\r\n");
    if (nameEnd > pos + 1)
        node.name = m_text.sliced(pos + 1, nameEnd - pos - 1).toByteArray();
    if (depth > kXmlMaxDepth) {
        recordError(tagStart, kXmlErrorTooDeep, format1("<%s> is nested too deeply.", node.name));
        return std::nullopt;
    }

    const std::optional<qsizetype> stop = readAttributes(node, nameEnd, m_size, false);
    if (!stop)
        return std::nullopt;
    pos = *stop;
    if (at(pos) == '/') {
        if (startsWith(pos + 1, ">"))
            return pos + 2;
        recordError(pos, 1, "Element must be closed.");
        return std::nullopt;
    }

    ++pos; // past '>'
    qsizetype textEnd = scanTo(pos, m_size, '<');
    node.value = textValue(pos, textEnd);
    bool valueBlank = isBlank(node.value);
    pos = textEnd;

    while (pos < m_size) {
        auto child = std::make_unique<TXmlNode>();
        child->parent = &node;
        child->document = node.document;
        child->type = node.type;
        const std::optional<qsizetype> next = parseNode(*child, pos, depth + 1);
        if (!child->name.isEmpty())
            node.AddChild(std::move(child));
        if (!next)
            return std::nullopt;
        pos = *next;

        if (startsWith(pos, "</")) {
            const qsizetype closeStart = skipSpace(pos + 2, m_size);
            const qsizetype closeEnd = findAny(closeStart, m_size, " >");
            if (closeEnd >= m_size) {
                recordError(closeStart, 2, format1("it must be closed with </%s>", node.name));
                return std::nullopt;
            }
            const QByteArrayView closeName = m_text.sliced(closeStart, closeEnd - closeStart);
            // "</name >" is closed by its '>', not by the blank, so that the
            // '>' does not become text of the parent.
            qsizetype afterTag = closeEnd + 1;
            if (at(closeEnd) == ' ') {
                const qsizetype gt = skipSpace(afterTag, m_size);
                if (gt < m_size && at(gt) == '>')
                    afterTag = gt + 1;
            }
            if (closeName == node.name)
                return afterTag;
            if (!m_info.forceParse) {
                recordError(closeStart, 3,
                            format2("'<", node.name, "> ... </", closeName.toByteArray(), ">' is not wel-formed."));
                return std::nullopt;
            }
            pos = afterTag;
        } else if (valueBlank && pos < m_size && at(pos) != '<') {
            textEnd = scanTo(pos, m_size, '<');
            node.value = textValue(pos, textEnd);
            valueBlank = isBlank(node.value);
            pos = textEnd;
        }
    }
    return pos;
}

void appendIndent(QByteArray& out, int tabs)
{
    out.append("\r\n");
    if (tabs > 0)
        out.append(QByteArray(tabs, '\t'));
}

void appendValue(QByteArray& out, const QByteArray& value, const _XmlWriteOptions& options)
{
    if (options.encodeEntities && options.entities)
        out.append(options.entities->Encode(value));
    else
        out.append(value);
}

void writeAttributes(QByteArray& out, const TXmlNode& node, const _XmlWriteOptions& options)
{
    if (node.attributes.empty())
        return;
    out.append(' ');
    for (const auto& attr : node.attributes) {
        out.append(attr->name);
        out.append('=');
        out.append(options.quoteChar);
        appendValue(out, attr->value, options);
        out.append(options.quoteChar);
        out.append(' ');
    }
}

// Appends to one buffer so that writing stays linear in the size of the tree.
void writeNode(QByteArray& out, const TXmlNode& node, _XmlWriteOptions& options)
{
    if (options.newline)
        appendIndent(out, options.indent);

    switch (node.type) {
    case XmlNodeType::Document:
        for (const auto& child : node.children)
            writeNode(out, *child, options);
        return;
    case XmlNodeType::ProcessingInstruction:
        out.append("<?");
        out.append(node.name);
        writeAttributes(out, node, options);
        out.append("?>");
        return;
    case XmlNodeType::Comment:
        out.append("<!--");
        out.append(node.value);
        out.append("-->");
        return;
    case XmlNodeType::Cdata:
        out.append("<![CDATA[");
        out.append(node.value);
        out.append("]]>");
        return;
    case XmlNodeType::Element:
        break;
    }

    out.append('<');
    out.append(node.name);
    writeAttributes(out, node, options);
    if (node.children.empty() && node.value.isEmpty()) {
        out.append("/>");
        return;
    }
    out.append('>');
    const bool indented = options.newline && !node.children.empty();
    if (indented)
        ++options.indent;
    for (const auto& child : node.children)
        writeNode(out, *child, options);
    if (!node.value.isEmpty()) {
        if (indented)
            appendIndent(out, options.indent);
        appendValue(out, node.value, options);
    }
    if (indented)
        appendIndent(out, options.indent - 1);
    out.append("</");
    out.append(node.name);
    out.append('>');
    if (indented)
        --options.indent;
}

// Destroys a subtree without recursion, so that no tree is too deep to free.
void destroyChildren(std::vector<std::unique_ptr<TXmlNode>>& children)
{
    std::vector<std::unique_ptr<TXmlNode>> pending = std::move(children);
    children.clear();
    while (!pending.empty()) {
        std::unique_ptr<TXmlNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children)
            pending.push_back(std::move(child));
        node->children.clear();
    }
}

} // namespace

// ---- TXmlEntityTable ----

TXmlEntityTable::TXmlEntityTable(std::vector<_XmlEntity> rows) : m_rows(std::move(rows))
{
    m_encodeRow.fill(-1);
    m_startsReference.fill(false);
    for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
        const _XmlEntity& row = m_rows[size_t(i)];
        m_encodeRow[static_cast<unsigned char>(row.character)] = i;
        if (row.length > 0)
            m_startsReference[static_cast<unsigned char>(row.reference[0])] = true;
    }
}

const TXmlEntityTable& TXmlEntityTable::Default()
{
    static const TXmlEntityTable table({
        {'&', "&amp;", 5},
        {'"', "&quot;", 6},
        {'\'', "&apos;", 6},
        {'<', "&lt;", 4},
        {'>', "&gt;", 4},
    });
    return table;
}

QByteArray TXmlEntityTable::Decode(QByteArrayView text) const
{
    QByteArray out;
    out.reserve(text.size());
    const char* data = text.data();
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        qsizetype run = i;
        while (run < size && !m_startsReference[static_cast<unsigned char>(data[run])])
            ++run;
        out.append(data + i, run - i);
        i = run;
        if (i >= size)
            break;
        bool matched = false;
        for (const _XmlEntity& row : m_rows) {
            if (row.length > 0 && size - i >= row.length && std::memcmp(data + i, row.reference, size_t(row.length)) == 0) {
                out.append(row.character);
                i += row.length;
                matched = true;
                break;
            }
        }
        if (!matched)
            out.append(data[i++]);
    }
    return out;
}

QByteArray TXmlEntityTable::Encode(QByteArrayView text) const
{
    QByteArray out;
    out.reserve(text.size());
    for (char c : text) {
        const int row = m_encodeRow[static_cast<unsigned char>(c)];
        if (row < 0)
            out.append(c);
        else
            out.append(m_rows[size_t(row)].reference, m_rows[size_t(row)].length);
    }
    return out;
}

// ---- settings ----

_XmlParseInfo& _XmlParseInfo::Reply()
{
    static _XmlParseInfo info = [] {
        _XmlParseInfo i;
        i.trimValue = false;
        i.decodeEntities = true;
        i.entities = &TXmlEntityTable::Default();
        i.escapeChar = '\\';
        i.forceParse = false;
        return i;
    }();
    return info;
}

_XmlWriteOptions _XmlWriteOptions::OrderFile()
{
    _XmlWriteOptions options;
    options.newline = true;
    options.encodeEntities = true;
    options.quoteChar = '"';
    options.entities = &TXmlEntityTable::Default();
    options.indent = 0;
    return options;
}

_XmlWriteOptions _XmlWriteOptions::PackedFields()
{
    _XmlWriteOptions options = OrderFile();
    options.newline = false;
    return options;
}

// ---- TXmlNode ----

TXmlNode::~TXmlNode()
{
    destroyChildren(children);
}

std::optional<qsizetype> TXmlNode::Parse(QByteArrayView text, _XmlParseInfo& info, qsizetype from)
{
    XmlParser parser(text, info);
    return parser.parseNode(*this, qMax<qsizetype>(from, 0), 1);
}

QByteArray TXmlNode::Write(_XmlWriteOptions& options) const
{
    QByteArray out;
    writeNode(out, *this, options);
    return out;
}

QByteArray TXmlNode::Write(const _XmlWriteOptions& options) const
{
    _XmlWriteOptions copy = options;
    return Write(copy);
}

int TXmlNode::ChildCount() const
{
    return int(children.size());
}

TXmlNode* TXmlNode::ChildAt(int index) const
{
    if (index < 0 || index >= ChildCount())
        return nullptr;
    return children[size_t(index)].get();
}

TXmlNode* TXmlNode::FindChild(QByteArrayView name) const
{
    for (const auto& child : children) {
        if (child->name == name)
            return child.get();
    }
    return nullptr;
}

int TXmlNode::AttrCount() const
{
    return int(attributes.size());
}

TXmlAttr* TXmlNode::AttrAt(int index) const
{
    if (index < 0 || index >= AttrCount())
        return nullptr;
    return attributes[size_t(index)].get();
}

TXmlAttr* TXmlNode::FindAttr(QByteArrayView name) const
{
    for (const auto& attr : attributes) {
        if (attr->name == name)
            return attr.get();
    }
    return nullptr;
}

std::optional<QByteArray> TXmlNode::AttrValue(QByteArrayView name) const
{
    if (const TXmlAttr* attr = FindAttr(name))
        return attr->value;
    return std::nullopt;
}

std::unique_ptr<TXmlNode> TXmlNode::MakeChild(QByteArrayView name, QByteArrayView value)
{
    auto node = std::make_unique<TXmlNode>();
    node->name = name.toByteArray();
    node->value = value.toByteArray();
    return node;
}

std::unique_ptr<TXmlAttr> TXmlNode::MakeAttr(QByteArrayView name, QByteArrayView value)
{
    auto attr = std::make_unique<TXmlAttr>();
    attr->name = name.toByteArray();
    attr->value = value.toByteArray();
    return attr;
}

TXmlNode* TXmlNode::AddChild(std::unique_ptr<TXmlNode> node)
{
    if (!node)
        return nullptr;
    node->parent = this;
    node->document = document;
    children.push_back(std::move(node));
    return children.back().get();
}

TXmlAttr* TXmlNode::AddAttr(std::unique_ptr<TXmlAttr> attr)
{
    if (!attr)
        return nullptr;
    attr->owner = this;
    attributes.push_back(std::move(attr));
    return attributes.back().get();
}

bool TXmlNode::RemoveChild(const TXmlNode* node)
{
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (it->get() == node) {
            std::vector<std::unique_ptr<TXmlNode>> removed;
            removed.push_back(std::move(*it));
            children.erase(it);
            destroyChildren(removed);
            return true;
        }
    }
    return false;
}

void TXmlNode::Clear()
{
    destroyChildren(children);
    attributes.clear();
}

} // namespace zv
