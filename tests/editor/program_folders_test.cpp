#include "platform/program_folders/program_folders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace movinta::platform {
namespace {

TEST(ProgramFolders, FolderContainmentIsExactAndComponentWise) {
  struct Case {
    const char* path;
    const char* folder;
    bool inside;
  } cases[] = {
      {"/opt/m/share/images/a.gif", "/opt/m/share/images", true},
      {"/opt/m/share/images", "/opt/m/share/images/", true},
      {"/opt/m/share/images/../images/b.gif", "/opt/m/share/images", true},
      {"/opt/m/share/imagesX/a.gif", "/opt/m/share/images", false},  // a sibling with a longer name
      {"/opt/m/share/Images/a.gif", "/opt/m/share/images", false},    // no case folding
      {"", "/opt", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsInFolder(QString::fromUtf8(c.path), QString::fromUtf8(c.folder)), c.inside) << c.path;
}

TEST(ProgramFolders, DataFolderFollowsTheEnvironmentAndWorkingIsCreated) {
  QTemporaryDir data;
  QTemporaryDir home;
  ASSERT_TRUE(data.isValid() && home.isValid());
  qputenv("MOVINTA6_DATA_DIR", data.path().toUtf8());
  qputenv("XDG_DATA_HOME", home.path().toUtf8());
  EXPECT_EQ(SharedDataFolder(), QDir::cleanPath(data.path()));
  EXPECT_EQ(SampleImagesFolder(), QDir(data.path()).filePath(QStringLiteral("images")));
  const QString working = WorkingFolder();
  EXPECT_TRUE(IsInFolder(working, home.path())) << working.toStdString();
  EXPECT_TRUE(QDir(working).exists());
  qunsetenv("MOVINTA6_DATA_DIR");
  qunsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace movinta::platform
