#include "editor/model/files.h"
#include "editor/model/text_helpers.h"
#include "gif_fixture.h"
#include "test_support.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

namespace movinta::editor {
namespace {

TEST(FileTypeCode, ComesFromTheLastDotOfTheFileName) {
  struct Case {
    const char* name;
    int code;
  };
  for (const Case c : {Case{"PICTURE.GIF", 0}, Case{"a.avi", 18}, Case{"a.xyz", 20}, Case{"noextension", 20},
                       Case{"x.jpg", 1}, Case{"x.wpg", 17}, Case{"*.*", 20}, Case{"archive.tar.gif", 0},
                       Case{"/home/u/my.pictures/frame", 20}, Case{"/home/u/my.gif.d/clip.png", 11},
                       Case{".gif", 0}, Case{"x.gif.bak", 20}})
    EXPECT_EQ(GetFileTypeCode(QString::fromLatin1(c.name)), c.code) << c.name;
}

TEST(FileNames, StripExtensionKeepsFoldersAndDotsInThem) {
  EXPECT_EQ(StripExtension(QStringLiteral("/a.b/c.d/name.gif")), QStringLiteral("/a.b/c.d/name"));
  EXPECT_EQ(StripExtension(QStringLiteral("/a.b/name")), QStringLiteral("/a.b/name"));
  EXPECT_EQ(StripExtension(QStringLiteral("two.dots.gif")), QStringLiteral("two.dots"));
  const QString longName = QStringLiteral("/tmp/") + QString(300, QLatin1Char('n')) + QStringLiteral(".gif");
  EXPECT_EQ(FileNameOnly(longName).size(), 304) << "names keep their full length";
}

TEST(TempFiles, AreMadeExclusivelyPrivateWithThePrefixInTmpdir) {
  testing::ScopedTmpDir tmp;
  EXPECT_EQ(GetTempDirectory(), tmp.Path);
  std::set<QString> names;
  for (int i = 0; i < 3; ++i) {
    const QString name = NewWorkingTempFile();
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(names.insert(name).second);
    const QFileInfo info(name);
    EXPECT_EQ(info.absolutePath(), tmp.Path);
    EXPECT_TRUE(info.fileName().startsWith(QStringLiteral("~ZQ")));
    EXPECT_EQ(info.size(), 0);
    struct stat st {};
    ASSERT_EQ(::stat(name.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  for (const QString& n : names) DeleteTempFile(n);
  EXPECT_TRUE(tmp.Files().isEmpty());
  DeleteTempFile(QString());  // an empty name is no file

  tmp.MakeUnusable();
  EXPECT_TRUE(NewWorkingTempFile().isEmpty());
}

TEST(TextHelpers, NumbersSizesAndYes) {
  struct NumCase {
    const char* text;
    bool numeric;
    bool number;
  };
  for (const NumCase c : {NumCase{"", false, false}, NumCase{"123", true, true}, NumCase{"1 2", true, true},
                          NumCase{" ", true, false}, NumCase{"-1", false, false}, NumCase{"1a", false, false}}) {
    EXPECT_EQ(IsNumericText(QString::fromLatin1(c.text)), c.numeric) << c.text;
    EXPECT_EQ(IsNumberText(QString::fromLatin1(c.text)), c.number) << c.text;
  }
  for (auto [bytes, kb] : {std::pair{0LL, 1LL}, {1024LL, 1LL}, {2047LL, 1LL}, {2048LL, 2LL}, {10240LL, 10LL}})
    EXPECT_EQ(SizeInKB(bytes), kb) << bytes;
  EXPECT_TRUE(IsYesText(QStringLiteral("yEs")));
  EXPECT_FALSE(IsYesText(QStringLiteral("y")));
  EXPECT_EQ(CenterOffset(10, 110, 40), 40);
}

TEST(TextHelpers, GridCellsAndVariants) {
  EXPECT_EQ(MakeGridRect(-1, 3, true), QRect(QPoint(0, 3), QPoint(0, 3)));
  EXPECT_EQ(MakeGridRect(-1, -2, false), QRect(QPoint(-1, -2), QPoint(-1, -2)));
  const QByteArray bytes("\x00\x01\xFFGIF", 6);
  EXPECT_EQ(VariantToStream(StreamToVariant(bytes)), bytes);
  const QByteArray png = testing::RedPngBytes(3, 2);
  QImage back;
  EXPECT_TRUE(VariantToBitmap(StreamToVariant(png), back));
  EXPECT_EQ(back.size(), QSize(3, 2));
  EXPECT_FALSE(VariantToBitmap(StreamToVariant(bytes), back));
  EXPECT_EQ(back.size(), QSize(3, 2)) << "a failed read leaves the bitmap";
}

TEST(TextHelpers, IntegerValidationReportsTheBadText) {
  testing::RecordingMessages messages;
  EXPECT_TRUE(ValidateIntegerText(QStringLiteral("32767"), true));
  EXPECT_FALSE(ValidateIntegerText(QStringLiteral("32768"), true));
  EXPECT_TRUE(ValidateIntegerText(QStringLiteral("65535"), false));
  EXPECT_FALSE(ValidateIntegerText(QStringLiteral("12x"), false));
  ASSERT_EQ(messages.Shown.size(), 2u);
  EXPECT_EQ(messages.Shown[1].Text, QStringLiteral("'12x' is not a valid integer value."));
  EXPECT_EQ(messages.Shown[1].Type, MessageType::Error);
}

TEST(MessageRoutine, WithoutARoutineAnswersTheSafeChoice) {
  EXPECT_EQ(ShowMessage(QStringLiteral("Save?"), MessageType::Confirmation, kYesNoCancel), mrCancel);
  EXPECT_EQ(ShowMessage(QStringLiteral("Go?"), MessageType::Confirmation, kYesNo), mrYes);
  EXPECT_EQ(ShowMessage(QStringLiteral("Note"), MessageType::Information), mrOk);
  EXPECT_EQ(Button(mrAll), 1u << 8);
}

}  // namespace
}  // namespace movinta::editor
