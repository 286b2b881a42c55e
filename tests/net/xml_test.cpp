#include "net/xml/xml_node.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace std::string_literals;

namespace zv {
namespace {

// A compact picture of a tree: name[attr=value;...]'value'(child child ...).
std::string dump(const TXmlNode& node)
{
    std::string out = node.name.toStdString();
    if (!node.attributes.empty()) {
        out += '[';
        for (size_t i = 0; i < node.attributes.size(); ++i) {
            if (i)
                out += ';';
            out += node.attributes[i]->name.toStdString() + '=' + node.attributes[i]->value.toStdString();
        }
        out += ']';
    }
    if (!node.value.isEmpty())
        out += '\'' + node.value.toStdString() + '\'';
    if (!node.children.empty()) {
        out += '(';
        for (size_t i = 0; i < node.children.size(); ++i) {
            if (i)
                out += ' ';
            out += dump(*node.children[i]);
        }
        out += ')';
    }
    return out;
}

_XmlParseInfo replySettings()
{
    _XmlParseInfo info;
    info.entities = &TXmlEntityTable::Default();
    return info;
}

QByteArrayView bytes(const std::string& s)
{
    return QByteArrayView(s.data(), qsizetype(s.size()));
}

// ---- parsing into a tree ----

struct ParseCase {
    const char* name;
    std::string input;
    std::string tree;
    bool trim = false;
    bool force = false;
    char escape = '\\';
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

class XmlParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(XmlParseTest, BuildsTree)
{
    const ParseCase& c = GetParam();
    _XmlParseInfo info = replySettings();
    info.trimValue = c.trim;
    info.forceParse = c.force;
    info.escapeChar = c.escape;
    TXmlNode root;
    const auto end = root.Parse(bytes(c.input), info);
    ASSERT_TRUE(end.has_value()) << info.errorText.toStdString();
    EXPECT_EQ(dump(root), c.tree);
    EXPECT_FALSE(info.errorOccurred);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlParseTest,
    testing::Values(
        ParseCase{"ReplyWithReturnValue", "<r><ReturnValue code='0'/></r>", "r(ReturnValue[code=0])"},
        ParseCase{"UnquotedAndQuotedAttributes", "<r a=1 b='x y'>t</r>", "r[a=1;b=x y]'t'"},
        ParseCase{"DoubleQuotesAndWhiteSpaceAroundEquals", "<r a = \"v\"\tb=\n'w'/>", "r[a=v;b=w]"},
        ParseCase{"AttributeNameRunsToBlankOrEquals", "<r a\t='1'/>", "r[a\t=1]"},
        ParseCase{"AttributeWithoutValue", "<r a b='2'/>", "r[a=;b=2]"},
        ParseCase{"BackslashProtectsQuote", "<r a='it\\'s' b=\"q\\\"q\"/>", "r[a=it's;b=q\"q]"},
        ParseCase{"UnquotedValueKeepsSlash", "<r a=x/>t</r>", "r[a=x/]'t'"},
        ParseCase{"OneBackslashDropped", "<r>a\\b</r>", "r'ab'"},
        ParseCase{"TwoBackslashesGiveOne", "<r>a\\\\b</r>", "r'a\\b'"},
        ParseCase{"ThreeBackslashesGiveOne", "<r>a\\\\\\b</r>", "r'a\\b'"},
        ParseCase{"BackslashHidesTagOpen", "<r>a\\<b</r>", "r'a<b'"},
        ParseCase{"NoEscapeCharKeepsBackslash", "<r>a\\b</r>", "r'a\\b'", false, false, 0},
        ParseCase{"EntitiesDecodedOnce", "<r a='&quot;&apos;'>&amp;lt; &#65; &gt;</r>", "r[a=\"']'&lt; &#65; >'"},
        ParseCase{"NeverClosedKeepsText", "<r>abc", "r'abc'"},
        ParseCase{"NeverClosedNested", "<r><a>x", "r(a'x')"},
        ParseCase{"EmptyElement", "<a/>", "a"},
        ParseCase{"ForcedMismatchSkipped", "<a>t</b><c/></a>", "a't'(c)", false, true},
        ParseCase{"CommentBeforeRootDropped", " <!-- c --> <r/>", "r"},
        ParseCase{"PrologSkippedWithoutDocument", "<?xml version='1.0'?>\r\n<!--x--><![CDATA[y]]><r/>", "r"},
        ParseCase{"CommentAndCdataChildrenInOrder", "<r><a/><!--x--><![CDATA[<y>]]><b/></r>",
                  "r(a #COMMENT'x' #CDATA'<y>' b)"},
        ParseCase{"CommentDelimiterNotHiddenByBackslash", "<r><!--a\\--><b/></r>", "r(#COMMENT'a\\' b)"},
        ParseCase{"TextAfterChildSkippedWhenValueSet", "<r>v<a/>w</r>", "r'v'(a)"},
        ParseCase{"BlankValueTakesLaterText", "<r> <a/>w</r>", "r'w'(a)"},
        ParseCase{"WhiteSpaceKeptWithoutTrim", "<r a=' x '> t </r>", "r[a= x ]' t '"},
        ParseCase{"TrimmedValues", "<r a=' x '> t </r>", "r[a=x]'t'", true},
        ParseCase{"EndTagWithBlanks", "<r><a>1</a  ></r >", "r(a'1')"},
        ParseCase{"Cp1250BytesKept", "<r n='\xa3\xf3\x64\x9f'>\xb9\xe6\xea</r>", "r[n=\xa3\xf3\x64\x9f]'\xb9\xe6\xea'"},
        ParseCase{"NulIsOrdinaryByte", "<r a='\0b'>x\0y<\0/></r>"s, "r[a=\0b]'x\0y'(\0)"s},
        ParseCase{"FormFeedStartsName", "<\fa>x</\fa>", "\fa'x'"},
        ParseCase{"EndTagFirstGivesEmptyNode", "  </x>", ""}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(XmlParse, ReturnsOffsetAfterElementAndStartsAtFrom)
{
    _XmlParseInfo info = replySettings();
    TXmlNode node;
    const QByteArray text = "x<a/><b k=1></b >tail";
    EXPECT_EQ(node.Parse(text, info), 5);
    EXPECT_EQ(dump(node), "a");
    EXPECT_EQ(node.Parse(text, info, 5), 17);
    EXPECT_EQ(dump(node), "b[k=1]");
    EXPECT_EQ(node.Parse("  </x>", info), 2);
}

TEST(XmlParse, ReparseClearsEarlierContent)
{
    _XmlParseInfo info = replySettings();
    TXmlNode node;
    ASSERT_TRUE(node.Parse("<old a='1'>text<c/></old>", info));
    ASSERT_TRUE(node.Parse("</r>", info));
    EXPECT_EQ(dump(node), "");
}

TEST(XmlParse, ProcessingInstructionGoesToDocument)
{
    _XmlParseInfo info = replySettings();
    TXmlNode doc;
    doc.type = XmlNodeType::Document;
    TXmlNode root;
    root.document = &doc;
    ASSERT_TRUE(root.Parse("<?xml version=\"1.0\" encoding='windows-1250'?><r><?pi x='1'?><a/></r>", info));
    EXPECT_EQ(dump(root), "r(a)");
    ASSERT_EQ(doc.ChildCount(), 2);
    EXPECT_EQ(doc.ChildAt(0)->type, XmlNodeType::ProcessingInstruction);
    EXPECT_EQ(dump(*doc.ChildAt(0)), "xml[version=1.0;encoding=windows-1250]");
    EXPECT_EQ(dump(*doc.ChildAt(1)), "pi[x=1]");
    EXPECT_EQ(root.ChildAt(0)->document, &doc);
}

// ---- failures ----

struct FailCase {
    const char* name;
    std::string input;
    int code; // 0: fails without a recorded error
    std::string text;
    qsizetype position;
};

void PrintTo(const FailCase& c, std::ostream* os)
{
    *os << c.name;
}

class XmlFailTest : public testing::TestWithParam<FailCase> {};

TEST_P(XmlFailTest, FailsWithRecordedError)
{
    const FailCase& c = GetParam();
    _XmlParseInfo info = replySettings();
    TXmlNode root;
    EXPECT_FALSE(root.Parse(bytes(c.input), info).has_value());
    EXPECT_EQ(info.errorOccurred, c.code != 0);
    EXPECT_EQ(info.errorCode, c.code);
    if (c.code != 0) {
        EXPECT_EQ(info.errorText.toStdString(), c.text);
        EXPECT_EQ(info.errorPosition, c.position);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlFailTest,
    testing::Values(
        FailCase{"SlashNotClosing", "<r><a/ ></r>", 1, "Element must be closed.", 5},
        FailCase{"EndTagNeverCompleted", "<r><a></a", 2, "it must be closed with </a>", 8},
        FailCase{"MismatchedEndTag", "<a></b>", 3, "'<a> ... </b>' is not wel-formed.", 5},
        FailCase{"MismatchedDeepInside", "<r><a><b></a></r>", 3, "'<b> ... </a>' is not wel-formed.", 11},
        FailCase{"AttributeRunsToEnd", "<r><a x", 4, "<a> attribute has error ", 6},
        FailCase{"Empty", "", 0, "", 0},
        FailCase{"NoTag", "just text", 0, "", 0},
        FailCase{"LessThanAtEnd", "<r>abc<", 0, "", 0},
        FailCase{"InputEndsInStartTag", "<r a='1'", 0, "", 0},
        FailCase{"UnterminatedQuote", "<r a='1>t</r>", 0, "", 0},
        FailCase{"BackslashAtEndOfQuote", "<r a='\\", 0, "", 0},
        FailCase{"UnterminatedComment", "<r><!-- c </r>", 0, "", 0},
        FailCase{"UnterminatedCdata", "<![CDATA[x <r/>", 0, "", 0},
        FailCase{"UnterminatedInstruction", "<?xml <r/>", 0, "", 0},
        FailCase{"TextAfterValueWithoutTag", "<r>a<b/>c", 0, "", 0}),
    [](const testing::TestParamInfo<FailCase>& info) { return std::string(info.param.name); });

TEST(XmlParse, KeepsFirstErrorOnly)
{
    _XmlParseInfo info = replySettings();
    TXmlNode root;
    EXPECT_FALSE(root.Parse("<a></b>", info));
    EXPECT_FALSE(root.Parse("<r/ >", info));
    EXPECT_EQ(info.errorCode, 3);
    EXPECT_EQ(info.errorPosition, 5);
}

TEST(XmlParse, FailedParseKeepsPartialTree)
{
    _XmlParseInfo info = replySettings();
    TXmlNode root;
    EXPECT_FALSE(root.Parse("<r><a/><b><c></d></b></r>", info));
    EXPECT_EQ(dump(root), "r(a b(c))");
}

// ---- hostile input: linear work, bounded depth ----

TEST(XmlParse, DepthLimitFailsCleanly)
{
    std::string deep;
    for (int i = 0; i < kXmlMaxDepth; ++i)
        deep += "<a>";
    for (int i = 0; i < kXmlMaxDepth; ++i)
        deep += "</a>";
    _XmlParseInfo info = replySettings();
    TXmlNode root;
    EXPECT_EQ(root.Parse(bytes(deep), info), qsizetype(deep.size()));

    std::string bomb;
    for (int i = 0; i < 1000000; ++i)
        bomb += "<a>";
    EXPECT_FALSE(root.Parse(bytes(bomb), info).has_value());
    EXPECT_EQ(info.errorCode, kXmlErrorTooDeep);
    EXPECT_EQ(info.errorText, "<a> is nested too deeply.");
    EXPECT_EQ(info.errorPosition, 3 * kXmlMaxDepth);
}

TEST(XmlParse, LargeInputsParseInOnePass)
{
    _XmlParseInfo info = replySettings();
    TXmlNode root;

    // 2 MB of text with escapes and entities, then 200k siblings after a blank value.
    std::string text = "<r>";
    for (int i = 0; i < 200000; ++i)
        text += "ab\\\\c&amp;";
    text += "</r>";
    ASSERT_TRUE(root.Parse(bytes(text), info));
    EXPECT_EQ(root.value.size(), 200000 * 5);

    std::string siblings = "<r>" + std::string(100000, ' ');
    for (int i = 0; i < 200000; ++i)
        siblings += "<c/>\r\n";
    siblings += "</r>";
    ASSERT_TRUE(root.Parse(bytes(siblings), info));
    EXPECT_EQ(root.ChildCount(), 200000);

    std::string attrs = "<r";
    for (int i = 0; i < 200000; ++i)
        attrs += " a" + std::to_string(i) + "='v'";
    attrs += "/>";
    ASSERT_TRUE(root.Parse(bytes(attrs), info));
    EXPECT_EQ(root.AttrCount(), 200000);
    EXPECT_EQ(root.AttrValue("a199999"), QByteArray("v"));

    // A run of backslashes: each pair gives one.
    ASSERT_TRUE(root.Parse(bytes("<r>" + std::string(1000000, '\\')), info));
    EXPECT_EQ(root.value.size(), 500000);
    EXPECT_FALSE(info.errorOccurred);
}

// ---- writing ----

struct WriteCase {
    const char* name;
    std::string input;
    std::string packed;
    std::string orderFile;
};

void PrintTo(const WriteCase& c, std::ostream* os)
{
    *os << c.name;
}

class XmlWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(XmlWriteTest, WritesBothFormsAndReadsThemBack)
{
    const WriteCase& c = GetParam();
    _XmlParseInfo info = replySettings();
    TXmlNode root;
    ASSERT_TRUE(root.Parse(bytes(c.input), info));
    const QByteArray packed = root.Write(_XmlWriteOptions::PackedFields());
    EXPECT_EQ(packed.toStdString(), c.packed);
    _XmlWriteOptions orderFile = _XmlWriteOptions::OrderFile();
    const QByteArray indented = root.Write(orderFile);
    EXPECT_EQ(indented.toStdString(), c.orderFile);
    EXPECT_EQ(orderFile.indent, 0);

    TXmlNode again;
    ASSERT_TRUE(again.Parse(packed, info));
    EXPECT_EQ(again.Write(_XmlWriteOptions::PackedFields()), packed);
    _XmlParseInfo trimming = info;
    trimming.trimValue = true;
    ASSERT_TRUE(again.Parse(indented, trimming));
    EXPECT_EQ(again.Write(_XmlWriteOptions::OrderFile()), indented);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlWriteTest,
    testing::Values(
        WriteCase{"EmptyElement", "<a/>", "<a/>", "\r\n<a/>"},
        WriteCase{"EncodedValue", "<a>x&amp;y</a>", "<a>x&amp;y</a>", "\r\n<a>x&amp;y</a>"},
        WriteCase{"AttributesEndWithBlank", "<a b='1' c='\"&lt;'/>", "<a b=\"1\" c=\"&quot;&lt;\" />",
                  "\r\n<a b=\"1\" c=\"&quot;&lt;\" />"},
        WriteCase{"NestedWithValueAfterChildren", "<r n='1'><a k='1'/><b>t</b>v</r>",
                  "<r n=\"1\" ><a k=\"1\" /><b>t</b>v</r>",
                  "\r\n<r n=\"1\" >\r\n\t<a k=\"1\" />\r\n\t<b>t</b>\r\n\tv\r\n</r>"},
        WriteCase{"DeeperIndent", "<r><a><b/></a></r>", "<r><a><b/></a></r>",
                  "\r\n<r>\r\n\t<a>\r\n\t\t<b/>\r\n\t</a>\r\n</r>"},
        WriteCase{"CommentAndCdataRaw", "<r><!--a&b--><![CDATA[<x>]]></r>", "<r><!--a&b--><![CDATA[<x>]]></r>",
                  "\r\n<r>\r\n\t<!--a&b-->\r\n\t<![CDATA[<x>]]>\r\n</r>"},
        WriteCase{"Cp1250Bytes", "<r m='\xa3\xf3\x64\x9f'>\xea</r>", "<r m=\"\xa3\xf3\x64\x9f\" >\xea</r>",
                  "\r\n<r m=\"\xa3\xf3\x64\x9f\" >\xea</r>"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(XmlWrite, IndentStartsAtOptionsAndIsRestored)
{
    auto root = TXmlNode::MakeChild("r");
    root->AddChild(TXmlNode::MakeChild("a", "1"));
    _XmlWriteOptions options = _XmlWriteOptions::OrderFile();
    options.indent = 1;
    EXPECT_EQ(root->Write(options), "\r\n\t<r>\r\n\t\t<a>1</a>\r\n\t</r>");
    EXPECT_EQ(options.indent, 1);
}

TEST(XmlWrite, DocumentAndInstruction)
{
    TXmlNode doc;
    doc.type = XmlNodeType::Document;
    auto pi = TXmlNode::MakeChild("xml");
    pi->type = XmlNodeType::ProcessingInstruction;
    pi->AddAttr(TXmlNode::MakeAttr("version", "1.0"));
    doc.AddChild(std::move(pi));
    doc.AddChild(TXmlNode::MakeChild("r", "a<b"));
    EXPECT_EQ(doc.Write(_XmlWriteOptions::PackedFields()), "<?xml version=\"1.0\" ?><r>a&lt;b</r>");
    _XmlWriteOptions raw = _XmlWriteOptions::PackedFields();
    raw.encodeEntities = false;
    raw.quoteChar = '\'';
    EXPECT_EQ(doc.Write(raw), "<?xml version='1.0' ?><r>a<b</r>");
}

TEST(XmlWrite, ReplySettingsReadOrderFileWithDoubledBackslashes)
{
    auto root = TXmlNode::MakeChild("OrderList");
    TXmlNode* thumb = root->AddChild(TXmlNode::MakeChild("Thumb"));
    thumb->AddAttr(TXmlNode::MakeAttr("Path", "C:\\\\Zdj\xea" "cia\\\\a&b.jpg"));
    const QByteArray text = root->Write(_XmlWriteOptions::OrderFile());

    _XmlParseInfo& reply = _XmlParseInfo::Reply();
    EXPECT_FALSE(reply.trimValue);
    EXPECT_TRUE(reply.decodeEntities);
    EXPECT_EQ(reply.entities, &TXmlEntityTable::Default());
    EXPECT_EQ(reply.escapeChar, '\\');
    EXPECT_FALSE(reply.forceParse);
    _XmlParseInfo info = reply;
    TXmlNode read;
    ASSERT_TRUE(read.Parse(text, info));
    EXPECT_EQ(read.FindChild("Thumb")->AttrValue("Path"), QByteArray("C:\\Zdj\xea" "cia\\a&b.jpg"));
}

// ---- entity table ----

TEST(XmlEntityTable, DecodeAndEncode)
{
    const TXmlEntityTable& t = TXmlEntityTable::Default();
    ASSERT_EQ(t.rows().size(), 5u);
    EXPECT_EQ(t.rows()[0].character, '&');
    EXPECT_EQ(t.Decode("&amp;lt;"), "&lt;");
    EXPECT_EQ(t.Decode("&quot;&apos;&lt;&gt;&amp;"), "\"'<>&");
    EXPECT_EQ(t.Decode("&AMP; &am &#65; &"), "&AMP; &am &#65; &");
    EXPECT_EQ(t.Encode("a&\"'<>b"), "a&amp;&quot;&apos;&lt;&gt;b");
    EXPECT_EQ(t.Encode(QByteArrayView("\0&", 2)), QByteArray("\0&amp;", 6));
}

// ---- tree operations ----

TEST(XmlNode, ChildAndAttributeAccess)
{
    TXmlNode doc;
    doc.type = XmlNodeType::Document;
    TXmlNode root;
    root.document = &doc;
    TXmlNode* a = root.AddChild(TXmlNode::MakeChild("a", "1"));
    TXmlNode* b = root.AddChild(TXmlNode::MakeChild("B"));
    EXPECT_EQ(a->parent, &root);
    EXPECT_EQ(a->document, &doc);
    EXPECT_EQ(a->type, XmlNodeType::Element);
    EXPECT_EQ(root.ChildCount(), 2);
    EXPECT_EQ(root.ChildAt(-1), nullptr);
    EXPECT_EQ(root.ChildAt(2), nullptr);
    EXPECT_EQ(root.ChildAt(1), b);
    EXPECT_EQ(root.FindChild("B"), b);
    EXPECT_EQ(root.FindChild("b"), nullptr);

    TXmlAttr* attr = root.AddAttr(TXmlNode::MakeAttr("code", "0"));
    EXPECT_EQ(attr->owner, &root);
    EXPECT_EQ(root.AttrAt(0), attr);
    EXPECT_EQ(root.AttrAt(1), nullptr);
    EXPECT_EQ(root.AttrAt(-1), nullptr);
    EXPECT_EQ(root.AttrValue("code"), QByteArray("0"));
    EXPECT_FALSE(root.AttrValue("Code").has_value());

    TXmlNode stranger;
    EXPECT_FALSE(root.RemoveChild(&stranger));
    EXPECT_TRUE(root.RemoveChild(a));
    EXPECT_EQ(root.ChildCount(), 1);
    EXPECT_EQ(root.ChildAt(0), b);
    root.Clear();
    EXPECT_EQ(root.ChildCount(), 0);
    EXPECT_EQ(root.AttrCount(), 0);
}

TEST(XmlNode, DeepProgrammaticTreeIsFreedWithoutRecursion)
{
    auto root = TXmlNode::MakeChild("r");
    TXmlNode* tip = root.get();
    for (int i = 0; i < 1000000; ++i)
        tip = tip->AddChild(TXmlNode::MakeChild("a"));
    root.reset(); // a recursive destructor would overflow the stack here
}

} // namespace
} // namespace zv
