#include "model/xml_document.h"
#include "model/xml_element.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The tree as one line of text: name='value' and, when there is a children list, [...].
std::string Dump(const CXMLElement* element) {
    if (!element) {
        return "null";
    }
    std::string text = element->GetName() + "='" + element->GetValue() + "'";
    if (element->HasChildList()) {
        text += "[";
        for (std::size_t i = 0; i < element->GetChildCount(); ++i) {
            text += (i ? " " : "") + Dump(element->GetChild(i));
        }
        text += "]";
    }
    return text;
}

std::string ParsedChildren(const std::string& text) {
    CXMLElement element("E", "");
    return element.Parse(text) ? Dump(&element) : "damaged";
}

// Elements nested depth levels deep, the innermost holding a value.
std::string Nested(std::size_t depth) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i)
        text += "<A" + std::to_string(i) + ">";
    text += "v";
    for (std::size_t i = depth; i-- > 0;)
        text += "</A" + std::to_string(i) + ">";
    return text;
}

std::string ReadBack(const std::string& fileText) {
    std::istringstream in(fileText);
    return Dump(CXMLDocument::ReadXML(in).get());
}

std::unique_ptr<CXMLElement> Leaf(const char* name, const char* value) {
    return std::make_unique<CXMLElement>(name, value);
}

std::string WriteToText(const CXMLElement& element) {
    std::ostringstream out;
    CXMLDocument::WriteXML(element, out);
    return out.str();
}

// Records every write and every read handed to the stream buffer.
class RecordingBuffer : public std::stringbuf {
public:
    using std::stringbuf::stringbuf;
    std::vector<std::string> writes;
    std::vector<std::streamsize> reads;

protected:
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        writes.emplace_back(data, static_cast<std::size_t>(count));
        return std::stringbuf::xsputn(data, count);
    }
    std::streamsize xsgetn(char* data, std::streamsize count) override {
        reads.push_back(std::stringbuf::xsgetn(data, count));
        return reads.back();
    }
};

// Small deterministic generator; std::mt19937's sequence is fixed by the standard.
class TextGenerator {
public:
    explicit TextGenerator(std::uint32_t seed) : m_random(seed) {}
    std::size_t Below(std::size_t bound) { return m_random() % bound; }

    // A tree that survives a round trip: names differ from their ancestors', values hold
    // no "<", no leading space and no line break, and no element has an empty list.
    std::unique_ptr<CXMLElement> Tree(int depth) {
        const std::string name =
            std::string(1, static_cast<char>('A' + Below(3))) + std::to_string(depth);
        if (depth >= 4 || Below(3) == 0) {
            static const char* const kValues[] = {"", "v", "a > b", "x  ", "1 2"};
            const std::string value = kValues[Below(std::size(kValues))];
            return std::make_unique<CXMLElement>(name, value);
        }
        auto element = std::make_unique<CXMLElement>(name, "");
        for (std::size_t n = Below(4) + 1; n > 0; --n) {
            element->AddChild(Tree(depth + 1));
        }
        return element;
    }

private:
    std::mt19937 m_random;
};

TEST(XMLElement, ChildrenAreFoundByExactNameElseLastAndRemovedWithoutDeleting) {
    CXMLElement element("E", "");
    EXPECT_EQ(element.FindChild("A"), nullptr);
    EXPECT_EQ(element.GetChild(0), nullptr);

    CXMLElement* first = element.AddChild(Leaf("NAME", "1"));
    CXMLElement* second = element.AddChild(Leaf("NAME", "2"));
    CXMLElement* last = element.AddChild(Leaf("URL", "3"));
    EXPECT_EQ(element.FindChild("NAME"), first);
    EXPECT_EQ(element.FindChild("name"), last);
    EXPECT_EQ(element.GetChild(3), nullptr);

    CXMLElement stranger("NAME", "");
    EXPECT_EQ(element.RemoveChild(&stranger), nullptr);
    std::unique_ptr<CXMLElement> removed = element.RemoveChild(first);
    EXPECT_EQ(removed.get(), first);
    EXPECT_EQ(element.FindChild("NAME"), second);
    EXPECT_EQ(element.GetChildCount(), 2u);
}

TEST(XMLElementWrite, IndentsThreeSpacesPerLevelAndWritesEachLineAtOnce) {
    CXMLElement group("GROUP", "");
    group.AddChild(Leaf("NAME", "News"));
    CXMLElement* site = group.AddChild(std::make_unique<CXMLElement>("SITE", ""));
    site->AddChild(Leaf("URL", "http://h/"));
    site->AddChild(Leaf("ID", ""));

    RecordingBuffer buffer;
    std::ostream out(&buffer);
    group.Write(out, 1);
    const std::vector<std::string> expected = {
        "   <GROUP>\r\n",         "      <NAME>News</NAME>\r\n",
        "      <SITE>\r\n",       "         <URL>http://h/</URL>\r\n",
        "         <ID></ID>\r\n", "      </SITE>\r\n",
        "   </GROUP>\r\n"};
    EXPECT_EQ(buffer.writes, expected);
}

TEST(XMLElementWrite, AnElementThatHadChildrenKeepsItsTagsOnLinesOfTheirOwn) {
    CXMLElement element("DATA", "");
    EXPECT_EQ(WriteToText(element), "<DATA></DATA>\r\n");
    element.RemoveChild(element.AddChild(Leaf("GROUP", "")));
    EXPECT_EQ(WriteToText(element), "<DATA>\r\n</DATA>\r\n");
}

struct ParseCase {
    const char* text;
    const char* children;
};

// Test names show the text rather than the bytes of the case.
void PrintTo(const ParseCase& c, std::ostream* out) {
    *out << c.text;
}

class XMLElementParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(XMLElementParse, BuildsTheseChildren) {
    EXPECT_EQ(ParsedChildren(GetParam().text), GetParam().children);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLElementParse,
    ::testing::Values(ParseCase{"<a>x</a><b>y</b>", "E=''[A='x' B='y']"},
                      ParseCase{"<ab\xC3\xA9>v</ab\xC3\xA9>", "E=''[AB\xC3\xA9='v']"},
                      ParseCase{"<A>  lead and trail  </A>", "E=''[A='lead and trail  ']"},
                      ParseCase{"<A>1 > 0</A>", "E=''[A='1 > 0']"},
                      ParseCase{"<A><B>1</B> <C>2</C></A>", "E=''[A=''[B='1' C='2']]"},
                      ParseCase{"<A>1 < 2</A>", "E=''[A='1 < 2']"},
                      ParseCase{"<A></A><B>  </B>", "E=''[A='' B='']"},
                      // Damage: elements left open, an end tag past an open element (a lost end
                      // tag), a misspelt end tag, stray text, a cut tag.
                      ParseCase{"<B><C>y</C>", "damaged"}, ParseCase{"<A>x", "damaged"},
                      ParseCase{"<A><b></A><C>1</C>", "damaged"},
                      ParseCase{"<G><S><N>1</N><S><N>2</N></S></G>", "damaged"},
                      ParseCase{"<a>x</A>", "damaged"}, ParseCase{"<A>x</A>tail", "damaged"},
                      ParseCase{"<A>x</A><B", "damaged"}, ParseCase{"</A>", "damaged"},
                      ParseCase{"<>x</>", "damaged"}, ParseCase{"no tags", "damaged"}));

struct ReadCase {
    const char* fileText;
    const char* result;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    for (const char* p = c.fileText; *p; ++p)
        *out << (*p == '\r' ? "\\r" : *p == '\n' ? "\\n" : *p == '\t' ? "\\t" : std::string(1, *p));
}

class XMLDocumentReadFile : public ::testing::TestWithParam<ReadCase> {};

TEST_P(XMLDocumentReadFile, ReturnsThisElement) {
    EXPECT_EQ(ReadBack(GetParam().fileText), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLDocumentReadFile,
    ::testing::Values(ReadCase{"<DATA></DATA>\r\n", "DATA=''"},
                      ReadCase{"<DATA>\r\n   <NAME>one\r\ntwo\tthree</NAME>\r\n</DATA>\r\n",
                               "DATA=''[NAME='onetwothree']"},
                      ReadCase{"<SITE>\r\n   <URL>u</URL>\r\n</SITE>\r\n", "SITE=''[URL='u']"},
                      ReadCase{"<GROUP></GROUP><SITE></SITE>", "SITE=''"},
                      ReadCase{"<A>1</A><DATA><B>2</B></DATA><C>3</C>", "DATA=''[B='2']"},
                      ReadCase{"<?xml version=\"1.0\"?>\r\n<DATA><A>1</A></DATA>\r\n",
                               "DATA=''[A='1']"},
                      ReadCase{" \r\n\t ", "null"}, ReadCase{"text only", "null"}));

TEST(XMLDocumentRead, EveryValueSurvivesAWriteAndAReadAndPlainOnesStayPlain) {
    const std::vector<std::string> values = {"<3",
                                             "<a>x",
                                             "</a>",
                                             "x</V>y",
                                             "<b></b>",
                                             "a & b",
                                             "&amp; &lt; &#60;",
                                             "line\r\nbreak\n",
                                             "tab\there\f",
                                             "  leading",
                                             " ",
                                             "trailing  ",
                                             std::string("zero\0byte", 9),
                                             "\x01\x1f\x7f\x80\xC3\xA9\xFF",
                                             "1 > 0",
                                             ""};
    CXMLElement data("DATA", "");
    for (const std::string& value : values)
        data.AddChild(std::make_unique<CXMLElement>("V", value));
    const std::string text = WriteToText(data);
    std::istringstream in(text);
    const std::unique_ptr<CXMLElement> read = CXMLDocument::ReadXML(in);
    ASSERT_NE(read, nullptr) << text;
    ASSERT_EQ(read->GetChildCount(), values.size()) << text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(read->GetChild(i)->GetValue(), values[i]) << text;
        EXPECT_FALSE(read->GetChild(i)->HasChildList()) << values[i];
    }
    EXPECT_EQ(WriteToText(*read), text);
    // Values a plain line keeps are written as earlier versions wrote them.
    EXPECT_NE(text.find("\r\n   <V>a & b</V>\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n   <V>&amp; &lt; &#60;</V>\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n   <V escaped>&lt;3</V escaped>\r\n"), std::string::npos) << text;
}

// Earlier versions wrote every value plain, one element to a line.
TEST(XMLDocumentRead, PlainValueLinesOfEarlierVersionsReadWhole) {
    EXPECT_EQ(ReadBack("<DATA>\r\n"
                       "   <G>\r\n"
                       "      <P><3</P>\r\n"
                       "      <P><a>x</P>\r\n"
                       "      <P></a></P>\r\n"
                       "      <P>x</P>y</P>\r\n"
                       "      <P>&amp;&lt;</P>\r\n"
                       "      <P><b></b></P>\r\n"
                       "   </G>\r\n"
                       "</DATA>\r\n"),
              "DATA=''[G=''[P='<3' P='<a>x' P='</a>' P='x</P>y' P='&amp;&lt;' P=''[B='']]]");
    // A value broken over lines reads joined, as it always did.
    EXPECT_EQ(ReadBack("<DATA>\r\n   <P>a<b\r\nc</P>\r\n</DATA>"), "DATA=''[P='a<bc']");
}

TEST(XMLDocumentRead, ALostStartOrEndTagIsDamage) {
    const std::string whole = "<DATA>\r\n"
                              "   <S>\r\n"
                              "      <N>1</N>\r\n"
                              "   </S>\r\n"
                              "   <S>\r\n"
                              "      <N>2</N>\r\n"
                              "   </S>\r\n"
                              "</DATA>\r\n";
    ASSERT_EQ(ReadBack(whole), "DATA=''[S=''[N='1'] S=''[N='2']]");
    for (const char* lost : {"   </S>\r\n", "</N>", "<N>", "   <S>\r\n", "</DATA>"}) {
        std::string damaged = whole;
        damaged.erase(damaged.find(lost), std::string_view(lost).size());
        EXPECT_EQ(ReadBack(damaged), "null") << damaged;
    }
}

TEST(XMLDocumentRead, StopsAfterTheFirstShortReadAndCutsChunksAtZeroBytes) {
    const std::size_t chunk = CXMLDocument::kReadChunkBytes;
    const std::string exact(chunk, 'a');
    RecordingBuffer exactBuffer(exact);
    std::istream exactIn(&exactBuffer);
    EXPECT_EQ(CXMLDocument::ReadXMLText(exactIn), exact);
    EXPECT_EQ(exactBuffer.reads, (std::vector<std::streamsize>{8191, 0}));

    const std::string shortText(chunk - 1, 'a');
    RecordingBuffer shortBuffer(shortText);
    std::istream shortIn(&shortBuffer);
    EXPECT_EQ(CXMLDocument::ReadXMLText(shortIn), shortText);
    EXPECT_EQ(shortBuffer.reads, (std::vector<std::streamsize>{8190}));

    // A zero byte ends its chunk's text; the next chunk is still read.
    std::string zeroed = std::string(100, 'a') + '\0' + std::string(chunk - 101, 'b') + "<A>";
    std::istringstream zeroedIn(zeroed);
    EXPECT_EQ(CXMLDocument::ReadXMLText(zeroedIn), std::string(100, 'a') + "<A>");
}

TEST(XMLDocumentRead, WrittenTreesReadBackUnchanged) {
    TextGenerator generator(7);
    for (int i = 0; i < 200; ++i) {
        CXMLElement data("DATA", "");
        for (std::size_t n = generator.Below(4); n > 0; --n) {
            data.AddChild(generator.Tree(1));
        }
        const std::string text = WriteToText(data);
        EXPECT_EQ(ReadBack(text), Dump(&data)) << text;
    }
}

TEST(XMLDocumentRead, EveryCutOfAWrittenTreeIsRefused) {
    TextGenerator generator(2024);
    for (int i = 0; i < 40; ++i) {
        CXMLElement data("DATA", "");
        for (std::size_t n = generator.Below(3) + 1; n > 0; --n)
            data.AddChild(generator.Tree(1));
        const std::string text = WriteToText(data);
        const std::size_t whole = text.rfind("</DATA>") + 7;
        for (std::size_t length = 1; length < whole; ++length)
            ASSERT_EQ(ReadBack(text.substr(0, length)), "null") << text.substr(0, length);
        EXPECT_EQ(ReadBack(text.substr(0, whole)), Dump(&data));
    }
}

TEST(XMLDocumentRead, NestingDeeperThan256LevelsIsRefused) {
    CXMLElement deepest("E", "");
    EXPECT_TRUE(deepest.Parse(Nested(256)));
    CXMLElement tooDeep("E", "");
    EXPECT_FALSE(tooDeep.Parse(Nested(257)));
    // Far deeper than any stack: refused without recursion, and the partial tree is freed.
    CXMLElement hostile("E", "");
    EXPECT_FALSE(hostile.Parse(Nested(100000)));
}

} // namespace
