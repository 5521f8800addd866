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

TEST(RecordJsonTest, DescriptiveHistoryMembersAreReadLeniently)
{
    struct Case
    {
        const char* name;
        const char* members; // appended after id, text and date
        double duration;
        std::optional<std::string> bundle;
        std::optional<std::string> appName;
    };
    const Case cases[] = {
        {"all missing", "", 0, std::nullopt, std::nullopt},
        {"wrong types", R"(,"duration":"3","appBundleID":7,"appName":["x"])", 0, std::nullopt, std::nullopt},
        {"integer duration, unknown keys", R"(,"duration":3,"mood":{"a":1},"appName":"Term")", 3, std::nullopt, "Term"},
    };
    for (const Case& c : cases) {
        const std::string json =
            std::string(R"( [ {"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff", "text":"t","date":5)") + c.members + "}]\n";
        const auto decoded = decodeHistory(json);
        ASSERT_TRUE(decoded.ok) << "case " << c.name << ": " << decoded.error;
        ASSERT_EQ(decoded.records.size(), 1u) << "case " << c.name;
        const DictationEntry& entry = decoded.records[0];
        EXPECT_EQ(entry.id(), kId) << "case " << c.name << ": ids are kept upper-case";
        EXPECT_EQ(entry.date(), 5.0) << "case " << c.name;
        EXPECT_EQ(entry.duration(), c.duration) << "case " << c.name;
        EXPECT_EQ(entry.appBundleID(), c.bundle) << "case " << c.name;
        EXPECT_EQ(entry.appName(), c.appName) << "case " << c.name;
    }
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
        {"short id", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964F","text":"t","date":1}])"},
        {"id not hex", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FG","text":"t","date":1}])"},
        {"invalid UTF-8", "[{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"text\":\"\xff\",\"date\":1}]"},
        {"trailing comma", "[" + good + ",]"},
        {"text after the array", "[" + good + "] x"},
        {"leading zero", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":01}])"},
        {"bare fraction", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":1.}])"},
        {"raw line break", "[{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"text\":\"a\nb\",\"date\":1}]"},
        {"lone surrogate", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"\ud83d","date":1}])"},
        {"bad unknown member", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":1,"x":[1,}])"},
        {"NaN", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"t","date":NaN}])"},
    };
    for (const auto& [name, json] : historyCases) {
        const auto decoded = decodeHistory(json);
        EXPECT_FALSE(decoded.ok) << "case " << name;
        EXPECT_TRUE(decoded.records.empty()) << "case " << name;
    }
    EXPECT_FALSE(decodeSnippets(R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","trigger":"a"}])").ok);
}

TEST(RecordJsonTest, AnyValidJsonSpellingIsAccepted)
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
}

TEST(RecordJsonTest, TextThatJsonCannotCarryIsStillWrittenReadably)
{
    // Control characters are escaped; bytes that are not UTF-8 become U+FFFD,
    // so a bad transcript can never make the history file unreadable.
    const std::vector<DictationEntry> entries{{kId,
                                               "a\x01"
                                               "b\x7f\xc3(\xed\xa0\x80z",
                                               1}};
    const auto decoded = decodeHistory(encodeHistory(entries));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.records[0].text(),
              "a\x01"
              "b\x7f\uFFFD(\uFFFD\uFFFD\uFFFDz");
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
