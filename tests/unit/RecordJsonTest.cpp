#include "store/RecordJson.h"

#include <set>

#include <gtest/gtest.h>

#include "store/Uuid.h"

namespace quillo {
namespace {

constexpr const char* kId = "6F9619FF-8B86-D011-B42D-00C04FC964FF";

TEST(RecordJsonTest, HistoryIsWrittenCompactlyInDocumentedOrderWithoutAbsentMembers)
{
    const std::vector<DictationEntry> entries{
        {kId, "Hello \"world\"\n", 794000000.25, 4.5, "org.mozilla.firefox", "Firefox"},
        {kId, "", 794000001.0, 0, std::nullopt, std::nullopt},
    };
    EXPECT_EQ(encodeHistory(entries),
              R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"Hello \"world\"\n","date":794000000.25,)"
              R"("duration":4.5,"appBundleID":"org.mozilla.firefox","appName":"Firefox"},)"
              R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"","date":794000001,"duration":0}])");
    EXPECT_EQ(encodeSnippets(std::vector<Snippet>{{kId, "sig", "Best,\nAda"}}),
              R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","trigger":"sig","expansion":"Best,\nAda"}])");
}

TEST(RecordJsonTest, OneMalformedRecordRejectsTheWholeFile)
{
    const std::string good = R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":1})";
    const std::pair<const char*, std::string> historyCases[] = {
        {"not json", "[" + good},
        {"not an array", good},
        {"element not an object", "[" + good + ",3]"},
        {"missing date", "[" + good + R"(,{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t"}])"},
        {"date as string", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":"1"}])"},
        {"null text", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":null,"date":1}])"},
        {"id not hex", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FG","text":"t","date":1}])"},
        {"invalid UTF-8", "[{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"text\":\"\xff\",\"date\":1}]"},
        {"text after the array", "[" + good + "] x"},
        {"leading zero", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":01}])"},
        {"raw line break", "[{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"text\":\"a\nb\",\"date\":1}]"},
        {"lone surrogate", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"\ud83d","date":1}])"},
        {"bad unknown member", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":1,"x":[1,}])"},
    };
    for (const auto& [name, json] : historyCases) {
        const auto decoded = decodeHistory(json);
        EXPECT_FALSE(decoded.ok) << "case " << name;
        EXPECT_TRUE(decoded.records.empty()) << "case " << name;
    }
    EXPECT_FALSE(decodeSnippets(R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","trigger":"a"}])").ok);
}

TEST(RecordJsonTest, AnyValidJsonSpellingIsAcceptedAndDescriptiveMembersAreReadLeniently)
{
    // Escaped key names, escapes of every kind, nested unknown members and
    // white space everywhere; a repeated member counts with its last value.
    const std::string json = " [\n\t{ \"t\\u0065xt\" : \"\\ud83d\\ude00 \\\"q\\\" \\/ \\u00e9\\b\" ,"
                             R"( "extra" : {"a":[true,false,null,-0.5e+3,{"b":[]}]}, "date" : 2, "date" : -12.5E-1,)"
                             R"( "id":"6f9619ff-8b86-d011-b42d-00c04fc964ff" } ] )";
    const auto decoded = decodeHistory(json);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    ASSERT_EQ(decoded.records.size(), 1u);
    EXPECT_EQ(decoded.records[0].text(), "\U0001F600 \"q\" / \u00e9\b");
    EXPECT_EQ(decoded.records[0].date(), -1.25);
    EXPECT_EQ(decodeHistory("\xEF\xBB\xBF" + json).records, decoded.records) << "a byte-order mark is dropped";

    // Descriptive members of the wrong type count as absent; ids are kept upper-case.
    const auto lenient = decodeHistory(
        R"([{"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","text":"t","date":5,"duration":"3","appBundleID":7,"appName":[]},)"
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":5,"duration":3,"appName":"Term"}])");
    ASSERT_TRUE(lenient.ok) << lenient.error;
    EXPECT_EQ(lenient.records[0], DictationEntry(kId, "t", 5, 0, std::nullopt, std::nullopt));
    EXPECT_EQ(lenient.records[1], DictationEntry(kId, "t", 5, 3, std::nullopt, "Term"));
}

TEST(RecordJsonTest, TextThatJsonCannotCarryIsStillWrittenReadably)
{
    // Control characters are escaped; bytes that are not UTF-8 become U+FFFD,
    // so a bad transcript can never make the history file unreadable.
    const auto decoded =
        decodeHistory(encodeHistory(std::vector<DictationEntry>{{kId, "a\001b\x7f\xc3(\xed\xa0\x80z", 1}}));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.records[0].text(), "a\001b\x7f\uFFFD(\uFFFD\uFFFD\uFFFDz");
}

TEST(RecordJsonTest, FreshIdsAreUpperCaseVersion4AndDistinct)
{
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = uuid::makeRandom();
        ASSERT_EQ(uuid::canonical(id), id) << id;
        EXPECT_EQ(id[14], '4') << id;
        EXPECT_NE(std::string("89AB").find(id[19]), std::string::npos) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

} // namespace
} // namespace quillo
