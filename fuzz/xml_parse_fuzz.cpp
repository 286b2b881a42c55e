// Fuzz target for the XML parser and writer. Every input is parsed with the
// reply settings and with trim/forceParse variants; the trees are checked,
// written in both forms and read back, and the second writing must equal the
// first wherever the written text can carry the tree unchanged.

#include "net/xml/xml_node.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using zv::_XmlParseInfo;
using zv::_XmlWriteOptions;
using zv::TXmlEntityTable;
using zv::TXmlNode;
using zv::XmlNodeType;

void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "xml_parse_fuzz: %s\n", what);
        std::abort();
    }
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isTrimmed(const QByteArray& v)
{
    return v.isEmpty() || (!isSpace(v.front()) && !isSpace(v.back()));
}

// The parser drops escape characters and the writer does not add them back
// (callers double backslashes themselves), so a backslash anywhere breaks the
// round trip. A trimming reader drops white space at both ends of values, so
// values that still have some cannot come back (trimming comes before escapes
// are removed: a backslash before a tab leaves the tab). The indented form
// puts white space around every node, which only a trimming reader skips.
bool writable(const TXmlNode& node, bool trimmingReader)
{
    if (node.name.contains('\\') || node.value.contains('\\'))
        return false;
    if (trimmingReader && node.type == XmlNodeType::Element && !isTrimmed(node.value))
        return false;
    for (const auto& attr : node.attributes) {
        if (attr->name.contains('\\') || attr->value.contains('\\'))
            return false;
        if (trimmingReader && !isTrimmed(attr->value))
            return false;
    }
    for (const auto& child : node.children) {
        if (!writable(*child, trimmingReader))
            return false;
    }
    return true;
}

void checkTree(const TXmlNode& node)
{
    for (const auto& attr : node.attributes)
        require(attr->owner == &node, "attribute owner");
    for (const auto& child : node.children) {
        require(child->parent == &node, "child parent");
        if (child->type == XmlNodeType::Element)
            require(!child->name.isEmpty(), "unnamed child element kept");
        checkTree(*child);
    }
}

void checkResult(const std::optional<qsizetype>& end, const _XmlParseInfo& info, qsizetype from, qsizetype size)
{
    if (end) {
        require(*end >= from && *end <= size, "returned position out of range");
        require(!info.errorOccurred, "error recorded on success");
    } else if (info.errorOccurred) {
        require(info.errorCode >= 1 && info.errorCode <= zv::kXmlErrorTooDeep, "error code");
        require(info.errorPosition >= 0 && info.errorPosition <= size, "error position");
        require(!info.errorText.isEmpty(), "error text");
    }
}

void roundTrip(const TXmlNode& tree, const _XmlParseInfo& settings, const _XmlWriteOptions& options)
{
    _XmlWriteOptions first = options;
    const QByteArray written = tree.Write(first);
    require(first.indent == options.indent, "indent restored");
    _XmlParseInfo again = settings;
    again.forceParse = false;
    again.trimValue = settings.trimValue || options.newline;
    if (!writable(tree, again.trimValue))
        return;

    TXmlNode reread;
    const auto end = reread.Parse(written, again);
    require(end.has_value(), "written text does not parse");
    require(reread.Write(options) == written, "second writing differs from the first");
}

// The reply settings with an empty error record, changed as asked.
_XmlParseInfo freshSettings(bool trim, bool force, char escape)
{
    const _XmlParseInfo& reply = _XmlParseInfo::Reply();
    _XmlParseInfo info;
    info.decodeEntities = reply.decodeEntities;
    info.entities = reply.entities;
    info.trimValue = reply.trimValue || trim;
    info.forceParse = reply.forceParse || force;
    info.escapeChar = escape;
    return info;
}

// Parses with the settings, checks the result and the tree, and writes it
// back in both forms.
void exercise(QByteArrayView text, _XmlParseInfo info, qsizetype from)
{
    TXmlNode root;
    const auto end = root.Parse(text, info, from);
    checkResult(end, info, from, text.size());
    checkTree(root);
    if (!end)
        return;
    roundTrip(root, info, _XmlWriteOptions::PackedFields());
    roundTrip(root, info, _XmlWriteOptions::OrderFile());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));

    exercise(text, freshSettings(false, false, '\\'), 0);

    // One more variant per input, picked by its length so that the fuzzer
    // reaches all of them while each run stays cheap.
    switch (size % 5) {
    case 0:
        exercise(text, freshSettings(true, false, '\\'), 0);
        break;
    case 1:
        exercise(text, freshSettings(false, true, '\\'), 0);
        break;
    case 2:
        exercise(text, freshSettings(true, true, '\\'), 0);
        break;
    case 3:
        exercise(text, freshSettings(false, false, 0), 0);
        break;
    default:
        // A parse that starts inside the text, as a caller reading several elements does.
        exercise(text, freshSettings(false, false, '\\'), text.size() / 2);
        break;
    }

    const TXmlEntityTable& table = TXmlEntityTable::Default();
    require(table.Decode(table.Encode(text)) == text, "decode of encode");
    return 0;
}
