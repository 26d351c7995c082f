#include "editor/commands/avi_commands.h"
#include "editor/model/avi_transfer.h"
#include "tests/editor_app/app_fixture.h"

#include <QProcess>

namespace movinta::editor {
namespace {

using testing::AppTest;

QString MakeVideo(const QString& file, const QString& size, const QString& seconds) {
  QProcess ffmpeg;
  ffmpeg.start(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                QStringLiteral("-i"), QStringLiteral("testsrc=size=%1:rate=10:duration=%2").arg(size, seconds),
                QStringLiteral("-c:v"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("pal8"),
                QStringLiteral("-y"), file});
  ffmpeg.waitForFinished(60000);
  return file;
}

TEST_F(AppTest, AnAviOpenedByTypeBecomesANewModifiedAnimationAndExportsBack) {
  TfrmMain& main = OpenMain();
  const QString video = MakeVideo(Path(QStringLiteral("clip.AVI")), QStringLiteral("24x16"), QStringLiteral("0.3"));
  main.OpenFileByType(video);
  ASSERT_EQ(main.Documents().Count(), 1) << (messages_.Shown.empty() ? "" : messages_.Shown[0].Text.toStdString());
  TMDIChild* d = main.Documents().Active();
  EXPECT_TRUE(d->Modified);
  EXPECT_EQ(SharedImage()->Images().GetCount(), 3);
  EXPECT_EQ(GetFrameDelay(*SharedImage(), 0), 10);
  EXPECT_TRUE(main.isEnabled());

  testing::ScriptedChooser chooser;
  chooser.Names.push_back(Path(QStringLiteral("back.gif")));
  EXPECT_TRUE(main.AviCommands().mniFileExportAVIClick());
  EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("back.avi"))));
  EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("back.gif"))));
  EXPECT_TRUE(d->Modified);  // an export does not save the animation
}

TEST_F(AppTest, AviImportRefusesLargeFilesAndReportsDamagedOnes) {
  TfrmMain& main = OpenMain();
  const QString large = Path(QStringLiteral("large.avi"));
  testing::WriteBytes(large, QByteArray(500000, 'x'));
  main.OpenFileByType(large);
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Text, QStringLiteral("You can only import AVI files less than 500 KB."));

  messages_.Shown.clear();
  const QString text = Path(QStringLiteral("text.avi"));
  testing::WriteBytes(text, QByteArray("not a video"));
  EXPECT_FALSE(main.AviCommands().ImportAvi(text));
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Text, QStringLiteral("Failed to open AVI file"));
  EXPECT_EQ(main.Documents().Count(), 0);
  EXPECT_TRUE(main.isEnabled());
}

}  // namespace
}  // namespace movinta::editor
