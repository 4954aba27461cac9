#include "package/source_folder.h"

#include <gtest/gtest.h>

#include "package/object_layout.h"
#include "package/package_reader.h"
#include "unit/package/source_test_support.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

ProjectSource FromYaml(const std::string& yaml, SourceFiles files = {}) {
  files[kProjectFileName] = yaml;
  return SourceFromFiles(files);
}

std::string ErrorOf(const std::string& yaml, SourceFiles files = {}) {
  try {
    FromYaml(yaml, std::move(files));
  } catch (const SourceError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(SourceFolder, ShortHandWrittenProjectTakesTheDefaults) {
  const ProjectSource source = FromYaml(
      "title: Tiny\n"
      "pages:\n"
      "  - name: Main\n"
      "    objects:\n"
      "      - kind: button\n"
      "        name: 1\n"
      "        caption: OK\n"
      "        on_mouse_up: |\n"
      "          5(\"Hello\")\n"
      "          9\n");
  Project expected;
  expected.title = "Tiny";
  Page page;
  page.name = "Main";
  PageObject button;
  button.kind = ObjectKind::Button;
  button.name = "1";
  button.caption = "OK";
  button.records = static_cast<int>(LayoutOf(ObjectKind::Button).records.size());
  button.evntMUp = "5(\"Hello\")\r9\r";
  page.objects.push_back(button);
  expected.pages.push_back(page);
  EXPECT_EQ(source.project, expected);
  EXPECT_EQ(source.startup_options, std::string("0\r\n"));
  EXPECT_EQ(source.code_page, 1252);
  EXPECT_TRUE(source.resources.empty());

  // The project packs, and the package loads to the same model.
  const ResourceList packed = PackedResources(source);
  ASSERT_EQ(packed.size(), 1u);
  EXPECT_EQ(packed[0].first, "PDATA");
  const LoadResult loaded = ReadPackage(packed[0].second);
  ASSERT_TRUE(std::holds_alternative<Project>(loaded));
  EXPECT_EQ(std::get<Project>(loaded), expected);
}

TEST(SourceFolder, BadInputIsReportedWithFileAndLine) {
  struct Case {
    std::string yaml;
    SourceFiles files;
    std::string expected;
  };
  const Case cases[] = {
      {"pages:\n  - name: A\n    captoin: x\n", {}, "project.yaml:3:5: unknown key 'captoin'"},
      {"pages:\n  - name: A\n    client_width: wide\n",
       {},
       "project.yaml:3:19: expected a whole number from -2147483648 to 2147483647, not 'wide'"},
      {"hint_pause: 99999999999\n", {}, "project.yaml:1:13: expected a whole number"},
      {"pages:\n  - name: A\n    objects:\n      - kind: slider\n",
       {},
       "project.yaml:4:15: unknown object kind 'slider' (known: text, edit, button, image, "
       "shape, timer, sound, video, flash, browser, plugin, listbox)"},
      {"pages:\n  - name: A\n    objects:\n      - name: 1\n",
       {},
       "project.yaml:4:9: the object has no kind"},
      {"pages:\n  - objects:\n      - kind: text\n        visible: maybe\n",
       {},
       "project.yaml:4:18: expected true or false, not 'maybe'"},
      {"pages:\n  - objects:\n      - kind: shape\n        pen_colour: [1, 2]\n",
       {},
       "project.yaml:4:21: expected a colour [red, green, blue]"},
      {"pages:\n  - objects:\n      - kind: timer\n        records: 9\n",
       {},
       "project.yaml:4:18: expected a whole number from 0 to 3"},
      {"key: 100\n", {}, "project.yaml:1:6: expected a whole number from 1 to 99"},
      {"title: a\ntitle: b\n", {}, "project.yaml:2:1: key 'title' given twice"},
      {"title: [unclosed\n", {}, "project.yaml:2:1: "},
      {"on_error: !file scripts/missing.mvs\n",
       {},
       "scripts/missing.mvs: no such file in the project folder"},
      {"on_error: !file ../outside.mvs\n",
       {},
       "project.yaml:1:11: '../outside.mvs' is no file path inside the project folder"},
      {"on_error: !file /etc/passwd\n", {}, "is no file path inside the project folder"},
      {"title: \xe4\xb8\xad\n",
       {},
       "project.yaml:1:8: the text has characters outside code page 1252"},
      {"code_page: 4242\n", {}, "project.yaml:1:12: code page 4242 is not supported"},
      {"title: !file scripts/a.mvs\n", {}, "project.yaml:1:8: unexpected tag !file"},
      {"on_error: !file scripts/bad.mvs\n",
       {{"scripts/bad.mvs", "ok\n\xff\n"}},
       "scripts/bad.mvs: the file is not valid UTF-8"},
      {"threads: {digits: [1, 12]}\n",
       {},
       "project.yaml:1:23: expected a whole number from 0 to 9"},
      {"pages: {name: A}\n", {}, "project.yaml:1:8: expected a list of pages"},
      {"",
       {{"backgrounds/logo.png", "x"}},
       "backgrounds/logo.png: files in backgrounds/ are named page-N.ext"},
      {"",
       {{"backgrounds/page-1.png", "x"}, {"backgrounds/page-1.jpg", "y"}},
       "the resource BDATAG1 is given twice"},
      {"", {{"embedded/01-a.txt", "x"}}, "embedded/01-a.txt: files in embedded/ are named"},
      {"", {{"resources/PDATA", "x"}}, "resources/PDATA: the resource PDATA is made from"},
      {"", {{"resources/sqlite3", "x"}, {"resources/SQLite3", "y"}}, "is given twice"},
      {"", {{"pictures/IDATA1.png/x", "x"}}, "asset folders hold no subfolders"},
      {"resources:\n  - name: X\n", {}, "a resource entry has exactly the keys name and file"},
      {"resources:\n  - {name: X, file: resources/none}\n",
       {},
       "resources/none: no such file in the project folder"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(ErrorOf(c.yaml, c.files).find(c.expected), std::string::npos)
        << "yaml:\n"
        << c.yaml << "\ngave: " << ErrorOf(c.yaml, c.files);
  }
}

TEST(SourceFolder, AProjectThePackageCannotHoldIsRefusedWhenPacked) {
  const ProjectSource source = FromYaml("pages:\n  - objects:\n      - {kind: text, layout: 12}\n");
  try {
    PackedResources(source);
    FAIL() << "packed";
  } catch (const SourceError& error) {
    EXPECT_EQ(std::string(error.what()).find("project.yaml: the project cannot be packed: "), 0u)
        << error.what();
  }
}

TEST(SourceFolder, ResourcesGetFilesNamedForWhatTheyAre) {
  ProjectSource source;
  source.project.embedded_files = {{"C:\\media\\intro.wav", 0}, {"a:b/c\\", 0}};
  Page page;
  page.name = "P";
  PageObject image;
  image.kind = ObjectKind::Image;
  image.records = 1;
  image.picture_name = "photo.JPEG";
  page.objects.push_back(image);
  source.project.pages.push_back(page);
  NumberImagePictures(source.project);
  const std::string png = "\x89PNG\r\n\x1a\n...";
  source.resources = {
      {"#7", "seven"},
      {".hidden", "h"},
      {"bad/name", "slash"},
      {"BDATAG01", "not canonical"},
      {"BDATAG2", png},
      {"DAFdata", "daf"},
      {"DATAE1", "wav"},
      {"DATAE2", "unnamed"},
      {"DATAE3", "beyond the list"},
      {"IDATA1", "jpeg"},
      {"IDATA2", "GIF89a..."},
      {"resource-1", "a real name"},
      {"SQLite3", "library"},
      {std::string("\xff\xfe", 2), "not UTF-8"},
  };
  const SourceFiles files = SourceFolderFiles(source);
  std::vector<std::string> paths;
  for (const auto& [path, bytes] : files) paths.push_back(path);
  const std::vector<std::string> expected_paths{"backgrounds/page-2.png",
                                                "embedded/1-intro.wav",
                                                "embedded/2",
                                                "embedded/3",
                                                "pictures/IDATA1.jpeg",
                                                "pictures/IDATA2.gif",
                                                "project.yaml",
                                                "resources/#7",
                                                "resources/BDATAG01",
                                                "resources/DAFdata",
                                                "resources/SQLite3",
                                                "resources/resource-1",
                                                "resources/resource-2",
                                                "resources/resource-3",
                                                "resources/resource-4"};
  EXPECT_EQ(paths, expected_paths);
  EXPECT_NE(files.at("project.yaml").find("  - name: bad/name\n    file: resources/resource-3"),
            std::string::npos)
      << files.at("project.yaml");

  const ProjectSource back = SourceFromFiles(files);
  EXPECT_EQ(back.resources, source.resources);
  EXPECT_EQ(back.project, source.project);
}

TEST(SourceFolder, WritesAndReadsFoldersOnDisk) {
  TempFolder temp;
  ProjectSource source = FromYaml(
      "title: Disk\nstartup_options: !bytes \"x1\\r\\n\"\npages:\n  - name: A\n"
      "    on_show: !file scripts/show.mvs\n",
      {{"scripts/show.mvs", "5(\"a\")\n5(\"b\")\n"}, {"backgrounds/page-1.bmp", "BM.."}});
  EXPECT_EQ(source.project.pages[0].on_show, "5(\"a\")\r5(\"b\")\r");
  EXPECT_EQ(source.startup_options, std::string("x1\r\n"));

  WriteSourceFolder(temp / "out", source);
  EXPECT_EQ(ReadBytes(temp / "out/scripts/page-1-show.mvs"), "5(\"a\")\n5(\"b\")\n");
  EXPECT_EQ(ReadBytes(temp / "out/backgrounds/page-1.bmp"), "BM..");
  // Editors' and systems' hidden files are no resources.
  WriteBytes(temp / "out/backgrounds/.DS_Store", "junk");
  const ProjectSource back = ReadSourceFolder(temp / "out");
  EXPECT_EQ(back.project, source.project);
  EXPECT_EQ(back.resources, source.resources);
  EXPECT_EQ(back.startup_options, source.startup_options);

  // A folder that holds anything already is never written into.
  EXPECT_THROW(WriteSourceFolder(temp / "out", source), SourceError);
  EXPECT_THROW(ReadSourceFolder(temp / "nowhere"), SourceError);
  std::filesystem::create_directories(temp / "empty");
  EXPECT_THROW(ReadSourceFolder(temp / "empty"), SourceError);  // no project.yaml

  // The folder as a container: "PDATA" packed in memory, the assets, the trailer.
  const std::unique_ptr<Container> container = OpenContainer(temp / "out");
  EXPECT_EQ(container->ResourceNames(), (std::vector<std::string>{"PDATA", "BDATAG1"}));
  EXPECT_EQ(container->Resource("bdatag1"), std::string("BM.."));
  EXPECT_EQ(container->Trailer(), std::string("x1\r\n"));
  const LoadResult loaded = LoadProject(*container);
  ASSERT_TRUE(std::holds_alternative<Project>(loaded));
  EXPECT_EQ(std::get<Project>(loaded), source.project);
}

TEST(SourceFolder, NoTrailerAndOtherCodePagesRoundTrip) {
  ProjectSource source;
  source.startup_options.reset();
  source.code_page = 1251;
  source.project.title = "\xcf\xf0\xe8\xe2\xe5\xf2";  // Cyrillic in 1251
  const SourceFiles files = SourceFolderFiles(source);
  EXPECT_NE(files.at("project.yaml").find("startup_options: ~"), std::string::npos);
  EXPECT_NE(
      files.at("project.yaml").find("title: \xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82"),
      std::string::npos);
  const ProjectSource back = SourceFromFiles(files);
  EXPECT_EQ(back.project, source.project);
  EXPECT_EQ(back.startup_options, std::nullopt);
  EXPECT_EQ(back.code_page, 1251);
}

TEST(SourceFolder, CodePageIsGuessedFromTheFonts) {
  Project project;
  EXPECT_EQ(GuessCodePage(project), 1252);
  Page page;
  for (int32_t charset : {1, 0, 204, 204, 178}) {
    PageObject o;
    o.charset = charset;
    page.objects.push_back(o);
  }
  project.pages.push_back(page);
  EXPECT_EQ(GuessCodePage(project), 1251);
}

}  // namespace
}  // namespace morvane
