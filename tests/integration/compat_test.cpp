// The compatibility report of the real player (--compat-report) and of the
// static scan (morvane-inspect --compat), on the demo and on a project that
// uses codes the player does not do.

#include "support/player_run.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

using namespace morvane::test;

const std::string kCompatFixture = kPlayerFixtures + "/compat";

// The entries of a report by "kind code object_kind"; fails the test when
// the text is no report.
std::map<std::string, QJsonObject> Entries(const std::string& json) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  EXPECT_TRUE(document.isObject()) << json;
  const QJsonValue entries = document.object().value("entries");
  EXPECT_TRUE(entries.isArray()) << json;
  std::map<std::string, QJsonObject> by_key;
  for (const QJsonValue& value : entries.toArray()) {
    const QJsonObject entry = value.toObject();
    // Every entry carries every field, of its type.
    EXPECT_TRUE(entry.value("kind").isString());
    EXPECT_TRUE(entry.value("code").isDouble() || entry.value("kind").toString() == "service");
    EXPECT_TRUE(entry.value("object_kind").isString() || entry.value("object_kind").isNull());
    EXPECT_TRUE(entry.value("name").isString());
    const QString level = entry.value("level").toString();
    EXPECT_TRUE(level == "unsupported" || level == "partial") << level.toStdString();
    EXPECT_FALSE(entry.value("reason").toString().isEmpty());
    EXPECT_GE(entry.value("count").toInt(), 1);
    const QJsonObject first = entry.value("first").toObject();
    for (const char* field : {"page", "object", "event", "line"})
      EXPECT_TRUE(first.contains(field)) << field;
    std::string key = entry.value("kind").toString().toStdString();
    if (entry.value("code").isDouble()) key += " " + std::to_string(entry.value("code").toInt());
    key += " " + (entry.value("object_kind").isString()
                      ? entry.value("object_kind").toString().toStdString()
                      : entry.value("name").toString().toStdString());
    EXPECT_TRUE(by_key.emplace(key, entry).second) << "twice: " << key;
  }
  return by_key;
}

std::set<std::string> Keys(const std::map<std::string, QJsonObject>& entries) {
  std::set<std::string> keys;
  for (const auto& [key, entry] : entries) keys.insert(key);
  return keys;
}

// {page, object, event, line} of an entry's first place, nulls as "-".
std::string First(const QJsonObject& entry) {
  const QJsonObject first = entry.value("first").toObject();
  auto text = [&](const char* field) {
    const QJsonValue value = first.value(field);
    if (value.isNull()) return std::string("-");
    return value.isDouble() ? std::to_string(value.toInt()) : value.toString().toStdString();
  };
  return text("page") + " " + text("object") + " " + text("event") + " " + text("line");
}

class CompatReport : public PlayerRunTest {
 protected:
  fs::path report() const { return m_dir / "compat.json"; }
  // morvane-inspect --compat on the project; its standard output.
  std::string Inspect(const std::string& project) {
    const fs::path out = m_dir / "inspect.json";
    const std::string command = Quote(kBinaryDir + "/morvane-inspect") + " --compat " +
                                Quote(project) + " >" + Quote(out.string());
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadText(out);
  }
};

TEST_F(CompatReport, TheDemoMeetsNothingTheAbsentEnginesWouldDo) {
  EXPECT_EQ(
      Run("", "--quit-after 300 --compat-report " + Quote(report().string()), "morvane-player"), 1);
  EXPECT_TRUE(Entries(ReadText(report())).empty()) << ReadText(report());
  EXPECT_TRUE(Entries(Inspect(kBinaryDir + "/morvane-player")).empty());
}

TEST_F(CompatReport, ListsWhatTheRunMetWithCountsAndFirstPlaces) {
  // The project ends itself from its on-error script.
  EXPECT_EQ(Run(kCompatFixture, "--compat-report " + Quote(report().string())), 1);
  const std::map<std::string, QJsonObject> met = Entries(ReadText(report()));
  EXPECT_EQ(Keys(met), (std::set<std::string>{
                           "action 42 keyboard layout",
                           "numeric-function 5 key state",
                           "service cursor shadow off",
                           "service plugin",
                       }));
  struct Case {
    const char* key;
    int count;
    const char* first;
    const char* level;
  } cases[] = {
      {"action 42 keyboard layout", 1, "1 - on_show 4", "unsupported"},
      {"numeric-function 5 key state", 1, "1 - on_show 5", "partial"},
      {"service cursor shadow off", 1, "- - - -", "unsupported"},
      {"service plugin", 1, "1 OBJ3 - -", "unsupported"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const auto it = met.find(c.key);
    ASSERT_NE(it, met.end());
    EXPECT_EQ(it->second.value("count").toInt(), c.count);
    EXPECT_EQ(First(it->second), c.first);
    EXPECT_EQ(it->second.value("level").toString().toStdString(), c.level);
  }
  // The plug-in window names a Windows library with nothing native beside it.
  const QJsonArray details = met.at("service plugin").value("details").toArray();
  ASSERT_EQ(details.size(), 1);
  EXPECT_TRUE(details[0].toString().endsWith("\\plug.dll")) << details[0].toString().toStdString();

  // The static scan names one more script, which never ran, and counts the
  // lines that name a code rather than the times they run.
  const std::map<std::string, QJsonObject> named = Entries(Inspect(kCompatFixture));
  std::set<std::string> expected = Keys(met);
  expected.insert("string-function 32 Flash movie variable");
  EXPECT_EQ(Keys(named), expected);
  EXPECT_EQ(First(named.at("string-function 32 Flash movie variable")), "1 OBJ1 on_mouse_down 2");
  EXPECT_EQ(named.at("action 42 keyboard layout").value("count").toInt(), 1);
}

TEST_F(CompatReport, IsWrittenWhenTheProjectCannotStart) {
  EXPECT_EQ(Run((m_dir / "missing.exe").string(), "--compat-report " + Quote(report().string())),
            1);
  EXPECT_TRUE(Entries(ReadText(report())).empty()) << ReadText(report());
}

}  // namespace
