// Integration cases as data: every fixture folder with an expect.yaml beside
// its project is run headless by this one driver and checked against it.
//
//   options: --quit-after 400          # what the player is started with
//   input: "wait 50\nclick 20 20\n"    # --input steps, when given
//   trace: ['{"event":"show","page":1}', ...]   # the whole trace, in order
//   numbers: {name: "number text"}     # entries the variable dump must hold
//   strings: {name: text}
//   booleans: {name: true}
//   absent: {numbers: [name, ...]}     # entries it must not hold
//   known_failure: true                # the player cannot pass it yet: the
//                                      # case fails loudly once it passes
//   cases:                             # several runs of one project, each
//     - name: press_and_release        # with its own input and expectations;
//       input: ...                     # what a case leaves out it takes from
//       strings: {...}                 # the top of the file

#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/player_run.h"

namespace morvane::test {
namespace {

// "folder" for a file of one case, "folder/name" for each of its cases.
std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kPlayerFixtures)) {
    const fs::path file = entry.path() / "expect.yaml";
    if (!fs::exists(file)) continue;
    const std::string folder = entry.path().filename();
    const YAML::Node expect = YAML::LoadFile(file.string());
    if (!expect["cases"]) {
      names.push_back(folder);
      continue;
    }
    for (const YAML::Node& c : expect["cases"])
      names.push_back(folder + "/" + c["name"].as<std::string>());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string FolderOf(const std::string& name) {
  return name.substr(0, name.find('/'));
}

// The expectations of a case: its own fields over those of the file's top.
YAML::Node ExpectationsOf(const std::string& name) {
  const YAML::Node file = YAML::LoadFile(kPlayerFixtures + "/" + FolderOf(name) + "/expect.yaml");
  const size_t slash = name.find('/');
  if (slash == std::string::npos) return file;
  YAML::Node merged;
  for (const auto& field : file) {
    if (field.first.as<std::string>() != "cases") merged[field.first] = field.second;
  }
  for (const YAML::Node& c : file["cases"]) {
    if (c["name"].as<std::string>() != name.substr(slash + 1)) continue;
    for (const auto& field : c) merged[field.first] = field.second;
  }
  return merged;
}

class FixtureCase : public PlayerRunTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // What the case expects and what the run gave, as one list of faults.
  std::vector<std::string> Faults(const YAML::Node& expect) {
    std::vector<std::string> faults;
    const fs::path vars = m_dir / "vars.json";
    std::string options = expect["options"] ? expect["options"].as<std::string>() : "";
    if (expect["input"]) {
      const fs::path input = m_dir / "input.txt";
      std::ofstream(input) << expect["input"].as<std::string>();
      options += " --input " + Quote(input.string());
    }
    const int status = Run(kPlayerFixtures + "/" + FolderOf(GetParam()),
                           options + " --dump-vars " + Quote(vars.string()));
    if (status != 1) faults.push_back("exit status " + std::to_string(status));

    if (expect["trace"]) {
      const std::vector<std::string> want = expect["trace"].as<std::vector<std::string>>();
      const std::vector<std::string> got = TraceLines();
      if (got != want) {
        std::string text = "trace:";
        for (const std::string& line : got) text += "\n  " + line;
        faults.push_back(text);
      }
    }

    const QByteArray bytes = QByteArray::fromStdString(ReadText(vars));
    const QJsonObject dump = QJsonDocument::fromJson(bytes).object();
    if (dump.isEmpty()) faults.push_back("no variable dump");
    for (const char* section : {"numbers", "strings", "booleans"}) {
      const QJsonObject got = dump.value(section).toObject();
      for (const auto& entry : expect[section]) {
        const QString name = QString::fromStdString(entry.first.as<std::string>());
        const QJsonValue value = got.value(name);
        const bool same = std::string(section) == "booleans"
                              ? value.isBool() && value.toBool() == entry.second.as<bool>()
                              : value.isString() && value.toString().toStdString() ==
                                                        entry.second.as<std::string>();
        if (!same)
          faults.push_back(std::string(section) + " " + name.toStdString() + ": " +
                           QJsonDocument(QJsonObject{{name, value}}).toJson().toStdString());
      }
      if (!expect["absent"] || !expect["absent"][section]) continue;
      for (const auto& name : expect["absent"][section]) {
        if (got.contains(QString::fromStdString(name.as<std::string>())))
          faults.push_back(std::string(section) + " " + name.as<std::string>() + " is there");
      }
    }
    return faults;
  }
};

TEST_P(FixtureCase, RunsAsItsExpectationsSay) {
  const YAML::Node expect = ExpectationsOf(GetParam());
  const std::vector<std::string> faults = Faults(expect);
  if (expect["known_failure"] && expect["known_failure"].as<bool>()) {
    EXPECT_FALSE(faults.empty()) << GetParam()
                                 << " passes now: take known_failure out of its expect.yaml";
    return;
  }
  for (const std::string& fault : faults) ADD_FAILURE() << GetParam() << ": " << fault;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureCase, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           std::replace(name.begin(), name.end(), '/', '_');
                           return name;
                         });

}  // namespace
}  // namespace morvane::test
