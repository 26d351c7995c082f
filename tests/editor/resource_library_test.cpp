#include "editor/model/resource_library.h"
#include "gif_fixture.h"
#include "test_support.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

TEST(ResourceLibrary, ReadsGifAndBitmapResourcesFromTheLibraryFile) {
  testing::ScopedTmpDir tmp;
  testing::RecordingMessages messages;
  const QString dir = tmp.Path;
  testing::WriteAnimation(*testing::MakeAnimation(3), dir + QStringLiteral("/animated.gif"));
  QImage splash(6, 4, QImage::Format_RGB32);
  splash.fill(Qt::red);
  ASSERT_TRUE(splash.save(dir + QStringLiteral("/splash.png")));
  QFile qrc(dir + QStringLiteral("/Tessary.qrc"));
  ASSERT_TRUE(qrc.open(QIODevice::WriteOnly));
  qrc.write("<RCC><qresource prefix=\"/GIF\"><file alias=\"ANIMATED\">animated.gif</file></qresource>"
            "<qresource prefix=\"/BITMAP\"><file alias=\"SPLASH\">splash.png</file></qresource></RCC>");
  qrc.close();
  QProcess rcc;
  rcc.setWorkingDirectory(dir);
  rcc.start(QStringLiteral(MOVINTA_RCC), {QStringLiteral("-binary"), QStringLiteral("Tessary.qrc"),
                                          QStringLiteral("-o"), QStringLiteral("Tessary.rcc")});
  ASSERT_TRUE(rcc.waitForFinished(30000));
  ASSERT_EQ(rcc.exitCode(), 0) << rcc.readAllStandardError().toStdString();

  const QString library = dir + QStringLiteral("/Tessary.dll");
  auto animated = LoadGifResource(library, QStringLiteral("ANIMATED"), QStringLiteral("GIF"));
  ASSERT_TRUE(animated);
  EXPECT_EQ(animated->Images().GetCount(), 3);
  const QImage bitmap = LoadBitmapResource(library, QStringLiteral("SPLASH"));
  EXPECT_EQ(bitmap.size(), QSize(6, 4));
  EXPECT_TRUE(messages.Shown.empty());

  EXPECT_FALSE(LoadResource(dir + QStringLiteral("/Missing.dll"), QStringLiteral("SPLASH"), QStringLiteral("BITMAP")));
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Text, QStringLiteral("Could not load %1/Missing.dll library file.").arg(dir));
  EXPECT_EQ(messages.Shown[0].Type, MessageType::Error);
}

}  // namespace
}  // namespace movinta::editor
