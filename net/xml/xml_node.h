#pragma once

// The program's own small XML model: a tree of nodes, a lenient one-pass
// parser and a writer. Text is kept as 8-bit code page 1250 bytes, byte for
// byte; callers convert with zv::cp1250 where they need QString.

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace zv {

enum class XmlNodeType { Element = 0, ProcessingInstruction = 1, Comment = 2, Cdata = 3, Document = 4 };

struct _XmlEntity {
    char character;
    char reference[11];
    int length;
};

class TXmlEntityTable {
public:
    // The program-wide table: &amp; &quot; &apos; &lt; &gt;, in this order.
    static const TXmlEntityTable& Default();

    // Replaces each reference of the table by its character, one pass, left to right.
    QByteArray Decode(QByteArrayView text) const;
    // Replaces each of the table's characters by its reference.
    QByteArray Encode(QByteArrayView text) const;

    const std::vector<_XmlEntity>& rows() const { return m_rows; }

private:
    std::vector<_XmlEntity> m_rows;
    std::array<int, 256> m_encodeRow;         // byte -> row index, -1 for none
    std::array<bool, 256> m_startsReference;  // byte that begins some reference
    explicit TXmlEntityTable(std::vector<_XmlEntity> rows);
};

struct _XmlParseInfo {
    bool trimValue = false;
    bool decodeEntities = true;
    const TXmlEntityTable* entities = nullptr;
    char escapeChar = '\\'; // 0: none
    bool forceParse = false;

    bool errorOccurred = false;
    qsizetype errorPosition = -1; // offset in the parsed text
    int errorCode = 0;            // 1 to 4, or kXmlErrorTooDeep
    QByteArray errorText;

    // The program-wide settings every server reply and order file is parsed
    // with. GUI thread only; its error record keeps the run's first error.
    static _XmlParseInfo& Reply();
};

struct _XmlWriteOptions {
    bool newline = false;
    bool encodeEntities = true;
    char quoteChar = '"';
    const TXmlEntityTable* entities = nullptr;
    int indent = 0;

    static _XmlWriteOptions OrderFile();    // newline on
    static _XmlWriteOptions PackedFields(); // newline off
};

class TXmlNode;

class TXmlAttr {
public:
    QByteArray name;
    QByteArray value;
    TXmlNode* owner = nullptr;
};

// Nesting deeper than this fails the parse (a reply is untrusted input).
inline constexpr int kXmlMaxDepth = 256;
// Error code recorded for that failure, text "<name> is nested too deeply.".
inline constexpr int kXmlErrorTooDeep = 5;

class TXmlNode {
public:
    QByteArray name;
    QByteArray value;
    TXmlNode* parent = nullptr;
    std::vector<std::unique_ptr<TXmlNode>> children;
    std::vector<std::unique_ptr<TXmlAttr>> attributes;
    XmlNodeType type = XmlNodeType::Element;
    TXmlNode* document = nullptr;

    TXmlNode() = default;
    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;
    ~TXmlNode();

    // Clears the node (name and value too), then reads one element from the
    // first '<' at or after `from`. Returns the offset just after the element
    // read, or nothing on failure (the first error is recorded in info; the
    // tree may then hold what was read so far). Linear in the text's length.
    std::optional<qsizetype> Parse(QByteArrayView text, _XmlParseInfo& info, qsizetype from = 0);

    // The XML text of the node and its subtree. options.indent changes while
    // the writer descends and is back to its start value afterwards.
    QByteArray Write(_XmlWriteOptions& options) const;
    QByteArray Write(const _XmlWriteOptions& options) const;

    int ChildCount() const;
    TXmlNode* ChildAt(int index) const;              // null when out of range
    TXmlNode* FindChild(QByteArrayView name) const;  // first match, case-sensitive
    int AttrCount() const;
    TXmlAttr* AttrAt(int index) const;
    TXmlAttr* FindAttr(QByteArrayView name) const;
    std::optional<QByteArray> AttrValue(QByteArrayView name) const;

    static std::unique_ptr<TXmlNode> MakeChild(QByteArrayView name, QByteArrayView value = {});
    static std::unique_ptr<TXmlAttr> MakeAttr(QByteArrayView name, QByteArrayView value = {});

    TXmlNode* AddChild(std::unique_ptr<TXmlNode> node);
    TXmlAttr* AddAttr(std::unique_ptr<TXmlAttr> attr);
    bool RemoveChild(const TXmlNode* node);
    void Clear();
};

} // namespace zv
