#include <gtest/gtest.h>

#include "package/package_reader.h"
#include "package/package_writer.h"
#include "support/project_generator.h"

namespace morvane {
namespace {

TEST(PackageWriter, GeneratedProjectsRoundTrip) {
  int other_keys = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    Project project = testing::ProjectGenerator(seed).Generate(3, 2 * kObjectKindCount);
    const uint8_t wanted = project.key;
    const std::string bytes = WritePackageChoosingKey(project);
    if (project.key != wanted) {
      // That key made a record end like a separator; the plain writer refuses it.
      ++other_keys;
      Project with_wanted = project;
      with_wanted.key = wanted;
      EXPECT_THROW(WritePackage(with_wanted), WriteError);
    }
    const LoadResult loaded = ReadPackage(bytes);
    ASSERT_TRUE(std::holds_alternative<Project>(loaded))
        << std::get<LoadError>(loaded).slot << ": " << std::get<LoadError>(loaded).message;
    EXPECT_EQ(std::get<Project>(loaded), project);
    EXPECT_EQ(WritePackage(std::get<Project>(loaded)), bytes);
  }
  EXPECT_GT(other_keys, 0) << "no seed exercised the choice of another key";
}

TEST(PackageWriter, ListsAfterAPageWithoutObjects) {
  Project project = testing::ProjectGenerator(3).Generate(2, 0);
  project.embedded_files.push_back({"late.txt", 1});
  project.functions.push_back({"Late", "", 0, "1", 1});
  project.fonts.push_back({"after-page-2.ttf", 2});
  const LoadResult loaded = ReadPackage(WritePackage(project));
  ASSERT_TRUE(std::holds_alternative<Project>(loaded));
  EXPECT_EQ(std::get<Project>(loaded), project);
}

TEST(PackageWriter, RefusesModelsThatWouldReadBackDifferently) {
  struct Case {
    const char* name;
    void (*change)(Project&);
  };
  const Case cases[] = {
      {"key 0", [](Project& p) { p.key = 0; }},
      {"key 100", [](Project& p) { p.key = 100; }},
      {"function name with a dash", [](Project& p) { p.functions[0].name = "a-b"; }},
      {"shortcut with a colon", [](Project& p) { p.functions[0].shortcut = "Ctrl:G"; }},
      {"database name with byte 01", [](Project& p) { p.databases[0].name = "a\x01"; }},
      {"project script holding 03 04 05",
       [](Project& p) { p.lan_file = std::string("x\x03\x04\x05y"); }},
      {"LAN script without its pad", [](Project& p) { p.lan_message_pad.clear(); }},
      {"digit out of range", [](Project& p) { p.pages[0].options.border_kind = 10; }},
      {"volume too wide",
       [](Project& p) {
         for (PageObject& o : p.pages[0].objects)
           if (o.kind == ObjectKind::Sound) o.volume = 12345;
       }},
      {"a short object that is not the last",
       [](Project& p) { p.pages[0].objects[0].records = 3; }},
      {"a short page that is not the last", [](Project& p) { p.pages[0].records = 5; }},
      {"an embedded file after a short page",
       [](Project& p) {
         p.pages[1].objects.clear();
         p.pages[1].records = 20;
       }},
      {"lists out of page order", [](Project& p) { p.embedded_files.push_back({"x", 0}); }},
      {"a missing width on a text", [](Project& p) { p.pages[0].objects[0].width.reset(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Project project = testing::ProjectGenerator(7).Generate(2, kObjectKindCount);
    ASSERT_NO_THROW(WritePackage(project));
    c.change(project);
    EXPECT_THROW(WritePackage(project), WriteError);
  }
}

}  // namespace
}  // namespace morvane
